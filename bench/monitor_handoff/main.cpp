// Measures the job monitor from a complete spool PDF to its hand-off URL being opened: the latency
// of single jobs written one after another, and the time to hand off a burst written at once.
// The monitor runs as in production (real folder watcher, completeness wait, copy, job table, page
// fix-up) on temporary folders; a recording registry stands in for the desktop's URL opener.
// Goal: every job handed off, with a median latency under 20 ms. The short run writes 10 single
// jobs and a burst of 20.

#include "BenchReport.h"
#include "PdfFixture.h"
#include "foundation/HandoffUrl.h"
#include "foundation/logging/Log.h"
#include "monitor/HandlerService.h"
#include "monitor/MonitorFileManager.h"
#include "monitor/PRTools.h"
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
#include <map>
#include <mutex>
#include <optional>
#include <thread>

using Clock = std::chrono::steady_clock;

namespace {

struct Plan
{
    int sequentialJobs;
    int burstJobs;
};
constexpr Plan kFullPlan{100, 200};
constexpr Plan kShortPlan{10, 20};
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
void produceJobs(const Plan &plan, const QString &spool, const QByteArray &pdf,
                 TimingRegistry &registry, Figures &figures)
{
    for (int i = 1; i <= plan.sequentialJobs; ++i) {
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
    for (int i = 0; i < plan.burstJobs; ++i)
        writeAtOnce(QDir(spool).filePath(QString::number(kFirstBurstId + i) + ".pdf"), pdf);
    registry.waitForCount(before + plan.burstJobs, kBurstTimeout);
    Clock::time_point last = start;
    for (const auto &[jobId, openedAt] : registry.opened()) {
        if (jobId >= kFirstBurstId) {
            ++figures.burstHandedOff;
            last = std::max(last, openedAt);
        }
    }
    figures.burstMs = milliseconds(last - start);
}

bool addRows(const Plan &plan, DataBaseHelper &database)
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
    for (int i = 1; i <= plan.sequentialJobs; ++i)
        addRow(i);
    for (int i = 0; i < plan.burstJobs; ++i)
        addRow(kFirstBurstId + i);
    return DBBusiness::initWithTable(database) && DBBusiness::updateJobs(rows, database);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    const std::optional<BenchReport::Length> length =
        BenchReport::lengthOf(QCoreApplication::arguments());
    if (!length)
        return BenchReport::kExitUsage;
    const Plan &plan = *length == BenchReport::Length::Short ? kShortPlan : kFullPlan;
    Log::setLogger(
        std::make_shared<spdlog::logger>("bench", std::make_shared<spdlog::sinks::null_sink_mt>()));

    QTemporaryDir root;
    const QString spool = root.filePath("pdf_out");
    QDir().mkpath(spool);
    DataBaseHelper database(root.path());
    if (!root.isValid() || !addRows(plan, database))
        return BenchReport::abandon(QStringLiteral("could not prepare the job table"));
    const QString pdfPath = root.filePath("sample.pdf");
    PdfFixture::write(pdfPath, kPagesPerJob);
    QFile sample(pdfPath);
    sample.open(QIODevice::ReadOnly);
    const QByteArray pdf = sample.readAll();

    const Result<CheckedFolder> spoolFolder = CheckedFolder::open(spool);
    const Result<CheckedFolder> copyFolder =
        CheckedFolder::openOrMake(root.filePath("copies"), PRTools::kSharedMode);
    if (!spoolFolder || !copyFolder)
        return BenchReport::abandon(QStringLiteral("could not open the spool and copy folders"));
    TimingRegistry registry(pdfPath);
    HandlerService handler(spoolFolder.value(), copyFolder.value(), registry, &database);
    MonitorFileManager monitor(
        spoolFolder.value(), MonitorFileManager::kDefaultTiming,
        [&handler](const QString &jobId) { handler.senderMessageWithJobId(jobId); },
        [](int status) { QCoreApplication::exit(status); });
    monitor.monitorFile();

    Figures figures;
    std::thread producer;
    QTimer::singleShot(0, &application, [&] {
        producer = std::thread([&] {
            produceJobs(plan, spool, pdf, registry, figures);
            QMetaObject::invokeMethod(&application, &QCoreApplication::quit, Qt::QueuedConnection);
        });
    });
    const int status = application.exec();
    if (producer.joinable())
        producer.join();
    if (status != 0)
        return BenchReport::abandon(QStringLiteral("the spool folder could not be watched"));

    BenchReport report;
    const double median = percentile(figures.latenciesMs, 0.5);
    report.figure(QStringLiteral("sequential_handed_off"), figures.sequentialHandedOff, "jobs", 0);
    report.figure(QStringLiteral("handoff_latency_median"), median, "ms");
    report.figure(QStringLiteral("handoff_latency_p99"), percentile(figures.latenciesMs, 0.99),
                  "ms");
    report.figure(QStringLiteral("burst_handed_off"), figures.burstHandedOff, "jobs", 0);
    report.figure(QStringLiteral("burst_%1_duration").arg(plan.burstJobs), figures.burstMs, "ms",
                  1);
    report.goal(figures.burstHandedOff == plan.burstJobs, QStringLiteral("burst_handed_off"));
    report.goal(figures.sequentialHandedOff == plan.sequentialJobs && median < kMedianGoalMs,
                QStringLiteral("handoff_latency_median"));
    return report.finish();
}
