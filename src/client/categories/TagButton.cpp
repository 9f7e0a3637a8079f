#include "TagButton.h"

TagButton::TagButton(QWidget *parent)
    : QPushButton(parent)
{}
