#pragma once

// A push button that carries an integer tag, so that its action can keep a small state on the
// sender itself (for example shown or hidden). Main thread.

#include <QPushButton>

class TagButton : public QPushButton
{
    Q_OBJECT

public:
    explicit TagButton(QWidget *parent = nullptr);

    int tag() const { return m_tag; }
    void setTag(int tag) { m_tag = tag; }

private:
    int m_tag = 0;
};
