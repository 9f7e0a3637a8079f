// The client's intake of a hand-off URL, which any program or web page can open: percent
// decoding, the piece between the first and the second "?", the deletion of "params=", the JSON
// object, its conversion into a job (Base64 members, file size) and the copy-folder check, up to
// the job that reaches the job queue.
//
// Every input is used three ways. Properties:
// - as a URL given to the intake: no crash, no hang; the URL is answered exactly once, and at
//   most one job reaches the queue, only for a URL whose piece is a JSON object and only before
//   the answer;
// - as a URL, piece by piece: the percent decoding undoes the monitor's escaping of any text and
//   leaves text without "%" unchanged; the job's file size is a decimal number; the copy-folder
//   check takes a file only when its path is absolute and plain, its folder with links resolved is
//   the copy folder and it is a regular file or missing;
// - as the members of a hand-off job object: the URL the monitor builds from it gives back the
//   same object (values without blanks, "?" or "params=", which the form cannot carry), and the
//   job holds the decoded texts.
//
// The intake's paths are mapped into a copy of the real folder layout below the scratch folder,
// where the copy folder holds a PDF, a link to a file outside, a folder and a link to a folder.

#include "FuzzSupport.h"

#include "client/app/UrlIntake.h"
#include "client/platform/CopyFolderCheck.h"
#include "foundation/HandoffUrl.h"
#include "foundation/PrnParameterModel.h"
#include "foundation/TextHelpers/Base64.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>

#include <fuzzer/FuzzedDataProvider.h>
#include <sys/stat.h>

#include <array>
#include <memory>

namespace {

constexpr int kIntakeLimitMs = 10000;

QString copyFolder()
{
    return FuzzSupport::scratchFolder() + QLatin1String(CopyFolderCheck::kCopyFolder);
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    FuzzSupport::require(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size(),
                         "the fixture can be written");
}

void makeCopyFolderFixture()
{
    const QString folder = copyFolder();
    const QString outside = FuzzSupport::scratchFolder() + QStringLiteral("/outside");
    FuzzSupport::require(QDir().mkpath(folder) && QDir().mkpath(outside) &&
                             QDir().mkpath(folder + QStringLiteral("/D.pdf")),
                         "the fixture folders can be made");
    writeFile(folder + QStringLiteral("/A.pdf"), QByteArrayLiteral("%PDF-1.4\n%%EOF\n"));
    writeFile(outside + QStringLiteral("/X.pdf"), QByteArrayLiteral("%PDF-1.4\n%%EOF\n"));
    FuzzSupport::require(
        QFile::link(outside + QStringLiteral("/X.pdf"), folder + QStringLiteral("/L.pdf")) &&
            QFile::link(folder, FuzzSupport::scratchFolder() + QStringLiteral("/tmp/linked")),
        "the fixture links can be made");
}

bool isDecimal(const QString &text)
{
    if (text.isEmpty())
        return false;
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.isDigit(); });
}

void checkCopyFolderVerdict(const QString &path, const CopyFolderCheck &check)
{
    if (!check.refusal(path).isNull())
        return;
    FuzzSupport::require(QDir::isAbsolutePath(path) && QDir::cleanPath(path) == path &&
                             !path.contains(QChar(0)),
                         "a taken path is absolute and plain");
    FuzzSupport::require(QFileInfo(QFileInfo(path).path()).canonicalFilePath() ==
                             QFileInfo(copyFolder()).canonicalFilePath(),
                         "a taken path lies in the copy folder");
    struct stat status = {};
    if (::lstat(QFile::encodeName(path).constData(), &status) == 0)
        FuzzSupport::require(S_ISREG(status.st_mode), "a taken file is a regular file");
}

