#include "MonitorStartup.h"

#include "MonitorLogFileManager.h"
#include "PRTools.h"
#include "foundation/DatePattern.h"
#include "foundation/logging/LogSetup.h"

#include <QDir>
#include <QFile>
#include <QThread>

MonitorStartup::MonitorStartup(Options options, MonitorFileManager::JobHandoff handoff,
                               MonitorFileManager::ExitFunction exitProcess, QThread *watcherThread)
    : m_options(std::move(options))
    , m_handoff(std::move(handoff))
    , m_exitProcess(std::move(exitProcess))
    , m_watcherThread(watcherThread)
{}

MonitorStartup::~MonitorStartup() = default;

void MonitorStartup::run()
{
    PRTools::removeExpiredFilesAtDirPath(m_options.spoolFolder, m_options.spoolMaxAge);
    deleteOutOfDateLog(m_options.logFolder, m_options.logLookBack);
    initDDlog(m_options.logFolder, m_options.syslogIdent);

    auto fileManager = std::make_unique<MonitorFileManager>(m_options.spoolFolder, m_options.timing,
                                                            m_handoff, m_exitProcess);
    fileManager->moveToThread(m_watcherThread);
    MonitorFileManager *watcher = fileManager.get();
    m_fileManager = std::move(fileManager);
    QMetaObject::invokeMethod(watcher, &MonitorFileManager::monitorFile, Qt::QueuedConnection);
}

void MonitorStartup::deleteOutOfDateLog(const QString &folder, std::chrono::seconds lookBack,
                                        const QDateTime &now)
{
    const QDate day = now.toLocalTime().addSecs(-lookBack.count()).date();
    const QDateTime cutOff(day, QTime(0, 0), Qt::LocalTime);
    const QStringList names = PRTools::contentsOfDirectoryAtPath(folder).value_or(QStringList());
    for (const QString &name : names) {
        QString dateText = name;
        dateText.remove(QLatin1String(MonitorLogFileManager::kExtension));
        dateText.remove(QLatin1String(MonitorLogFileManager::kNamePrefix));
        const QDateTime date =
            DatePattern::parse(QLatin1String(MonitorLogFileManager::kDatePattern), dateText,
                               QLatin1String(kLogNameTimeZone));
        if (date.isValid() && date < cutOff)
            QFile::remove(QStringLiteral("%1/%2").arg(folder, name));
    }
}

void MonitorStartup::initDDlog(const QString &folder, const QString &syslogIdent)
{
    LogSetupOptions options;
    options.syslogIdent = syslogIdent;
    options.toStderr = true;
    options.fileFolder = folder;
    options.naming = std::make_shared<MonitorLogFileManager>();
    options.limits.maximumNumberOfLogFiles = kMaximumLogFiles;
    options.limits.logFilesDiskQuota = kLogFilesDiskQuota;
    // Made here rather than at the first entry, so that it gets the shared mode from the start.
    if (!PRTools::isExistsAtPath(folder))
        PRTools::createDirectoryAtPath(folder);
    LogSetup::install(options);
    PRTools::setSharedMode(folder);
}
