#pragma once

// A flat, filled push button with rounded corners: one fill colour at rest and another while it is
// held down, and a title colour for each. Momentary (never stays pressed). Main thread.

#include <QColor>
#include <QPushButton>

class FlatButton : public QPushButton
{
    Q_OBJECT

public:
    explicit FlatButton(QWidget *parent = nullptr);

    QColor backgroundNormalColor() const { return m_backgroundNormalColor; }
    void setBackgroundNormalColor(const QColor &color);
    QColor backgroundHighlightColor() const { return m_backgroundHighlightColor; }
    void setBackgroundHighlightColor(const QColor &color);
    QColor titleNormalColor() const { return m_titleNormalColor; }
    void setTitleNormalColor(const QColor &color);
    QColor titleHighlightColor() const { return m_titleHighlightColor; }
    void setTitleHighlightColor(const QColor &color);
    qreal cornerRadius() const { return m_cornerRadius; }
    void setCornerRadius(qreal radius);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_backgroundNormalColor = Qt::gray;
    QColor m_backgroundHighlightColor = Qt::darkGray;
    QColor m_titleNormalColor = Qt::black;
    QColor m_titleHighlightColor = Qt::black;
    qreal m_cornerRadius = 0;
};
