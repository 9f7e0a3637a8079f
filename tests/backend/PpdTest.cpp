// The queue's PPD and the backend must agree: every paper size, duplex and colour choice it
// offers is one the backend records, and its defaults are the backend's defaults.

#include "backend/JobOptions.h"
#include "backend/PaperSizeTable.h"
#include "support/TestSupport.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringList>

#include <gtest/gtest.h>

namespace {

const QString kPpdPath = QStringLiteral(VQM_SOURCE_DIR "/packaging/ppd/Tarvello.ppd");

QString ppdText()
{
    return QString::fromLatin1(TestSupport::readFile(kPpdPath));
}

// The choice names of a PPD option, in the file's order.
QStringList choicesOf(const QString &option)
{
    const QRegularExpression line(QStringLiteral("^\\*%1 ([^/:\\s]+)[/:]").arg(option),
                                  QRegularExpression::MultilineOption);
    QStringList names;
    for (auto it = line.globalMatch(ppdText()); it.hasNext();)
        names.append(it.next().captured(1));
    return names;
}

QString defaultOf(const QString &option)
{
    const QRegularExpression line(QStringLiteral("^\\*Default%1: (\\S+)").arg(option),
                                  QRegularExpression::MultilineOption);
    return line.match(ppdText()).captured(1);
}

TEST(PpdTest, passesCupstestppd)
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("cupstestppd"));
    if (tool.isEmpty())
        GTEST_SKIP() << "cupstestppd is not installed (Debian package cups)";
    QProcess check;
    check.start(tool, {QStringLiteral("-W"), QStringLiteral("all"), kPpdPath});
    ASSERT_TRUE(check.waitForFinished(60000));
    const QByteArray report = check.readAllStandardOutput() + check.readAllStandardError();
    EXPECT_EQ(check.exitCode(), 0) << report.constData();
    // Warnings too: a PPD that CUPS only tolerates would be rejected by later versions.
    EXPECT_FALSE(report.contains("WARN")) << report.constData();
}

TEST(PpdTest, everyDocumentPassesPdftopdfAndCopiesStayACount)
{
    // The one filter line takes pdftopdf's output, so that CUPS runs pdftopdf for PDF documents
    // too (a line from application/pdf would hand a PDF over as it stands, options unapplied).
    const QRegularExpression filterLine(QStringLiteral("^\\*cupsFilter2?: .*$"),
                                        QRegularExpression::MultilineOption);
    QStringList filters;
    for (auto it = filterLine.globalMatch(ppdText()); it.hasNext();)
        filters.append(it.next().captured(0));
    EXPECT_EQ(filters.join(u'\n').toStdString(),
              "*cupsFilter2: \"application/vnd.cups-pdf application/pdf 0 -\"");
    // The device makes the copies: pdftopdf sends the pages once.
    const QRegularExpression manualCopies(QStringLiteral("^\\*cupsManualCopies: (\\S+)"),
                                          QRegularExpression::MultilineOption);
    EXPECT_EQ(manualCopies.match(ppdText()).captured(1).toStdString(), "False");
}

TEST(PpdTest, offersExactlyThePaperSizesTheBackendRecords)
{
    QStringList known;
    for (const PaperSize &size : PaperSizeTable::all())
        known.append(size.name);
    for (const char *option : {"PageSize", "PageRegion", "ImageableArea", "PaperDimension"})
        EXPECT_EQ(choicesOf(QString::fromLatin1(option)), known) << option;
    for (const QString &name : known)
        EXPECT_EQ(JobOptions::fromCupsOptions("PageSize=" + name.toLatin1()).paper.name, name);
}

TEST(PpdTest, duplexAndColourChoicesMapToTheirCodes)
{
    EXPECT_EQ(choicesOf(QStringLiteral("Duplex")),
              (QStringList{"None", "DuplexNoTumble", "DuplexTumble"}));
    EXPECT_EQ(JobOptions::fromCupsOptions("Duplex=None").duplex, JobOptions::kOneSided);
    EXPECT_EQ(JobOptions::fromCupsOptions("Duplex=DuplexNoTumble").duplex, JobOptions::kLongEdge);
    EXPECT_EQ(JobOptions::fromCupsOptions("Duplex=DuplexTumble").duplex, JobOptions::kShortEdge);

    EXPECT_EQ(choicesOf(QStringLiteral("ColorModel")), (QStringList{"Gray", "RGB"}));
    EXPECT_EQ(JobOptions::fromCupsOptions("ColorModel=Gray").color, JobOptions::kMonochrome);
    EXPECT_EQ(JobOptions::fromCupsOptions("ColorModel=RGB").color, JobOptions::kColour);
}

TEST(PpdTest, defaultsAreTheBackendsDefaults)
{
    const JobOptions unset = JobOptions::fromCupsOptions("");
    const JobOptions ppdDefaults = JobOptions::fromCupsOptions(
        QStringLiteral("PageSize=%1 Duplex=%2 ColorModel=%3")
            .arg(defaultOf(QStringLiteral("PageSize")), defaultOf(QStringLiteral("Duplex")),
                 defaultOf(QStringLiteral("ColorModel")))
            .toLatin1());
    EXPECT_EQ(ppdDefaults.paper, unset.paper);
    EXPECT_EQ(ppdDefaults.duplex, unset.duplex);
    EXPECT_EQ(ppdDefaults.color, unset.color);
    for (const char *option : {"PageRegion", "ImageableArea", "PaperDimension"})
        EXPECT_EQ(defaultOf(QString::fromLatin1(option)), unset.paper.name) << option;
}

} // namespace
