// Measures the whole print road, from lp to the upload report the service receives: a 1 MB and
// a 50 MB document (each printed to a client that is not running yet, as the first print of a
// session), and 20 one-page documents printed at once, which must all arrive whole. The 50 MB
// upload is set against curl sending the same file to the same FTP server. Started outside the
// private namespaces, it runs itself through tests/e2e/private-road.

#include "PrintRoad.h"
#include "PrivateRoadCheck.h"
#include "SamplePdf.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <cstdio>

namespace {

using namespace std::chrono_literals;

constexpr qint64 kMebibyte = 1024 * 1024;
constexpr qint64 kSmallBytes = 1 * kMebibyte;
constexpr qint64 kLargeBytes = 50 * kMebibyte;
constexpr int kBurstJobs = 20;
constexpr int kPagesPerDocument = 1;

constexpr double kSmallGoalMs = 3000;
// What the road may add to the FTP transfer of 50 MB itself.
constexpr double kLargeOverheadGoalMs = 5000;
constexpr double kBurstGoalMs = 30000;

constexpr auto kClientEndLimit = 40s;
constexpr auto kBurstLimit = 300s;
constexpr int kAnchorLimitMs = 120000;
constexpr int kWholeRunLimitMs = 1200000;
constexpr int kSkippedStatus = 77;

struct Outcome
{
    QStringList missed;

    void figure(const char *name, double value, const char *unit)
    {
        std::printf("%s = %.1f %s\n", name, value, unit);
        std::fflush(stdout);
    }
    void goal(bool met, const QString &which)
    {
        if (!met)
            missed << which;
    }
    void fail(const QString &why)
    {
        std::fprintf(stderr, "bench_e2e_print: %s\n", qPrintable(why));
        missed << why.section(u'\n', 0, 0);
    }
};

class RoadBench
{
public:
    explicit RoadBench(Outcome &outcome)
        : m_outcome(outcome)
    {}

    bool start()
    {
        const Result<Done> started = m_road.start();
        if (!started)
            m_outcome.fail(started.error().description);
        return started.ok();
    }

    // Prints the documents at once; the milliseconds until all their reports were in, or -1.
    double printAndTime(const QList<PrivateCups::PrintRequest> &requests,
                        std::chrono::seconds limit)
    {
        const int reportsBefore = int(m_road.reports().size());
        QElapsedTimer timer;
        timer.start();
        const Result<QStringList> printed = m_road.print(requests);
        if (!printed) {
            m_outcome.fail(printed.error().description);
            return -1;
        }
        const Result<Done> reported =
            m_road.waitForReports(reportsBefore + int(requests.size()), limit);
        const double elapsed = double(timer.nsecsElapsed()) / 1e6;
        if (!reported) {
            m_outcome.fail(reported.error().description);
            return -1;
        }
        return elapsed;
    }

    // How many of the documents arrived byte for byte, with a report of success.
    int arrivedWhole(const QList<PrivateCups::PrintRequest> &requests) const
    {
        int whole = 0;
        for (const PrivateCups::PrintRequest &request : requests) {
            QFile printed(request.file);
            if (!printed.open(QIODevice::ReadOnly))
                continue;
            const QByteArray bytes = printed.readAll();
            for (const QJsonObject &submission : m_road.submissions()) {
                const QJsonObject members = submission.value("members").toObject();
                if (members.value("docName").toString() != request.title)
                    continue;
                QFile stored(m_road.storedFileOf(submission));
                if (stored.open(QIODevice::ReadOnly) && stored.readAll() == bytes &&
                    reportedSuccess(submission))
                    ++whole;
            }
        }
        return whole;
    }

    // Sends the file with curl to the FTP server the service named for the document's job.
    double curlUpload(const QString &title, const QString &file) const
    {
        for (const QJsonObject &submission : m_road.submissions()) {
            if (submission.value("members").toObject().value("docName").toString() != title)
                continue;
            const QJsonObject target =
                submission.value("reply").toObject().value("answer").toObject();
            const QString url = QStringLiteral("ftp://127.0.0.1:%1/curl-anchor/anchor.pdf")
                                    .arg(target.value("port").toString());
            QProcess curl;
            QElapsedTimer timer;
            timer.start();
            curl.start(QStringLiteral("curl"),
                       {QStringLiteral("--silent"), QStringLiteral("--show-error"),
                        QStringLiteral("--ftp-create-dirs"), QStringLiteral("--user"),
                        target.value("user").toString() + u':' + target.value("pwd").toString(),
                        QStringLiteral("-T"), file, url});
            if (curl.waitForFinished(kAnchorLimitMs) && curl.exitCode() == 0)
                return double(timer.nsecsElapsed()) / 1e6;
            m_outcome.fail(QStringLiteral("curl could not upload %1: %2")
                               .arg(file, QString::fromUtf8(curl.readAllStandardError())));
            return -1;
        }
        m_outcome.fail(QStringLiteral("no job registered for %1").arg(title));
        return -1;
    }

