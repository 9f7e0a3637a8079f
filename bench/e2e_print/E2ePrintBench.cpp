// Measures the whole print road, from lp to the upload report the service receives: a 1 MB and
// a 50 MB document (each printed to a client that is not running yet, as the first print of a
// session), one job of two 25 MB documents (which the backend joins into one PDF), and 20 one-page
// documents printed at once, which must all arrive whole (as the end-to-end tests judge it:
// ArrivalCheck). The 50 MB upload is set against curl sending the PDF the road uploaded to the
// same FTP server; the two-document job against the 50 MB one, with the backend's peak memory for
// it. Started outside the private namespaces, it runs itself through tests/e2e/private-road (and
// exits 77 where that cannot run). The short run prints a 1 MB and a 5 MB document, two of
// 2.5 MB, and a burst of 3.

#include "ArrivalCheck.h"
#include "BackendMemorySampler.h"
#include "BenchReport.h"
#include "PrintRoad.h"
#include "PrivateRoadCheck.h"
#include "SamplePdf.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>
#include <QProcess>

#include <cstdio>
#include <optional>

namespace {

using namespace std::chrono_literals;

constexpr qint64 kMebibyte = 1024 * 1024;
constexpr int kPagesPerDocument = 1;

struct Plan
{
    int smallMebibytes;
    int largeMebibytes; // the one set against curl
    int burstJobs;
};
constexpr Plan kFullPlan{1, 50, 20};
constexpr Plan kShortPlan{1, 5, 3};

constexpr double kSmallGoalMs = 3000;
// What the road may add to the FTP transfer of the large document itself.
constexpr double kLargeOverheadGoalMs = 5000;
constexpr double kBurstGoalMs = 30000;
// The job of two documents, each half the large one, against the large one.
constexpr int kJoinedDocuments = 2;
constexpr double kJoinedGoalRatio = 1.5;
constexpr double kKibibytesPerMebibyte = 1024;

constexpr auto kClientEndLimit = 40s;
constexpr auto kBurstLimit = 300s;
constexpr int kAnchorLimitMs = 120000;
constexpr int kWholeRunLimitMs = 1200000;
constexpr int kSkippedStatus = 77;

class RoadBench
{
public:
    explicit RoadBench(BenchReport &report)
        : m_report(report)
    {}

    // A step that could not be taken: the whole account on standard error, its first line as the
    // missed goal.
    void fail(const QString &why)
    {
        std::fprintf(stderr, "bench_e2e_print: %s\n", qPrintable(why));
        m_report.goal(false, why.section(u'\n', 0, 0));
    }

    bool start()
    {
        const Result<Done> started = m_road.start();
        if (!started)
            fail(started.error().description);
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
            fail(printed.error().description);
            return -1;
        }
        for (qsizetype i = 0; i < requests.size(); ++i)
            m_requestIds.insert(requests[i].title, printed->at(i));
        const Result<Done> reported =
            m_road.waitForReports(reportsBefore + int(requests.size()), limit);
        const double elapsed = double(timer.nsecsElapsed()) / 1e6;
        if (!reported) {
            fail(reported.error().description);
            return -1;
        }
        return elapsed;
    }

    // How many of the documents arrived whole, with a report of success; why the others did not
    // goes to standard error.
    int arrivedWhole(const QList<PrivateCups::PrintRequest> &requests) const
    {
        int whole = 0;
        for (const PrivateCups::PrintRequest &request : requests) {
            const Result<QList<ArrivalCheck::PageTexts>> pages = pagesOf(request);
            const QString published = m_road.publishedCopyOf(m_requestIds.value(request.title));
            for (const QJsonObject &submission : m_road.submissions()) {
                const QJsonObject members = submission.value("members").toObject();
                if (members.value("docName").toString() != request.title)
                    continue;
                const Result<Done> arrived =
                    pages ? ArrivalCheck::verify(m_road.storedFileOf(submission), published,
                                                 pages.value())
                          : Result<Done>(pages.error());
                if (arrived && reportedSuccess(submission))
                    ++whole;
                else if (!arrived)
                    std::fprintf(stderr, "bench_e2e_print: %s did not arrive whole: %s\n",
                                 qPrintable(request.title),
                                 qPrintable(arrived.error().description));
            }
        }
        return whole;
    }

