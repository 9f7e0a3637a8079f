// The launch work of AppDelegate: logging, host id, version line, configuration, push channel.

#include "AppDelegate.h"

#include "client/config/IniConfig.h"
#include "client/platform/Localizable.h"
#include "client/settings/SettingsStore.h"
#include "client/tools/PRNotification.h"
#include "foundation/logging/DefaultLogFileNamingPolicy.h"
#include "foundation/logging/Log.h"
#include "foundation/logging/LogSetup.h"

#include <QRegularExpression>
#include <QStringList>

namespace {

constexpr auto kTitleKey = "Tarvello";
constexpr auto kUpToDateKey = "No need to update";
constexpr char kVersionSeparator = '.';

// The integer that a version part starts with, as the platform reads it: leading blanks, an
// optional sign and the digits that follow; 0 when there are none.
int leadingInteger(const QString &part)
{
    static const QRegularExpression leadingNumber(QStringLiteral("^\\s*([+-]?\\d+)"));
    const QRegularExpressionMatch match = leadingNumber.match(part);
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

} // namespace

void AppDelegate::initialization()
{
    initializDDLog();
    setupHostUuid();
    Log::client(QStringLiteral("##version: %1, uuid: %2").arg(m_version, m_hostUuid));
    m_config.readIniConfig();
    // Started, not awaited: the push channel reports its own outcome.
    m_pushChannel.connectWithHost(m_config.getIniConfigModel().serviceIP, m_pushPort);
}

void AppDelegate::initializDDLog()
{
    LogSetupOptions options;
    options.syslogIdent = m_syslogIdent;
    options.fileFolder = m_logFolder;
    options.naming =
        std::make_shared<DefaultLogFileNamingPolicy>(QLatin1String(kLogFileIdentifier));
    LogSetup::install(options);
}

void AppDelegate::setupHostUuid()
{
    m_hostUuid = m_settings.uuid();
    if (m_hostUuid.isEmpty()) {
        m_hostUuid = u'{' + BaseTools::stringWithUUID() + u'}';
        m_settings.saveUUID(m_hostUuid);
    }
}

bool AppDelegate::versionCompare(const QString &current, const QString &latestVersion)
{
    const QStringList currentParts = current.split(QLatin1Char(kVersionSeparator));
    const QStringList latestParts = latestVersion.split(QLatin1Char(kVersionSeparator));
    for (qsizetype i = 0; i < latestParts.size(); ++i) {
        const int latest = leadingInteger(latestParts.at(i));
        // A part that the current version lacks counts as 0: 2.4 is older than 2.4.1.
        const int installed = i < currentParts.size() ? leadingInteger(currentParts.at(i)) : 0;
        if (latest > installed)
            return true;
        if (latest < installed) {
            m_notifications.pushNotificationWithTitle(Localizable::string(kTitleKey), QString(),
                                                      Localizable::string(kUpToDateKey));
            return false;
        }
    }
    return false;
}
