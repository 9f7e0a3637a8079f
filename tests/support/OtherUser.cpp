#include "OtherUser.h"

#include <QFile>
#include <QProcess>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kCommandLimitMs = 30000;
constexpr mode_t kPassThroughMode = 0755;
constexpr mode_t kSharedFolderMode = 0777;

bool setMode(const QString &path, mode_t mode)
{
    return ::chmod(QFile::encodeName(path).constData(), mode) == 0;
}

} // namespace

QStringList OtherUser::commandLine(const QStringList &command)
{
    if (::geteuid() != 0)
        return command;
    return QStringList{QStringLiteral("setpriv"), QStringLiteral("--reuid=nobody"),
                       QStringLiteral("--regid=nogroup"), QStringLiteral("--clear-groups")} +
           command;
}

bool OtherUser::run(const QStringList &command)
{
    QStringList arguments = commandLine(command);
    const QString program = arguments.takeFirst();
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    if (!process.waitForFinished(kCommandLimitMs)) {
        process.kill();
        process.waitForFinished();
        return false;
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool OtherUser::runScript(const QString &script, const QStringList &arguments)
{
    return run(
        QStringList{QStringLiteral("sh"), QStringLiteral("-c"), script, QStringLiteral("sh")} +
        arguments);
}

bool OtherUser::plantLink(const QString &target, const QString &link)
{
    return run({QStringLiteral("ln"), QStringLiteral("-s"), QStringLiteral("--"), target, link});
}

bool OtherUser::shareFolder(const QString &folder, const QString &parent)
{
    return setMode(parent, kPassThroughMode) && setMode(folder, kSharedFolderMode);
}
