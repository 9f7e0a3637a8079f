#include "PrivateSessionBus.h"

#include "support/TestSupport.h"

#include <QDeadlineTimer>

namespace {

constexpr int kStartLimitMs = 10000;

const char *const kConfiguration = R"(<!DOCTYPE busconfig PUBLIC
 "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

} // namespace

PrivateSessionBus::PrivateSessionBus() = default;

PrivateSessionBus::~PrivateSessionBus()
{
    if (m_daemon.state() != QProcess::NotRunning) {
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(2000)) {
            m_daemon.kill();
            m_daemon.waitForFinished(2000);
        }
    }
}

bool PrivateSessionBus::start()
{
    const QString config = m_dir.filePath(QStringLiteral("bus.conf"));
    if (!m_dir.isValid() ||
        !TestSupport::writeFile(config,
                                QString::fromLatin1(kConfiguration).arg(m_dir.path()).toUtf8())) {
        m_errorString = QStringLiteral("cannot write the bus configuration");
        return false;
    }
    m_daemon.start(QStringLiteral("dbus-daemon"),
                   {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                    QStringLiteral("--print-address=1")});
    QDeadlineTimer deadline(kStartLimitMs);
    while (!m_daemon.canReadLine() && !deadline.hasExpired()) {
        if (!m_daemon.waitForReadyRead(int(deadline.remainingTime()))) {
            break;
        }
    }
    m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    if (m_address.isEmpty()) {
        m_errorString = QStringLiteral("dbus-daemon did not start: %1").arg(m_daemon.errorString());
        return false;
    }
    return true;
}
