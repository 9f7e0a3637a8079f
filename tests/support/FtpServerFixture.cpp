#include "support/FtpServerFixture.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>

namespace {

// Debian's pyftpdlib belongs to the system interpreter, whichever python3 comes first on PATH.
const QString kPython = QStringLiteral("/usr/bin/python3");
constexpr int kStartLimitMs = 10000;

} // namespace

QString FtpServerFixture::defaultScript()
{
    // Named by the build, not by __FILE__, which a compiler cache may make relative.
    return QStringLiteral(VQM_FTP_SERVER_SCRIPT);
}

FtpServerFixture::FtpServerFixture(QString script, QStringList extraArguments)
    : m_script(std::move(script))
    , m_extraArguments(std::move(extraArguments))
{
    QDir(m_dir.path()).mkdir(QStringLiteral("root"));
}

FtpServerFixture::~FtpServerFixture()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(2000)) {
            m_process.kill();
            m_process.waitForFinished(2000);
        }
    }
}

QString FtpServerFixture::root() const
{
    return m_dir.filePath(QStringLiteral("root"));
}

bool FtpServerFixture::start()
{
    if (!m_dir.isValid()) {
        m_errorString = QStringLiteral("no temporary folder");
        return false;
    }
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(kPython,
                    QStringList{m_script, QStringLiteral("--root"), root(),
                                QStringLiteral("--user"), user(), QStringLiteral("--password"),
                                password(), QStringLiteral("--command-log"),
                                m_dir.filePath(QStringLiteral("commands.log"))} +
                        m_extraArguments);
    QDeadlineTimer deadline(kStartLimitMs);
    while (!m_process.canReadLine() && !deadline.hasExpired()) {
        if (!m_process.waitForReadyRead(int(deadline.remainingTime()))) {
            break;
        }
    }
    const QByteArray line = m_process.readLine().trimmed();
    if (!line.startsWith("PORT ")) {
        m_errorString =
            QStringLiteral("the FTP server did not start: %1").arg(m_process.errorString());
        return false;
    }
    m_port = quint16(line.mid(5).toUInt());
    return m_port != 0;
}

QStringList FtpServerFixture::commands() const
{
    QFile log(m_dir.filePath(QStringLiteral("commands.log")));
    if (!log.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts);
}

QStringList FtpServerFixture::commands(const QString &verb) const
{
    QStringList matching;
    for (const QString &line : commands()) {
        if (line.section(' ', 0, 0).compare(verb, Qt::CaseInsensitive) == 0) {
            matching << line;
        }
    }
    return matching;
}

void FtpServerFixture::clearCommands()
{
    QFile::resize(m_dir.filePath(QStringLiteral("commands.log")), 0);
}
