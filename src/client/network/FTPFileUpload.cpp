#include "FTPFileUpload.h"

#include "foundation/BaseTools.h"
#include "foundation/Dispatch.h"
#include "foundation/logging/Log.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QFuture>
#include <QPromise>
#include <QRegularExpression>
#include <QTimer>

#include <qcoro/qcorofuture.h>

#include <mutex>
#include <optional>

// The FTP client of one FTPFileUpload: one request at a time runs on the transferring thread, and
// requestTimeout() ends it from any thread. Requests are numbered, so that the guard of a request
// that has ended can never end the next one.
class FtpClient
{
public:
    using RequestNumber = quint64;

    // Makes the exchange the request running at the moment; its number for the guard.
    RequestNumber begin(std::shared_ptr<FtpExchange> exchange)
    {
        const std::lock_guard lock(m_mutex);
        m_running = std::move(exchange);
        return ++m_requests;
    }

    void end()
    {
        const std::lock_guard lock(m_mutex);
        m_running.reset();
    }

    // Without a number: whatever runs. With one: only that request, and only while it runs (its
    // guard was cancelled when it ended, so nothing is logged).
    void requestTimeout(std::optional<RequestNumber> guarded = std::nullopt)
    {
        const std::lock_guard lock(m_mutex);
        if (guarded && (!m_running || *guarded != m_requests))
            return;
        Log::client(QStringLiteral("ftp requestTimeout"));
        if (m_running)
            m_running->abort();
    }

private:
    std::mutex m_mutex;
    std::shared_ptr<FtpExchange> m_running;
    RequestNumber m_requests = 0;
};

namespace {

const QString kFtpScheme = QStringLiteral("ftp");

// The server of a target: `ip` is a bare host or an "ftp://" URL, and `dir` follows it directly.
struct ServerAddress
{
    QUrl server;    // scheme, host and port only
    QString prefix; // the path of `ip`, relative to the login directory
    QUrl directory; // `ip` followed by `dir`
};

// `dir` is taken literally, as the directory requests send it; only a `dir` without a leading
// "/" runs into the address text itself.
QUrl directoryUrl(const QString &destination, const QUrl &base, const QString &dir)
{
    if (!dir.startsWith('/')) {
        return QUrl(destination + dir);
    }
    QUrl directory = base;
    directory.setPath(base.path(QUrl::FullyDecoded) + dir, QUrl::DecodedMode);
    return directory;
}

bool isFtpUrl(const QUrl &url)
{
    return url.isValid() && url.scheme() == kFtpScheme && !url.host().isEmpty();
}

// Null when the target is not an FTP server or would smuggle commands into the control channel.
std::optional<ServerAddress> serverAddress(const VQJobInfoResult &target)
{
    static const QRegularExpression controlCharacter(QStringLiteral("[\\x00-\\x1f\\x7f]"));
    if (target.ip.contains(controlCharacter) || target.dir.contains(controlCharacter)) {
        return std::nullopt;
    }
    const QString destination =
        target.ip.contains(QLatin1String("://")) ? target.ip : kFtpScheme + "://" + target.ip;
    const QUrl base(destination);
    ServerAddress address{
        base, base.path(QUrl::FullyDecoded).remove(QRegularExpression(QStringLiteral("^/+"))),
        directoryUrl(destination, base, target.dir)};
    if (!isFtpUrl(base) || !isFtpUrl(address.directory)) {
        return std::nullopt;
    }
    address.server.setPath(QStringLiteral("/"));
    if (!address.prefix.isEmpty() && !address.prefix.endsWith('/')) {
        address.prefix += '/';
    }
    return address;
}

QUrl fileUrl(QUrl directory, const QString &localFilePath)
{
    QString path = directory.path(QUrl::FullyDecoded);
    if (!path.endsWith('/')) {
        path += '/';
    }
    directory.setPath(path + QFileInfo(localFilePath).fileName(), QUrl::DecodedMode);
    return directory;
}

// A one-shot timer on the main thread, whichever thread asks for it. Precise: a guard never ends
// a request before its time.
void startGuard(const std::shared_ptr<FtpClient> &man, FtpClient::RequestNumber request,
                std::chrono::milliseconds timeout)
{
    dispatchMain([guarded = std::weak_ptr<FtpClient>(man), request, timeout] {
        QTimer::singleShot(timeout, Qt::PreciseTimer, QCoreApplication::instance(),
                           [guarded, request] {
                               if (const std::shared_ptr<FtpClient> running = guarded.lock())
                                   running->requestTimeout(request);
                           });
    });
}

struct TransferSettings
{
    const CopyFolderCheck &copyFolder;
    std::chrono::milliseconds directoryRequestTimeout;
};

bool transfer(const std::shared_ptr<FtpClient> &man, const TransferSettings &settings,
              const VQJobInfoResult &target, const QString &localFilePath)
{
    // Opened once, before anything is sent; only this descriptor is read.
    const Result<FileDescriptor> copy = settings.copyFolder.openCopy(localFilePath);
    if (!copy && !CopyFolderCheck::isMissing(copy.error())) {
        Log::client(QStringLiteral("!!ftp upload refused, the job copy %1 cannot be used: %2")
                        .arg(localFilePath, copy.error().description));
        return false;
    }
    const std::optional<ServerAddress> address = serverAddress(target);
    if (!address) {
        // Percent-encoded, so that no control character of the target reaches the log.
        Log::client(
            QStringLiteral("!!ftp target refused, not an FTP server: %1")
                .arg(QString::fromLatin1(QUrl::toPercentEncoding(target.ip + target.dir, ":/"))));
        return false;
    }
    const FtpExchange::Login login{target.user, target.pwd, FTPFileUpload::portNumber(target.port)};

    // An existing directory or a refusal does not stop the levels below it.
    for (const QString &path : FTPFileUpload::directoryRequests(target.dir)) {
        const QString requested = path.startsWith('/') ? path : address->prefix + path;
        const auto request = std::make_shared<FtpExchange>(address->server, login);
        startGuard(man, man->begin(request), settings.directoryRequestTimeout);
        request->makeDirectory(requested);
        man->end();
    }

    Log::client(QStringLiteral("\n##ftp upload path : %1 \n##local file path : %2")
                    .arg(target.ip + target.dir, localFilePath));
    const auto upload =
        std::make_shared<FtpExchange>(fileUrl(address->directory, localFilePath), login,
                                      &FTPFileUpload::ftpManagerUploadProgressDidChange);
    man->begin(upload);
    const bool uploaded = copy && upload->upload(copy->get());
    man->end();
    Log::client(QStringLiteral("##ftp manager upload %1")
                    .arg(uploaded ? QStringLiteral("success") : QStringLiteral("faild")));
    if (!uploaded) {
        Log::client(QStringLiteral("!!ftp upload error: %1")
                        .arg(copy ? upload->errorString() : copy.error().description));
    }
    return uploaded;
}

} // namespace

