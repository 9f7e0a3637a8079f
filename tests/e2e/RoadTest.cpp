#include "RoadTest.h"

#include "SamplePdf.h"

#include <QDir>
#include <QFile>

void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

void RoadTest::startRoad(const std::function<Result<Done>()> &beforeMonitorStarts)
{
    const Result<Done> started = m_road.start(beforeMonitorStarts);
    ASSERT_TRUE(started) << started.error().description.toStdString();
}

RoadTest::Print RoadTest::pdf(const QString &title, int pages, int copies,
                              const QStringList &options, const QList<QList<int>> &layout,
                              qint64 minimumBytes)
{
    const QString path = workPath(title + QStringLiteral(".pdf"));
    const Result<Done> written = SamplePdf::write(path, pages, minimumBytes);
    EXPECT_TRUE(written) << written.error().description.toStdString();
    return printOf(path, title, copies, options,
                   layout.isEmpty() ? ArrivalCheck::pagesOf(path)
                                    : ArrivalCheck::pagesOf(path, layout));
}

RoadTest::Print RoadTest::printOf(const QString &path, const QString &title, int copies,
                                  const QStringList &options,
                                  const Result<QList<ArrivalCheck::PageTexts>> &pages)
{
    EXPECT_TRUE(pages) << pages.error().description.toStdString();
    return Print{PrivateCups::PrintRequest{
                     .file = path, .title = title, .copies = copies, .options = options},
                 pages ? pages.value() : QList<ArrivalCheck::PageTexts>{}};
}

void RoadTest::print(QList<Print> &prints)
{
    QList<PrivateCups::PrintRequest> requests;
    for (const Print &print : std::as_const(prints))
        requests << print.request;
    const Result<QStringList> printed = m_road.print(requests);
    ASSERT_TRUE(printed) << printed.error().description.toStdString();
    for (qsizetype i = 0; i < prints.size(); ++i)
        prints[i].requestId = printed->at(i);
}

void RoadTest::waitForReports(int count)
{
    const Result<Done> arrived = m_road.waitForReports(count, count * PrintRoad::kJobLimit);
    ASSERT_TRUE(arrived) << arrived.error().description.toStdString();
}

QJsonObject RoadTest::registrationOf(const Print &print)
{
    QList<QJsonObject> registered;
    for (const QJsonObject &submission : m_road.submissions()) {
        if (memberText(submission, "docName") == print.request.title)
            registered << submission;
    }
    EXPECT_EQ(registered.size(), 1) << "registrations of " << print.request.title.toStdString();
    return registered.value(0);
}

void RoadTest::expectArrivedWhole(const Print &print)
{
    SCOPED_TRACE(print.request.title.toStdString());
    const QJsonObject submission = registrationOf(print);
    ASSERT_FALSE(submission.isEmpty());
    const QString published = m_road.publishedCopyOf(print.requestId);
    ASSERT_FALSE(published.isNull()) << "nothing published for " << print.requestId.toStdString();
    EXPECT_EQ(memberText(submission, "copies"), QString::number(print.request.copies));
    EXPECT_EQ(memberText(submission, "pageType"), print.request.media);
    // Counted by the monitor in what the filters made, for every copy.
    EXPECT_EQ(memberText(submission, "total_page"),
              QString::number(print.expectedPages.size() * print.request.copies));
    EXPECT_EQ(memberText(submission, "doc_size"), QString::number(QFile(published).size()));

    const Result<Done> whole =
        ArrivalCheck::verify(m_road.storedFileOf(submission), published, print.expectedPages);
    EXPECT_TRUE(whole) << whole.error().description.toStdString() << "\n"
                       << m_road.diagnostics().toStdString();

    const QString jobId = QString::number(answer(submission).value("jobId").toInteger());
    QList<QJsonObject> reported;
    for (const QJsonObject &report : m_road.reports()) {
        if (memberText(report, "jobId") == jobId)
            reported << report;
    }
    ASSERT_EQ(reported.size(), 1) << "reports of job " << jobId.toStdString();
    EXPECT_EQ(memberText(reported.first(), "state"), QStringLiteral("1"));
    EXPECT_EQ(memberText(reported.first(), "saveFileName"),
              answer(submission).value("dir").toString() + memberText(submission, "org_job_path"));
}

QStringList RoadTest::backendProcesses()
{
    QStringList found;
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
        if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == "vqmprinter")
            found << pid;
    }
    return found;
}

QString RoadTest::memberText(const QJsonObject &request, const char *name)
{
    return request.value(QStringLiteral("members"))
        .toObject()
        .value(QLatin1String(name))
        .toString();
}

QJsonObject RoadTest::answer(const QJsonObject &request)
{
    return request.value(QStringLiteral("reply"))
        .toObject()
        .value(QStringLiteral("answer"))
        .toObject();
}
