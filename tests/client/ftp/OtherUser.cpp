#include "OtherUser.h"

#include <QProcess>

#include <unistd.h>

namespace {

constexpr int kCommandLimitMs = 10000;

} // namespace

bool OtherUser::run(const QString &script, const QStringList &arguments)
{
    QStringList command = {QStringLiteral("sh"), QStringLiteral("-c"), script,
                           QStringLiteral("sh")};
    command += arguments;
    if (::geteuid() == 0)
        command = QStringList{QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                              QStringLiteral("--clear-groups")} +
                  command;
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(::geteuid() == 0 ? QStringLiteral("setpriv") : command.takeFirst(), command);
    return process.waitForFinished(kCommandLimitMs) &&
           process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}