void checkIntake(const QString &url, UrlIntake &intake, int &jobs)
{
    jobs = 0;
    int replies = 0;
    int jobsAtAnswer = 0;
    bool answered = false;
    intake.take(url, [&] {
        ++replies;
        jobsAtAnswer = jobs;
        answered = true;
    });
    FuzzSupport::require(FuzzSupport::spinUntil(answered, kIntakeLimitMs),
                         "the intake answers every URL");
    FuzzSupport::require(replies == 1 && jobs <= 1, "one answer and at most one job per URL");
    FuzzSupport::require(jobs == jobsAtAnswer, "a job reaches the queue before the answer");
}

void checkPieces(const QString &url, const CopyFolderCheck &check, int jobsQueued)
{
    const QString decoded = UrlIntake::removingPercentEncoding(url);
    if (!url.contains(u'%') && !url.isNull())
        FuzzSupport::require(decoded == url, "text without a percent sign is left as it is");
    FuzzSupport::require(UrlIntake::removingPercentEncoding(HandoffUrl::escape(url)) == url,
                         "percent decoding undoes the monitor's escaping");

    const std::optional<QJsonObject> object = UrlIntake::jobObject(url);
    FuzzSupport::require(object || jobsQueued == 0, "only a JSON object gives a job");
    if (!object)
        return;
    PrnParameterModel job;
    job.dicCovertToModel(*object);
    FuzzSupport::require(isDecimal(job.fileSize), "the file size is a decimal number");
    if (!job.pdfPath.isNull())
        checkCopyFolderVerdict(FuzzSupport::scratchFolder() + job.pdfPath, check);
}

bool isCarried(const QString &value)
{
    return !value.contains(u' ') && !value.contains(u'?') &&
           !value.contains(QLatin1String("params="));
}

void checkRoundTrip(const uint8_t *data, size_t size)
{
    static const std::array<const char *, 13> kMembers{
        "method", "printjob", "docname", "pagetype",   "papersize", "orientation", "duplex",
        "copies", "color",    "pages",   "totalpages", "jobId",     "version"};
    FuzzedDataProvider input(data, size);
    QJsonObject sent;
    QHash<QString, QString> plain;
    for (const char *member : kMembers) {
        if (!input.ConsumeBool())
            continue;
        const QString value =
            QString::fromUtf8(input.ConsumeRandomLengthString(input.remaining_bytes()));
        if (!isCarried(value))
            return;
        plain.insert(QLatin1String(member), value);
        const bool encoded = qstrcmp(member, "printjob") == 0 || qstrcmp(member, "docname") == 0 ||
                             qstrcmp(member, "pagetype") == 0;
        sent.insert(QLatin1String(member), encoded ? Base64::encode(value) : value);
    }
    const std::optional<QJsonObject> received = UrlIntake::jobObject(HandoffUrl::build(sent));
    FuzzSupport::require(received && *received == sent, "the URL carries the object unchanged");

    PrnParameterModel job;
    job.dicCovertToModel(*received);
    FuzzSupport::require(job.pdfPath == plain.value(QStringLiteral("printjob")) &&
                             job.fileName == plain.value(QStringLiteral("docname")) &&
                             job.pagerSize == plain.value(QStringLiteral("pagetype")) &&
                             job.copiesCount == plain.value(QStringLiteral("copies")) &&
                             job.pageTotal == plain.value(QStringLiteral("totalpages")) &&
                             job.jobId == plain.value(QStringLiteral("jobId")),
                         "the job holds the decoded texts");
}

std::unique_ptr<UrlIntake> intake;
int *queuedJobs = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    FuzzSupport::initialize(argc, argv);
    makeCopyFolderFixture();
    queuedJobs = new int(0);
    intake = std::make_unique<UrlIntake>(CopyFolderCheck(copyFolder()),
                                         [](const UrlIntake::Job &) { ++*queuedJobs; });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString url = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    checkIntake(url, *intake, *queuedJobs);
    checkPieces(url, CopyFolderCheck(copyFolder()), *queuedJobs);
    checkRoundTrip(data, size);
    return 0;
}
