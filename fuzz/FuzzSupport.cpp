#include "FuzzSupport.h"

#include "foundation/logging/Log.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <spdlog/sinks/base_sink.h>
#include <spdlog/spdlog.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>

namespace {

constexpr int kSpinTickMs = 5;
constexpr auto kMemoryFolder = "/dev/shm";

std::atomic<quint64> statementCount{0};

class CountingSink : public spdlog::sinks::base_sink<std::mutex>
{
protected:
    void sink_it_(const spdlog::details::log_msg &) override { ++statementCount; }
    void flush_() override {}
};

QTemporaryDir *scratch = nullptr;

// The process log is noise at these rates; a critical line is a violated precondition (the
// assertion handler's report) and so a finding.
void filterProcessLog(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type != QtCriticalMsg && type != QtFatalMsg)
        return;
    std::fprintf(stderr, "%s\n", qUtf8Printable(message));
    std::abort();
}

} // namespace

void FuzzSupport::initialize(int *argc, char ***argv)
{
    // Qt keeps the references for the application's lifetime.
    static int qtArgc = *argc;
    static QCoreApplication *const application = new QCoreApplication(qtArgc, *argv);
    Q_UNUSED(application);
    qInstallMessageHandler(filterProcessLog);
    auto logger = std::make_shared<spdlog::logger>("fuzz", std::make_shared<CountingSink>());
    logger->set_level(spdlog::level::trace);
    Log::setLogger(logger);
    // Targets rewrite files at every input: in memory where the system has a folder for that,
    // since a disk flushes a truncated and rewritten file when it is closed.
    const QFileInfo memoryFolder(QString::fromLatin1(kMemoryFolder));
    scratch = memoryFolder.isDir() && memoryFolder.isWritable()
                  ? new QTemporaryDir(
                        QDir(memoryFolder.filePath()).filePath(QStringLiteral("vqm-fuzz-XXXXXX")))
                  : new QTemporaryDir();
    require(scratch->isValid(), "a scratch folder can be made");
    std::atexit([] { delete scratch; });
}

void FuzzSupport::require(bool holds, const char *property)
{
    if (holds)
        return;
    std::fprintf(stderr, "fuzz property broken: %s\n", property);
    std::abort();
}

quint64 FuzzSupport::loggedStatements()
{
    return statementCount;
}

QString FuzzSupport::scratchFolder()
{
    return scratch->path();
}

QByteArray FuzzSupport::rawBytes(const uint8_t *data, size_t size)
{
    return QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
}

bool FuzzSupport::spinUntil(const bool &flag, int limitMs)
{
    const QDeadlineTimer deadline(limitMs);
    // Wakes the waiting event loop now and then, so that the limit is seen without an event.
    QTimer tick;
    tick.start(kSpinTickMs);
    while (!flag && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    return flag;
}