    // Sends the PDF the road uploaded for the document with curl to the FTP server the service
    // named for its job.
    double curlUpload(const QString &title)
    {
        const QString file = m_road.publishedCopyOf(m_requestIds.value(title));
        if (file.isNull()) {
            fail(QStringLiteral("no PDF was published for %1").arg(title));
            return -1;
        }
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
            fail(QStringLiteral("curl could not upload %1: %2")
                     .arg(file, QString::fromUtf8(curl.readAllStandardError())));
            return -1;
        }
        fail(QStringLiteral("no job registered for %1").arg(title));
        return -1;
    }

    // The size of the PDF the backend published for the document (-1 when there is none).
    qint64 publishedSize(const QString &title) const
    {
        const QString file = m_road.publishedCopyOf(m_requestIds.value(title));
        return file.isNull() ? -1 : QFileInfo(file).size();
    }

    // So that the next document starts the client afresh.
    void waitForClientEnd()
    {
        if (const Result<Done> ended = m_road.waitForClientExit(kClientEndLimit); !ended)
            fail(ended.error().description);
    }

    QString document(const QString &title, qint64 bytes)
    {
        const QString path = m_road.workPath(title + QStringLiteral(".pdf"));
        if (const Result<Done> written = SamplePdf::write(path, kPagesPerDocument, bytes); !written)
            fail(written.error().description);
        return path;
    }

private:
    // Every page of the request's documents, in order.
    static Result<QList<ArrivalCheck::PageTexts>> pagesOf(const PrivateCups::PrintRequest &request)
    {
        QList<ArrivalCheck::PageTexts> pages;
        for (const QString &file : QStringList{request.file} + request.moreFiles) {
            const Result<QList<ArrivalCheck::PageTexts>> filePages = ArrivalCheck::pagesOf(file);
            if (!filePages)
                return filePages.error();
            pages += filePages.value();
        }
        return pages;
    }

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

    BenchReport &m_report;
    PrintRoad m_road;
    // The CUPS request id of each document printed, by title.
    QHash<QString, QString> m_requestIds;
};

QString mebibytes(int count)
{
    return QStringLiteral("%1mb").arg(count);
}

