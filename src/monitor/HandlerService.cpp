#include "HandlerService.h"

#include "MonitorDefaults.h"
#include "PRTools.h"
#include "db/BusyDatabaseWait.h"
#include "db/DBBusiness.h"
#include "foundation/HandoffUrl.h"
#include "foundation/TextHelpers/Base64.h"
#include "foundation/logging/Log.h"
#include "platform/PdfDocument.h"
#include "platform/SchemeHandlerRegistry.h"

#include <QDebug>
#include <QFile>
#include <QUuid>

#include <fcntl.h>
#include <unistd.h>

#include <limits>

namespace {

// How a missing text reads in a log line.
QString orNullText(const QString &text)
{
    return text.isNull() ? QStringLiteral("(null)") : text;
}

// The text's leading decimal integer (after blanks, with an optional sign), clamped to 32 bits;
// 0 when there is none.
int leadingInteger(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == u'-' || text.at(i) == u'+'))
        negative = text.at(i++) == u'-';
    qint64 value = 0;
    constexpr qint64 kLimit = qint64(std::numeric_limits<int>::max()) + 1;
    constexpr int kDecimalBase = 10;
    for (; i < text.size() && text.at(i).isDigit() && text.at(i).unicode() < 128; ++i)
        value = std::min(kLimit, value * kDecimalBase + (text.at(i).unicode() - u'0'));
    value = negative ? -value : value;
    return int(std::clamp<qint64>(value, std::numeric_limits<int>::min(),
                                  std::numeric_limits<int>::max()));
}

} // namespace

HandlerService::HandlerService(const CheckedFolder &spoolFolder, const CheckedFolder &copyFolder,
                               SchemeHandlerRegistry &registry, DataBaseHelper *database)
    : m_spoolFolder(spoolFolder)
    , m_copyFolder(copyFolder)
    , m_registry(registry)
    , m_database(database)
{}

DataBaseHelper &HandlerService::database() const
{
    return m_database ? *m_database : DataBaseHelper::sharedInstance();
}

void HandlerService::senderMessageWithJobId(const QString &jobId)
{
    const QString scheme = QLatin1String(kScheme);
    // Taken first: the handler as it was when the hand-off began.
    const QString defaultHandler = m_registry.defaultHandlerForScheme(scheme);

    const QString parameters = getParametersStringFromJobId(jobId);
    if (parameters.isNull()) {
        Log::warning(QStringLiteral("api parame string is nil"));
        return;
    }
    const QString url = QLatin1String(HandoffUrl::prefix) + urlEncodedString(parameters);
    Log::info(url);
    Log::info(QStringLiteral("defaultHandler: %1").arg(orNullText(defaultHandler)));
    Log::info(QStringLiteral("bundleId : %1").arg(QLatin1String(kClientBundleId)));

    const Result<QString> application =
        m_registry.defaultApplicationForUrl(QLatin1String(kSchemeUrl));
    if (!application)
        Log::warning(QStringLiteral("get application url for registered scheme %1---------"
                                    "defaultHandler:%2")
                         .arg(scheme, orNullText(defaultHandler)));
    QString applicationId;
    if (application && PRTools::isExistsAtPath(application.value()))
        applicationId = m_registry.identifierOfApplicationAt(application.value());

    // Registered means the handler's own application is still present; another present handler
    // stays the handler.
    const bool registered = !defaultHandler.isEmpty() && !applicationId.isNull() &&
                            applicationId.toLower() == defaultHandler.toLower();
    if (registered) {
        Log::info(
            QStringLiteral("already registered,applicationURL.path:%1").arg(application.value()));
    } else {
        const int status =
            m_registry.setDefaultHandlerForScheme(scheme, QLatin1String(kClientBundleId));
        Log::warning(QStringLiteral("set default handler for url scheme %1 error%2")
                         .arg(scheme)
                         .arg(status));
    }

    if (!m_registry.openUrl(url))
        Log::warning(QStringLiteral("work space open url failed"));
}

QString HandlerService::getParametersStringFromJobId(const QString &jobId)
{
    // The row is read before anything is copied or deleted: a job whose row cannot be read yet
    // keeps its spool PDF and leaves no copy behind.
    const Result<std::optional<DBJob>> row =
        BusyDatabaseWait::run(QStringLiteral("read the row of job %1").arg(jobId),
                              [&] { return DBBusiness::readJobWithJobId(jobId, database()); });
    if (!row) {
        Log::warning(
            QStringLiteral("can't read job id %1 from db: %2").arg(jobId, row.error().description));
        return {};
    }
    if (!row.value()) {
        Log::warning(QStringLiteral("can't find job id from db"));
        return {};
    }
    DBJob job = *row.value();

    const QString source = jobId + QLatin1String(MonitorDefaults::kPdfNameEnd);
    const QString copyName = stringWithUUID() + QLatin1String(MonitorDefaults::kPdfNameEnd);
    std::shared_ptr<const CheckedFolder> copyFolder;
    const Result<struct stat> copied = copyJob(source, copyName, copyFolder);
    const QString destination = copyFolder->filePath(copyName);
    if (!copied) {
        Log::warning(QStringLiteral("can't copy file to %1 ").arg(destination));
        return {};
    }
    if (!SharedFolderFiles::isTrustedFile(copied.value())) {
        // Put at the job's name by another user after the watcher looked: no job of the backend's.
        ::unlinkat(copyFolder->descriptor(), QFile::encodeName(copyName).constData(), 0);
        Log::warning(QStringLiteral("the spool file %1 belongs to user %2 and has %3 links, so it "
                                    "is no job of the backend's; left alone, not handed off")
                         .arg(m_spoolFolder.filePath(source))
                         .arg(copied->st_uid)
                         .arg(copied->st_nlink));
        return {};
    }
    removeSpoolFile(source, copied.value());
    // Never narrowed; a folder of root's (from the boot-time rule) keeps its own mode.
    SharedFolderFiles::grantMode(copyFolder->descriptor(), CopyFolder::kFolderMode);

    if (job.pages.isNull() || job.totalPages.isNull())
        fixUpPageCounts(job, destination);
    return dictionaryToJsonString(handoffObject(job, destination));
}

