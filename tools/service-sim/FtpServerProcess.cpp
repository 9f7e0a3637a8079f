#include "FtpServerProcess.h"

#include <QDeadlineTimer>
#include <QRegularExpression>

namespace {

const QString kErrorDomain = QStringLiteral("vqm-service-sim.ftp");
constexpr int kStartLimitMs = 10000;
constexpr int kStopLimitMs = 5000;

Error ftpError(const QString &description)
{
    return Error{kErrorDomain, 1, description};
}

} // namespace

FtpServerProcess::~FtpServerProcess()
{
    stop();
}

Result<quint16> FtpServerProcess::start(const Config &config)
{
    QStringList arguments{config.script,
                          QStringLiteral("--host"),
                          config.host,
                          QStringLiteral("--port"),
                          QString::number(config.port),
                          QStringLiteral("--root"),
                          config.root};
    for (const Login &login : config.logins)
        arguments << QStringLiteral("--user") << login.user + ':' + login.password;

    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(config.python, arguments);
    if (!m_process.waitForStarted(kStartLimitMs))
        return ftpError(QStringLiteral("cannot start the FTP server (%1 %2): %3")
                            .arg(config.python, config.script, m_process.errorString()));

    static const QRegularExpression listening(QStringLiteral("listening port=(\\d+)"));
    const QDeadlineTimer deadline(kStartLimitMs);
    QByteArray output;
    while (!deadline.hasExpired()) {
        if (m_process.canReadLine() || m_process.waitForReadyRead(int(deadline.remainingTime()))) {
            output += m_process.readLine();
            const auto match = listening.match(QString::fromUtf8(output));
            if (match.hasMatch())
                return quint16(match.captured(1).toUInt());
        }
        if (m_process.state() != QProcess::Running)
            break;
    }
    stop();
    return ftpError(QStringLiteral("the FTP server did not report its port within %1 ms; it "
                                   "needs %2 with pyftpdlib (output: %3)")
                        .arg(kStartLimitMs)
                        .arg(config.python, QString::fromUtf8(output.trimmed())));
}

bool FtpServerProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return true;
    m_process.terminate();
    if (!m_process.waitForFinished(kStopLimitMs)) {
        m_process.kill();
        m_process.waitForFinished(kStopLimitMs);
    }
    return m_process.state() == QProcess::NotRunning;
}
