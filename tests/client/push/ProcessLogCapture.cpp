#include "ProcessLogCapture.h"

namespace {

QList<ProcessLogCapture::Message> *g_messages = nullptr;
QtMessageHandler g_previous = nullptr;

} // namespace

ProcessLogCapture::ProcessLogCapture()
{
    m_previous = qInstallMessageHandler(&ProcessLogCapture::handle);
    g_messages = &m_messages;
    g_previous = m_previous;
}

ProcessLogCapture::~ProcessLogCapture()
{
    qInstallMessageHandler(m_previous);
    g_messages = nullptr;
    g_previous = nullptr;
}

QStringList ProcessLogCapture::texts() const
{
    QStringList list;
    for (const Message &message : m_messages)
        list.append(message.text);
    return list;
}

qsizetype ProcessLogCapture::indexOf(const QString &text) const
{
    for (qsizetype i = 0; i < m_messages.size(); ++i) {
        if (m_messages[i].text.contains(text))
            return i;
    }
    return -1;
}

void ProcessLogCapture::handle(QtMsgType type, const QMessageLogContext &context,
                               const QString &text)
{
    if (g_messages)
        g_messages->append({type, text});
    if (g_previous)
        g_previous(type, context, text);
}