Result<struct stat> HandlerService::copyJob(const QString &source, const QString &copyName,
                                            std::shared_ptr<const CheckedFolder> &copyFolder)
{
    const auto copyInto = [&](const CheckedFolder &folder) {
        return PRTools::copyFileBetweenFolders(m_spoolFolder.descriptor(), source,
                                               folder.descriptor(), copyName, kCopyMode);
    };
    copyFolder = m_copyFolder.current();
    Result<struct stat> copied = copyInto(*copyFolder);
    if (copied || !CopyFolder::isRemoved(*copyFolder))
        return copied;
    const Result<std::shared_ptr<const CheckedFolder>> remade = m_copyFolder.remake(copyFolder);
    if (!remade) {
        Log::warning(QStringLiteral("the copy folder %1 was removed and cannot be made again: %2")
                         .arg(copyFolder->path(), remade.error().description));
        return remade.error();
    }
    copyFolder = remade.value();
    Log::info(QStringLiteral("the copy folder %1 was removed; made again").arg(copyFolder->path()));
    return copyInto(*copyFolder);
}

void HandlerService::removeSpoolFile(const QString &name, const struct stat &copied)
{
    // Only the file that was copied: whatever another user put at the name since (a folder, a
    // link) is no job's file and is not ours to remove.
    const Result<Done> removed =
        SharedFolderFiles::removeCheckedFile(m_spoolFolder.descriptor(), name, copied);
    if (!removed)
        Log::warning(QStringLiteral("the spool file %1 was not removed: %2")
                         .arg(m_spoolFolder.filePath(name), removed.error().description));
}

void HandlerService::fixUpPageCounts(DBJob &job, const QString &copyPath)
{
    if (job.copies.isNull())
        job.copies = QLatin1String(kDefaultCopies);
    const long pages = PdfDocument::numberOfPages(copyPath);
    Log::debug(QStringLiteral("totalPages %1").arg(pages));
    job.pages = QString::number(pages);
    job.totalPages = QString::number(qint64(pages) * leadingInteger(job.copies));
    // A busy database delays the write-back; any other failure leaves the row as it was, and the
    // hand-off carries the counts anyway.
    BusyDatabaseWait::run(QStringLiteral("write the page counts of job %1").arg(job.job_id),
                          [&] { return DBBusiness::writeUpdates({job}, database()); });
}

QJsonObject HandlerService::handoffObject(const DBJob &job, const QString &copyPath)
{
    // A NULL column travels as "", so that every member is a text.
    const auto text = [](const QString &value) {
        return value.isNull() ? QStringLiteral("") : value;
    };
    return QJsonObject{
        {QStringLiteral("method"), QLatin1String(kMethod)},
        {QStringLiteral("printjob"), Base64::encode(copyPath)},
        {QStringLiteral("docname"), text(job.fileName)},
        {QStringLiteral("pagetype"), Base64::encode(text(job.pageType))},
        {QStringLiteral("papersize"), text(job.paperSize)},
        {QStringLiteral("orientation"), text(job.orientation)},
        {QStringLiteral("duplex"), text(job.duplex)},
        {QStringLiteral("copies"), text(job.copies)},
        {QStringLiteral("color"), text(job.color)},
        {QStringLiteral("pages"), text(job.pages)},
        {QStringLiteral("totalpages"), text(job.totalPages)},
        {QStringLiteral("jobId"), QString::number(job.job_id)},
        {QStringLiteral("version"), QLatin1String(MonitorDefaults::kVersion)},
    };
}

QString HandlerService::dictionaryToJsonString(const QJsonObject &dictionary)
{
    return HandoffUrl::compactJsonText(dictionary);
}

QString HandlerService::urlEncodedString(const QString &text)
{
    return HandoffUrl::escape(text);
}

QString HandlerService::stringWithUUID()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

QString HandlerService::dictionaryToUrlString(const QJsonObject &dictionary)
{
    QString pairs;
    for (auto it = dictionary.constBegin(); it != dictionary.constEnd(); ++it) {
        qInfo().noquote() << it.key();
        if (!pairs.isEmpty())
            pairs += QLatin1Char('&');
        pairs += QStringLiteral("%1=%2").arg(it.key(), it.value().toVariant().toString());
    }
    return pairs;
}
