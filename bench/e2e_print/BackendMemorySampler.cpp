#include "BackendMemorySampler.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <chrono>

namespace {

constexpr auto kSampleInterval = std::chrono::milliseconds(1);
constexpr QByteArrayView kHighWaterField("VmHWM:");

QByteArray readProcFile(const QString &path)
{
    QFile file(path);
    // /proc files report no size: read to the end.
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The VmHWM of a /proc/<pid>/status text in KiB, 0 when it has none.
qint64 highWaterMark(const QByteArray &status)
{
    const qsizetype field = status.indexOf(kHighWaterField);
    if (field < 0)
        return 0;
    const qsizetype end = status.indexOf('\n', field);
    return status.mid(field + kHighWaterField.size(), end - field - kHighWaterField.size())
        .trimmed()
        .split(' ')
        .first()
        .toLongLong();
}

} // namespace

BackendMemorySampler::~BackendMemorySampler()
{
    stop();
}

void BackendMemorySampler::start()
{
    stop();
    m_peakKibibytes = 0;
    m_running = true;
    m_thread = std::thread([this] { sample(); });
}

qint64 BackendMemorySampler::stop()
{
    m_running = false;
    if (m_thread.joinable())
        m_thread.join();
    return m_peakKibibytes;
}

void BackendMemorySampler::sample()
{
    const QDir proc(QStringLiteral("/proc"));
    while (m_running) {
        for (const QString &entry : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            const QString folder = QStringLiteral("/proc/") + entry;
            if (!entry.front().isDigit() ||
                readProcFile(folder + QStringLiteral("/comm")).trimmed() != kProgramName)
                continue;
            const qint64 mark = highWaterMark(readProcFile(folder + QStringLiteral("/status")));
            if (mark > m_peakKibibytes)
                m_peakKibibytes = mark;
        }
        std::this_thread::sleep_for(kSampleInterval);
    }
}
