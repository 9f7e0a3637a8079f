#include "Tool.h"

#include <QProcess>

namespace Tool {

namespace {

constexpr auto kErrorDomain = "e2e.tool";
constexpr int kLimitMs = 120000;

} // namespace

Result<QByteArray> run(const QString &program, const QStringList &arguments,
                       const QProcessEnvironment &environment)
{
    QProcess tool;
    tool.setProcessEnvironment(environment);
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(program, arguments);
    const bool ended = tool.waitForFinished(kLimitMs);
    const QByteArray output = tool.readAll();
    if (!ended || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
        return Error{QString::fromLatin1(kErrorDomain), 1,
                     QStringLiteral("%1 %2 failed: %3")
                         .arg(program, arguments.join(u' '), QString::fromUtf8(output))};
    return output;
}

} // namespace Tool
