#include "FlatButton.h"

#include <QPainter>
#include <QPainterPath>

FlatButton::FlatButton(QWidget *parent)
    : QPushButton(parent)
{
    setCheckable(false);
    setFlat(true);
    setCursor(Qt::PointingHandCursor);
}

void FlatButton::setBackgroundNormalColor(const QColor &color)
{
    m_backgroundNormalColor = color;
    update();
}

void FlatButton::setBackgroundHighlightColor(const QColor &color)
{
    m_backgroundHighlightColor = color;
    update();
}

void FlatButton::setTitleNormalColor(const QColor &color)
{
    m_titleNormalColor = color;
    update();
}

void FlatButton::setTitleHighlightColor(const QColor &color)
{
    m_titleHighlightColor = color;
    update();
}

void FlatButton::setCornerRadius(qreal radius)
{
    m_cornerRadius = radius;
    update();
}

void FlatButton::paintEvent(QPaintEvent *)
{
    const bool held = isDown();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath outline;
    outline.addRoundedRect(QRectF(rect()), m_cornerRadius, m_cornerRadius);
    painter.fillPath(outline, held ? m_backgroundHighlightColor : m_backgroundNormalColor);
    painter.setPen(held ? m_titleHighlightColor : m_titleNormalColor);
    painter.setFont(font());
    painter.drawText(rect(), Qt::AlignCenter, text());
}
