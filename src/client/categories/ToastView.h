#pragma once

// A short message shown over a view: a dark rounded plate in the middle of the view with a white
// text, below a spinning ring (Indeterminate), a bar (DeterminateHorizontalBar) or nothing (Text).
// It covers the whole view while shown, so the controls under it take no clicks. It fades in and
// out; once hidden it runs its completion, leaves the view and deletes itself.
//
// Main thread. Its parent is the view it covers; it follows that view's size.

#include <QPointer>
#include <QString>
#include <QWidget>

#include <chrono>
#include <functional>

class QPropertyAnimation;
class QGraphicsOpacityEffect;
class QTimer;

class ToastView : public QWidget
{
    Q_OBJECT

public:
    enum class Mode : qint32 { Indeterminate = 0, DeterminateHorizontalBar = 2, Text = 5 };

    static constexpr std::chrono::milliseconds kAnimationDuration{300};

    // Made hidden, over the whole view; show it with showAnimated().
    explicit ToastView(QWidget *view);

    Mode mode() const { return m_mode; }
    void setMode(Mode mode);
    QString labelText() const { return m_labelText; }
    void setLabelText(const QString &text);
    // 0 to 1, for the bar.
    float progress() const { return m_progress; }
    void setProgress(float progress);
    void setCompletionBlock(std::function<void()> completion);

    void showAnimated(bool animated);
    void hideAnimated(bool animated);
    // Starts hiding once the delay has passed (counted from this call).
    void hideAnimated(bool animated, std::chrono::milliseconds delay);

    // The plate in the view's coordinates.
    QRect bezelRect() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void finishHiding();

    Mode m_mode = Mode::Indeterminate;
    QString m_labelText;
    float m_progress = 0;
    std::function<void()> m_completion;
    bool m_hiding = false;
    bool m_delayedHideAnimated = true;
    int m_spinAngle = 0;
    QGraphicsOpacityEffect *m_opacity = nullptr;
    QPropertyAnimation *m_fade = nullptr;
    QTimer *m_spinTimer = nullptr;
    QTimer *m_hideTimer = nullptr;
};
