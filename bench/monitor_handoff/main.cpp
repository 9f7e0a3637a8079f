// Measures the job monitor from a complete spool PDF to its hand-off URL being opened: the latency
// of single jobs written one after another, and the time to hand off a burst written at once.
// The monitor runs as in production (real folder watcher, completeness wait, copy, job table, page
// fix-up) on temporary folders; a recording registry stands in for the desktop's URL opener.

#include "PdfFixture.h"
#include "foundation/HandoffUrl.h"
#include "foundation/logging/Log.h"
#include "monitor/HandlerService.h"
#include "monitor/MonitorFileManager.h"
#include "monitor/db/DBBusiness.h"
#include "monitor/platform/SchemeHandlerRegistry.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTimer>

#include <spdlog/sinks/null_sink.h>
#include <spdlog/spdlog.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <thread>

using Clock = std::chrono::steady_clock;

namespace {

constexpr int kSequentialJobs = 100;
constexpr int kBurstJobs = 200;
constexpr int kPagesPerJob = 3;
constexpr double kMedianGoalMs = 20.0;
constexpr auto kJobTimeout = std::chrono::seconds(10);
constexpr auto kBurstTimeout = std::chrono::seconds(60);
constexpr qint64 kFirstBurstId = 100000;

// Answers as a desktop where the client is the registered handler, and notes when each job's URL
// is opened.
class TimingRegistry : public SchemeHandlerRegistry
{
public:
    explicit TimingRegistry(QString clientLocation)
        : m_clientLocation(std::move(clientLocation))
    {}

    QString defaultHandlerForScheme(const QString &) override
    {
        return QLatin1String(HandlerService::kClientBundleId);
    }
    Result<QString> defaultApplicationForUrl(const QString &) override { return m_clientLocation; }
    QString identifierOfApplicationAt(const QString &) override
    {
        return QLatin1String(HandlerService::kClientBundleId);
    }
    int setDefaultHandlerForScheme(const QString &, const QString &) override
    {
        return kStatusSuccess;
    }
    bool openUrl(const QString &url) override
    {
        const Clock::time_point now = Clock::now();
        const QByteArray json =
            QByteArray::fromPercentEncoding(url.mid(int(qstrlen(HandoffUrl::prefix))).toLatin1());
        const qint64 jobId =
            QJsonDocument::fromJson(json).object().value("jobId").toString().toLongLong();
        std::lock_guard lock(m_mutex);
        m_opened.emplace(jobId, now);
        m_changed.notify_all();
        return true;
    }

    bool waitFor(qint64 jobId, Clock::duration limit)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, limit, [&] { return m_opened.count(jobId) > 0; });
    }
    bool waitForCount(size_t count, Clock::duration limit)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, limit, [&] { return m_opened.size() >= count; });
    }
    std::map<qint64, Clock::time_point> opened()
    {
        std::lock_guard lock(m_mutex);
        return m_opened;
    }

private:
    QString m_clientLocation;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<qint64, Clock::time_point> m_opened;
};

double milliseconds(Clock::duration duration)
{
    return std::chrono::duration<double, std::milli>(duration).count();
}

double percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t index =
        std::min(values.size() - 1, size_t(fraction * double(values.size() - 1) + 0.5));
    return values[index];
}

void writeAtOnce(const QString &path, const QByteArray &content)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
}

struct Figures
{
    std::vector<double> latenciesMs;
    int sequentialHandedOff = 0;
    double burstMs = 0;
    int burstHandedOff = 0;
};

