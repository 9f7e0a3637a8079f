#pragma once

// Collects the plain process log (qInfo, qWarning, qCritical, ...) while it lives, and still
// passes each message on to the handler that was installed before. One at a time; main thread.

#include <QStringList>
#include <QtGlobal>

class ProcessLogCapture
{
public:
    ProcessLogCapture();
    ~ProcessLogCapture();
    ProcessLogCapture(const ProcessLogCapture &) = delete;
    ProcessLogCapture &operator=(const ProcessLogCapture &) = delete;

    struct Message
    {
        QtMsgType type;
        QString text;
    };

    const QList<Message> &messages() const { return m_messages; }
    QStringList texts() const;
    // How many messages contain the text.
    qsizetype count(const QString &text) const { return texts().filter(text).size(); }
    // The position of the first message that contains the text, -1 when none does.
    qsizetype indexOf(const QString &text) const;

private:
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &text);

    QList<Message> m_messages;
    QtMessageHandler m_previous;
};