FTPFileUpload::FTPFileUpload(CopyFolderCheck copyFolder,
                             std::chrono::milliseconds directoryRequestTimeout,
                             std::chrono::milliseconds runLoopTimerTimeout)
    : m_copyFolder(std::move(copyFolder))
    , m_directoryRequestTimeout(directoryRequestTimeout)
    , m_runLoopTimerTimeout(runLoopTimerTimeout)
    , m_man(std::make_shared<FtpClient>())
{}

FTPFileUpload::~FTPFileUpload() = default;

QCoro::Task<QString> FTPFileUpload::uploadFileWithFtpInfo(VQJobInfoResult target,
                                                          QString localFilePath)
{
    // Here, on the caller's thread, rather than on a pool thread (see initialiseLibrary).
    FtpExchange::initialiseLibrary();
    auto promise = std::make_shared<QPromise<QString>>();
    QFuture<QString> outcome = promise->future();
    promise->start();
    dispatchGlobal([promise, man = m_man, copyFolder = m_copyFolder,
                    timeout = m_directoryRequestTimeout, target, localFilePath] {
        const bool uploaded = transfer(man, {copyFolder, timeout}, target, localFilePath);
        promise->addResult(uploaded ? QStringLiteral("1") : QStringLiteral("0"));
        promise->finish();
    });
    const QString result = co_await outcome;
    co_return result;
}

bool FTPFileUpload::asyncUploadFileWithFtpInfo(const VQJobInfoResult &target,
                                               const QString &localFilePath) const
{
    return transfer(m_man, {m_copyFolder, m_directoryRequestTimeout}, target, localFilePath);
}

void FTPFileUpload::requestTimeout() const
{
    m_man->requestTimeout();
}

void FTPFileUpload::ftpManagerUploadProgressDidChange(const FtpExchange::Progress &) {}

void FTPFileUpload::startTimer() const
{
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [man = m_man] { man->requestTimeout(); });
    timer.start(m_runLoopTimerTimeout);
    QEventLoop runLoop;
    runLoop.exec();
}

bool FTPFileUpload::renameFileName(const QString &oldPath, const QString &uuidPath)
{
    return QFile::rename(oldPath, uuidPath);
}

QString FTPFileUpload::stringWithUUID()
{
    return BaseTools::stringWithUUID();
}

QStringList FTPFileUpload::directoryRequests(const QString &dir)
{
    // Component 0, the text before the first "/", is never asked for.
    const QStringList components = dir.split('/');
    QStringList paths;
    for (qsizetype level = 1; level < components.size(); ++level) {
        const QString path = components.mid(1, level).join('/');
        if (!path.isEmpty()) {
            paths << path;
        }
    }
    return paths;
}

long FTPFileUpload::portNumber(const QString &portText)
{
    static const QRegularExpression leadingNumber(QStringLiteral("^\\s*([+-]?[0-9]+)"));
    const QRegularExpressionMatch match = leadingNumber.match(portText);
    return match.hasMatch() ? match.captured(1).toLong() : 0;
}
