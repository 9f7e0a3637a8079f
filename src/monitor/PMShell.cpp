#include "PMShell.h"

#include "foundation/TextHelpers/Utf8.h"

#include <QProcess>

QString PMShell::cmd(const QString &commandLine)
{
    QProcess shell;
    shell.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    shell.start(QLatin1String(kShell), {QStringLiteral("-c"), commandLine});
    shell.waitForFinished(-1);
    return Utf8::utf8String(shell.readAllStandardOutput());
}
