// A client with one piece of work in flight: an FTP upload ("ftp PORT COPY") or an HTTP request
// ("http PORT") to 127.0.0.1, neither of which gives up by itself. A line on standard input quits
// it as the quit item does (the event loop is left with status 0); it then ends through the
// client's own end, exactly as main() does.

#include "client/app/ClientShutdown.h"
#include "client/network/FTPFileUpload.h"
#include "client/network/HTTPManager.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSocketNotifier>

#include <chrono>
#include <cstdio>
#include <optional>

#include <unistd.h>

namespace {

constexpr int kUsageStatus = 2;
// Longer than any test: the work ends only when the client's end aborts it.
constexpr std::chrono::hours kNoTimeout{1};

VQJobInfoResult ftpTarget(const QString &port)
{
    VQJobInfoResult target;
    target.ip = QStringLiteral("127.0.0.1");
    target.port = port;
    target.user = QStringLiteral("u");
    target.pwd = QStringLiteral("p");
    target.dir = QStringLiteral("/a");
    return target;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.size() < 2)
        return kUsageStatus;
    const QString &kind = arguments.at(0);
    const QString &port = arguments.at(1);

    HTTPManager http(kNoTimeout);
    std::optional<FTPFileUpload> uploader;
    std::optional<QCoro::Task<QString>> upload;
    std::optional<QCoro::Task<Result<QJsonObject>>> request;
    if (kind == QLatin1String("ftp") && arguments.size() == 3) {
        const QString &copy = arguments.at(2);
        uploader.emplace(CopyFolderCheck(QFileInfo(copy).path()), kNoTimeout);
        upload.emplace(uploader->uploadFileWithFtpInfo(ftpTarget(port), copy));
    } else if (kind == QLatin1String("http")) {
        request.emplace(http.POST(QStringLiteral("http://127.0.0.1:%1/").arg(port), {}));
    } else {
        return kUsageStatus;
    }

    QSocketNotifier quitItem(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&quitItem, &QSocketNotifier::activated, [] { QCoreApplication::exit(0); });
    const int status = application.exec();
    return ClientShutdown::finish(status, http);
}
