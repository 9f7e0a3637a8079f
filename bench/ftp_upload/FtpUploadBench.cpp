// Uploads a 100 MB and a 1 GB file to a local FTP server through FTPFileUpload and through
// `curl -T`, best of three runs each, and prints both throughputs, their ratio and how much the
// uploader's peak resident memory grew. Goal: at least 0.9 of curl's throughput, less than 16 MB
// of memory growth. The short run sends one 10 MB file once.

#include "BenchReport.h"
#include "client/network/FTPFileUpload.h"
#include "foundation/logging/Log.h"
#include "support/FtpServerFixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <spdlog/sinks/null_sink.h>
#include <spdlog/spdlog.h>

#include <algorithm>
#include <optional>
#include <span>

#include <unistd.h>

namespace {

constexpr qint64 kMegabyte = 1000 * 1000;
constexpr double kThroughputGoal = 0.9;
constexpr double kMemoryGrowthGoalMB = 16.0;
constexpr int kCurlLimitMs = 600000;
constexpr qint64 kChunk = 4 * 1024 * 1024;

struct Size
{
    const char *name;
    qint64 bytes;
};
constexpr Size kFullSizes[] = {{"100MB", 100 * kMegabyte}, {"1GB", 1000 * kMegabyte}};
constexpr Size kShortSizes[] = {{"10MB", 10 * kMegabyte}};

struct Plan
{
    std::span<const Size> sizes;
    int runs; // best of, against noise from the page cache and the server
};
constexpr Plan kFullPlan{kFullSizes, 3};
constexpr Plan kShortPlan{kShortSizes, 1};

// A field of /proc/self/status in kB ("VmHWM", "VmRSS").
qint64 statusKilobytes(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(prefix)) {
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong();
        }
    }
    return -1;
}

// Starts a new peak: VmHWM is set back to the current resident size.
bool resetPeakMemory()
{
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    return clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1;
}

bool makeFile(const QString &path, qint64 bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return false;
    }
    QByteArray chunk(kChunk, Qt::Uninitialized);
    QRandomGenerator random(42);
    random.fillRange(reinterpret_cast<quint32 *>(chunk.data()), chunk.size() / 4);
    for (qint64 written = 0; written < bytes;) {
        const qint64 part = std::min<qint64>(kChunk, bytes - written);
        if (file.write(chunk.constData(), part) != part) {
            return false;
        }
        written += part;
    }
    return true;
}

QCoro::Task<QString> uploadOnce(VQJobInfoResult target, QString path)
{
    // The files lie in the benchmark's own folder, not in the copy folder of print jobs.
    FTPFileUpload uploader{CopyFolderCheck(QFileInfo(path).path())};
    QCoro::Task<QString> pending = uploader.uploadFileWithFtpInfo(target, path);
    const QString result = co_await pending;
    co_return result;
}

// Seconds for one upload through FTPFileUpload; empty when it failed.
std::optional<double> timeUploader(const VQJobInfoResult &target, const QString &path)
{
    // Each run starts without the dirty pages of the one before.
    ::sync();
    QEventLoop loop;
    QString result;
    QElapsedTimer clock;
    clock.start();
    QCoro::Task<QString> task = uploadOnce(target, path);
    task.then([&](const QString &done) {
        result = done;
        loop.quit();
    });
    loop.exec();
    const double seconds = clock.nsecsElapsed() / 1e9;
    return result == "1" ? std::optional(seconds) : std::nullopt;
}