int runInside(const Plan &plan)
{
    BenchReport report;
    RoadBench bench(report);
    if (!bench.start())
        return report.finish();

    const QString smallTitle = QStringLiteral("small document");
    const QList<PrivateCups::PrintRequest> small{
        {bench.document(smallTitle, plan.smallMebibytes * kMebibyte), smallTitle}};
    const double smallMs = bench.printAndTime(small, PrintRoad::kJobLimit);
    const QString smallFigure = QStringLiteral("lp_to_report_") + mebibytes(plan.smallMebibytes);
    report.figure(smallFigure, smallMs, "ms", 1);
    report.goal(smallMs >= 0 && smallMs <= kSmallGoalMs && bench.arrivedWhole(small) == 1,
                smallFigure);
    bench.waitForClientEnd();

    const QString largeTitle = QStringLiteral("large document");
    const QString large = mebibytes(plan.largeMebibytes);
    const QList<PrivateCups::PrintRequest> largeRequest{
        {bench.document(largeTitle, plan.largeMebibytes * kMebibyte), largeTitle}};
    const double largeMs = bench.printAndTime(largeRequest, PrintRoad::kJobLimit);
    report.figure(QStringLiteral("lp_to_report_") + large, largeMs, "ms", 1);
    const double anchorMs = bench.curlUpload(largeTitle);
    report.figure(QStringLiteral("curl_ftp_upload_") + large, anchorMs, "ms", 1);
    report.figure(QStringLiteral("road_overhead_") + large, largeMs - anchorMs, "ms", 1);
    // pdftopdf writes the document anew; what the road carried.
    report.figure(QStringLiteral("uploaded_pdf_") + large,
                  double(bench.publishedSize(largeTitle)) / double(kMebibyte), "MiB", 1);
    report.goal(largeMs >= 0 && anchorMs >= 0 && largeMs - anchorMs <= kLargeOverheadGoalMs &&
                    bench.arrivedWhole(largeRequest) == 1,
                QStringLiteral("road_overhead_") + large);
    bench.waitForClientEnd();

    // The same bytes in two documents of one job.
    const QString joinedTitle = QStringLiteral("two documents");
    const QString joined = QStringLiteral("%1x%2mb")
                               .arg(kJoinedDocuments)
                               .arg(double(plan.largeMebibytes) / kJoinedDocuments);
    const qint64 documentBytes = plan.largeMebibytes * kMebibyte / kJoinedDocuments;
    PrivateCups::PrintRequest joinedRequest{bench.document(joinedTitle, documentBytes),
                                            joinedTitle};
    for (int i = 2; i <= kJoinedDocuments; ++i)
        joinedRequest.moreFiles << bench.document(joinedTitle + QString::number(i), documentBytes);
    BackendMemorySampler backendMemory;
    backendMemory.start();
    const double joinedMs = bench.printAndTime({joinedRequest}, PrintRoad::kJobLimit);
    const qint64 backendPeakKibibytes = backendMemory.stop();
    const double joinedRatio = largeMs > 0 ? joinedMs / largeMs : -1;
    report.figure(QStringLiteral("lp_to_report_") + joined, joinedMs, "ms", 1);
    report.figure(QStringLiteral("lp_to_report_") + joined + QStringLiteral("_vs_") + large,
                  joinedRatio, "x", 2);
    report.figure(QStringLiteral("backend_peak_rss_") + joined,
                  double(backendPeakKibibytes) / kKibibytesPerMebibyte, "MiB", 1);
    report.goal(joinedMs >= 0 && joinedRatio >= 0 && joinedRatio <= kJoinedGoalRatio &&
                    bench.arrivedWhole({joinedRequest}) == 1,
                QStringLiteral("lp_to_report_") + joined);
    bench.waitForClientEnd();

    QList<PrivateCups::PrintRequest> burst;
    for (int i = 1; i <= plan.burstJobs; ++i) {
        const QString title = QStringLiteral("burst %1").arg(i, 2, 10, QLatin1Char('0'));
        burst << PrivateCups::PrintRequest{bench.document(title, 0), title};
    }
    const double burstMs = bench.printAndTime(burst, kBurstLimit);
    const int burstWhole = bench.arrivedWhole(burst);
    const QString burstFigure = QStringLiteral("lp_to_last_report_%1_jobs").arg(plan.burstJobs);
    report.figure(burstFigure, burstMs, "ms", 1);
    report.figure(QStringLiteral("jobs_arrived_whole_%1_jobs").arg(plan.burstJobs), burstWhole,
                  "jobs", 0);
    report.goal(burstMs >= 0 && burstMs <= kBurstGoalMs && burstWhole == plan.burstJobs,
                burstFigure);
    return report.finish();
}

// Runs this program again where the road can run, and passes its figures on.
int runThroughPrivateRoad(const PrintRoad::Programs &programs)
{
    QStringList arguments{programs.privateRoadScript};
    for (const QString &folder : programs.shadowedFolders)
        arguments << QStringLiteral("--shadow") << folder;
    arguments << QStringLiteral("--") << QCoreApplication::applicationFilePath()
              << QCoreApplication::arguments().mid(1);
    QProcess road;
    road.setProcessChannelMode(QProcess::ForwardedChannels);
    road.start(QStringLiteral("/bin/bash"), arguments);
    if (!road.waitForFinished(kWholeRunLimitMs)) {
        road.kill();
        road.waitForFinished();
        return BenchReport::abandon(
            QStringLiteral("the run did not end within %1 s").arg(kWholeRunLimitMs / 1000));
    }
    if (road.exitStatus() == QProcess::NormalExit && road.exitCode() == kSkippedStatus) {
        BenchReport::abandon(QStringLiteral("the road cannot run on this machine (see above)"));
        return kSkippedStatus;
    }
    return road.exitStatus() == QProcess::NormalExit ? road.exitCode()
                                                     : BenchReport::kExitGoalMissed;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    const std::optional<BenchReport::Length> length =
        BenchReport::lengthOf(QCoreApplication::arguments());
    if (!length)
        return BenchReport::kExitUsage;
    const PrintRoad::Programs programs = PrintRoad::Programs::ofThisBuild();
    if (!PrivateRoadCheck::isInside(programs.shadowedFolders))
        return runThroughPrivateRoad(programs);
    return runInside(*length == BenchReport::Length::Short ? kShortPlan : kFullPlan);
}