    // So that the next document starts the client afresh.
    void waitForClientEnd()
    {
        if (const Result<Done> ended = m_road.waitForClientExit(kClientEndLimit); !ended)
            m_outcome.fail(ended.error().description);
    }

    QString document(const QString &title, qint64 bytes)
    {
        const QString path = m_road.workPath(title + QStringLiteral(".pdf"));
        if (const Result<Done> written = SamplePdf::write(path, kPagesPerDocument, bytes); !written)
            m_outcome.fail(written.error().description);
        return path;
    }

private:
    bool reportedSuccess(const QJsonObject &submission) const
    {
        const QString jobId = QString::number(submission.value("reply")
                                                  .toObject()
                                                  .value("answer")
                                                  .toObject()
                                                  .value("jobId")
                                                  .toInteger());
        for (const QJsonObject &report : m_road.reports()) {
            const QJsonObject members = report.value("members").toObject();
            if (members.value("jobId").toString() == jobId)
                return members.value("state").toString() == QStringLiteral("1");
        }
        return false;
    }

    Outcome &m_outcome;
    PrintRoad m_road;
};

int runInside()
{
    Outcome outcome;
    RoadBench bench(outcome);
    if (!bench.start()) {
        std::printf("goal missed: %s\n", qPrintable(outcome.missed.join(QStringLiteral("; "))));
        return 1;
    }

    const QList<PrivateCups::PrintRequest> small{
        {bench.document(QStringLiteral("one mebibyte"), kSmallBytes),
         QStringLiteral("one mebibyte")}};
    const double smallMs = bench.printAndTime(small, PrintRoad::kJobLimit);
    outcome.figure("lp_to_report_1mb", smallMs, "ms");
    outcome.goal(smallMs >= 0 && smallMs <= kSmallGoalMs && bench.arrivedWhole(small) == 1,
                 QStringLiteral("lp_to_report_1mb"));
    bench.waitForClientEnd();

    const QString largeTitle = QStringLiteral("fifty mebibytes");
    const QList<PrivateCups::PrintRequest> large{
        {bench.document(largeTitle, kLargeBytes), largeTitle}};
    const double largeMs = bench.printAndTime(large, PrintRoad::kJobLimit);
    outcome.figure("lp_to_report_50mb", largeMs, "ms");
    const double anchorMs = bench.curlUpload(largeTitle, large.first().file);
    outcome.figure("curl_ftp_upload_50mb", anchorMs, "ms");
    outcome.figure("road_overhead_50mb", largeMs - anchorMs, "ms");
    outcome.goal(largeMs >= 0 && anchorMs >= 0 && largeMs - anchorMs <= kLargeOverheadGoalMs &&
                     bench.arrivedWhole(large) == 1,
                 QStringLiteral("road_overhead_50mb"));
    bench.waitForClientEnd();

    QList<PrivateCups::PrintRequest> burst;
    for (int i = 1; i <= kBurstJobs; ++i) {
        const QString title = QStringLiteral("burst %1").arg(i, 2, 10, QLatin1Char('0'));
        burst << PrivateCups::PrintRequest{bench.document(title, 0), title};
    }
    const double burstMs = bench.printAndTime(burst, kBurstLimit);
    const int burstWhole = bench.arrivedWhole(burst);
    outcome.figure("lp_to_last_report_20_jobs", burstMs, "ms");
    outcome.figure("jobs_arrived_whole_20_jobs", burstWhole, "jobs");
    outcome.goal(burstMs >= 0 && burstMs <= kBurstGoalMs && burstWhole == kBurstJobs,
                 QStringLiteral("lp_to_last_report_20_jobs"));

    if (outcome.missed.isEmpty()) {
        std::printf("goal met\n");
        return 0;
    }
    std::printf("goal missed: %s\n", qPrintable(outcome.missed.join(QStringLiteral(", "))));
    return 1;
}

// Runs this program again where the road can run, and passes its figures on.
int runThroughPrivateRoad(const PrintRoad::Programs &programs)
{
    QStringList arguments{programs.privateRoadScript};
    for (const QString &folder : programs.shadowedFolders)
        arguments << QStringLiteral("--shadow") << folder;
    arguments << QStringLiteral("--") << QCoreApplication::applicationFilePath();
    QProcess road;
    road.setProcessChannelMode(QProcess::ForwardedChannels);
    road.start(QStringLiteral("/bin/bash"), arguments);
    if (!road.waitForFinished(kWholeRunLimitMs)) {
        road.kill();
        road.waitForFinished();
        std::printf("goal missed: the run did not end within %d s\n", kWholeRunLimitMs / 1000);
        return 1;
    }
    if (road.exitStatus() == QProcess::NormalExit && road.exitCode() == kSkippedStatus) {
        std::printf("goal missed: the road cannot run on this machine (see above)\n");
        return 1;
    }
    return road.exitStatus() == QProcess::NormalExit ? road.exitCode() : 1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    const PrintRoad::Programs programs = PrintRoad::Programs::ofThisBuild();
    if (!PrivateRoadCheck::isInside(programs.shadowedFolders))
        return runThroughPrivateRoad(programs);
    return runInside();
}
