#include "FTPFileUpload.h"

#include "FtpExchange.h"
#include "foundation/Dispatch.h"
#include "foundation/logging/Log.h"

#include <QFileInfo>
#include <QFuture>
#include <QPromise>
#include <QRegularExpression>

#include <qcoro/qcorofuture.h>

#include <memory>
#include <optional>

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

// The guard's action: ends the directory request when it is still running.
void requestTimeout(const std::weak_ptr<FtpExchange> &request)
{
    if (const std::shared_ptr<FtpExchange> running = request.lock()) {
        Log::client(QStringLiteral("ftp requestTimeout"));
        running->abort();
    }
}

bool transfer(const VQJobInfoResult &target, const QString &localFilePath,
              std::chrono::milliseconds directoryRequestTimeout)
{
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
        const auto request = std::make_shared<FtpExchange>(address->server, login);
        dispatchMainAfter(
            int(directoryRequestTimeout.count()),
            [guarded = std::weak_ptr<FtpExchange>(request)] { requestTimeout(guarded); });
        const QString requested = path.startsWith('/') ? path : address->prefix + path;
        request->makeDirectory(requested);
    }

    Log::client(QStringLiteral("\n##ftp upload path : %1 \n##local file path : %2")
                    .arg(target.ip + target.dir, localFilePath));
    FtpExchange upload(fileUrl(address->directory, localFilePath), login);
    const bool uploaded = upload.upload(localFilePath);
    Log::client(QStringLiteral("##ftp manager upload %1")
                    .arg(uploaded ? QStringLiteral("success") : QStringLiteral("faild")));
    if (!uploaded) {
        Log::client(QStringLiteral("!!ftp upload error: %1").arg(upload.errorString()));
    }
    return uploaded;
}

} // namespace

FTPFileUpload::FTPFileUpload(std::chrono::milliseconds directoryRequestTimeout)
    : m_directoryRequestTimeout(directoryRequestTimeout)
{}

QCoro::Task<QString> FTPFileUpload::uploadFileWithFtpInfo(VQJobInfoResult target,
                                                          QString localFilePath)
{
    // Here, on the caller's thread, rather than on a pool thread (see initialiseLibrary).
    FtpExchange::initialiseLibrary();
    auto promise = std::make_shared<QPromise<QString>>();
    QFuture<QString> outcome = promise->future();
    promise->start();
    dispatchGlobal([promise, target, localFilePath, timeout = m_directoryRequestTimeout] {
        promise->addResult(transfer(target, localFilePath, timeout) ? QStringLiteral("1")
                                                                    : QStringLiteral("0"));
        promise->finish();
    });
    const QString result = co_await outcome;
    co_return result;
}

bool FTPFileUpload::asyncUploadFileWithFtpInfo(const VQJobInfoResult &target,
                                               const QString &localFilePath) const
{
    return transfer(target, localFilePath, m_directoryRequestTimeout);
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