// Runs on a thread of its own, so that the monitor's event loop is never held up by the writer.
void produceJobs(const QString &spool, const QByteArray &pdf, TimingRegistry &registry,
                 Figures &figures)
{
    for (int i = 1; i <= kSequentialJobs; ++i) {
        const QString path = QDir(spool).filePath(QString::number(i) + ".pdf");
        writeAtOnce(path, pdf);
        const Clock::time_point complete = Clock::now();
        if (!registry.waitFor(i, kJobTimeout))
            continue;
        ++figures.sequentialHandedOff;
        figures.latenciesMs.push_back(milliseconds(registry.opened().at(i) - complete));
    }

    const size_t before = registry.opened().size();
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < kBurstJobs; ++i)
        writeAtOnce(QDir(spool).filePath(QString::number(kFirstBurstId + i) + ".pdf"), pdf);
    registry.waitForCount(before + kBurstJobs, kBurstTimeout);
    Clock::time_point last = start;
    for (const auto &[jobId, openedAt] : registry.opened()) {
        if (jobId >= kFirstBurstId) {
            ++figures.burstHandedOff;
            last = std::max(last, openedAt);
        }
    }
    figures.burstMs = milliseconds(last - start);
}

bool addRows(DataBaseHelper &database)
{
    QList<DBJob> rows;
    const auto addRow = [&](qint64 id) {
        DBJob job;
        job.job_id = id;
        job.fileName = QStringLiteral("YmVuY2gucGRm");
        job.copies = QStringLiteral("2");
        job.pageType = QStringLiteral("A4");
        rows.append(job);
    };
    for (int i = 1; i <= kSequentialJobs; ++i)
        addRow(i);
    for (int i = 0; i < kBurstJobs; ++i)
        addRow(kFirstBurstId + i);
    return DBBusiness::initWithTable(database) && DBBusiness::updateJobs(rows, database);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    Log::setLogger(
        std::make_shared<spdlog::logger>("bench", std::make_shared<spdlog::sinks::null_sink_mt>()));

    QTemporaryDir root;
    const QString spool = root.filePath("pdf_out");
    QDir().mkpath(spool);
    DataBaseHelper database(root.path());
    if (!root.isValid() || !addRows(database)) {
        std::printf("goal missed: could not prepare the job table\n");
        return 1;
    }
    const QString pdfPath = root.filePath("sample.pdf");
    PdfFixture::write(pdfPath, kPagesPerJob);
    QFile sample(pdfPath);
    sample.open(QIODevice::ReadOnly);
    const QByteArray pdf = sample.readAll();

    TimingRegistry registry(pdfPath);
    HandlerService handler(spool, root.filePath("copies"), registry, &database);
    MonitorFileManager monitor(
        spool, MonitorFileManager::kDefaultTiming,
        [&handler](const QString &jobId) { handler.senderMessageWithJobId(jobId); },
        [](int status) { QCoreApplication::exit(status); });
    monitor.monitorFile();

    Figures figures;
    std::thread producer;
    QTimer::singleShot(0, &application, [&] {
        producer = std::thread([&] {
            produceJobs(spool, pdf, registry, figures);
            QMetaObject::invokeMethod(&application, &QCoreApplication::quit, Qt::QueuedConnection);
        });
    });
    const int status = application.exec();
    if (producer.joinable())
        producer.join();
    if (status != 0) {
        std::printf("goal missed: the spool folder could not be watched\n");
        return 1;
    }

    const double median = percentile(figures.latenciesMs, 0.5);
    std::printf("sequential_handed_off = %d jobs\n", figures.sequentialHandedOff);
    std::printf("handoff_latency_median = %.2f ms\n", median);
    std::printf("handoff_latency_p99 = %.2f ms\n", percentile(figures.latenciesMs, 0.99));
    std::printf("burst_handed_off = %d jobs\n", figures.burstHandedOff);
    std::printf("burst_%d_duration = %.1f ms\n", kBurstJobs, figures.burstMs);

    QStringList missed;
    if (figures.burstHandedOff != kBurstJobs)
        missed << QStringLiteral("burst_handed_off");
    if (figures.sequentialHandedOff != kSequentialJobs || median >= kMedianGoalMs)
        missed << QStringLiteral("handoff_latency_median");
    if (missed.isEmpty()) {
        std::printf("goal met\n");
        return 0;
    }
    std::printf("goal missed: %s\n", qPrintable(missed.join(QStringLiteral(", "))));
    return 1;
}