std::optional<double> timeCurl(const FtpServerFixture &server, const QString &path)
{
    ::sync();
    QProcess curl;
    QElapsedTimer clock;
    clock.start();
    curl.start(QStringLiteral("curl"),
               {QStringLiteral("-s"), QStringLiteral("-S"), QStringLiteral("-T"), path,
                QStringLiteral("-u"), server.user() + ':' + server.password(),
                QStringLiteral("ftp://127.0.0.1:%1/curl/").arg(server.port())});
    if (!curl.waitForFinished(kCurlLimitMs) || curl.exitStatus() != QProcess::NormalExit ||
        curl.exitCode() != 0) {
        return std::nullopt;
    }
    return clock.nsecsElapsed() / 1e9;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const std::optional<BenchReport::Length> length =
        BenchReport::lengthOf(QCoreApplication::arguments());
    if (!length)
        return BenchReport::kExitUsage;
    const Plan &plan = *length == BenchReport::Length::Short ? kShortPlan : kFullPlan;
    // The uploader's log lines would only disturb the figures.
    Log::setLogger(
        std::make_shared<spdlog::logger>("bench", std::make_shared<spdlog::sinks::null_sink_mt>()));

    FtpServerFixture server;
    QTemporaryDir local;
    if (!server.start() || !local.isValid() ||
        !QDir(server.root()).mkpath(QStringLiteral("uploader")) ||
        !QDir(server.root()).mkpath(QStringLiteral("curl")))
        return BenchReport::abandon(
            QStringLiteral("no FTP server or temporary folder (%1)").arg(server.errorString()));
    VQJobInfoResult target;
    target.ip = QStringLiteral("127.0.0.1");
    target.port = QString::number(server.port());
    target.user = server.user();
    target.pwd = server.password();
    target.dir = QStringLiteral("/uploader");

    BenchReport report;
    qint64 peakGrowthKB = 0;
    for (const Size &size : plan.sizes) {
        const QString path = local.filePath(QStringLiteral("%1.pdf").arg(size.name));
        if (!makeFile(path, size.bytes))
            return BenchReport::abandon(QStringLiteral("cannot write the %1 file").arg(size.name));
        // Touch the file once so that both contenders read it from the page cache.
        std::optional<double> uploader;
        std::optional<double> curl;
        timeCurl(server, path);
        for (int run = 0; run < plan.runs; ++run) {
            if (!resetPeakMemory())
                return BenchReport::abandon(
                    QStringLiteral("the peak resident memory cannot be reset"));
            const qint64 residentBefore = statusKilobytes("VmRSS");
            const std::optional<double> ours = timeUploader(target, path);
            peakGrowthKB = std::max(peakGrowthKB, statusKilobytes("VmHWM") - residentBefore);
            const std::optional<double> theirs = timeCurl(server, path);
            if (!ours || !theirs)
                return BenchReport::abandon(QStringLiteral("the %1 upload failed (%2)")
                                                .arg(size.name, ours ? "curl" : "FTPFileUpload"));
            uploader = std::min(uploader.value_or(*ours), *ours);
            curl = std::min(curl.value_or(*theirs), *theirs);
        }
        const QString stored =
            QDir(server.root()).filePath(QStringLiteral("uploader/") + QFileInfo(path).fileName());
        if (QFileInfo(stored).size() != size.bytes)
            return BenchReport::abandon(
                QStringLiteral("the %1 upload arrived incomplete").arg(size.name));
        const double ourRate = size.bytes / kMegabyte / *uploader;
        const double curlRate = size.bytes / kMegabyte / *curl;
        const double ratio = ourRate / curlRate;
        report.figure(QStringLiteral("ftp_upload_%1_throughput").arg(size.name), ourRate, "MB/s");
        report.figure(QStringLiteral("curl_%1_throughput").arg(size.name), curlRate, "MB/s");
        report.figure(QStringLiteral("ftp_upload_%1_ratio_to_curl").arg(size.name), ratio, "x");
        report.goal(
            ratio >= kThroughputGoal,
            QStringLiteral("%1 throughput %2 of curl's").arg(size.name).arg(ratio, 0, 'f', 2));
        QFile::remove(path);
        QFile::remove(stored);
        QFile::remove(
            QDir(server.root()).filePath(QStringLiteral("curl/") + QFileInfo(path).fileName()));
    }
    const double growthMB = peakGrowthKB / 1024.0;
    report.figure(QStringLiteral("ftp_upload_peak_memory_growth"), growthMB, "MB");
    report.goal(growthMB < kMemoryGrowthGoalMB,
                QStringLiteral("memory growth %1 MB").arg(growthMB, 0, 'f', 1));
    return report.finish();
}
