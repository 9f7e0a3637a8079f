#include "SettingsStore.h"

#include "client/platform/AssertionHandler.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

constexpr auto kSettingsSuffix = ".ini";
constexpr auto kNilMessage = "must not be nil";
constexpr QFile::Permissions kOwnerOnly = QFile::ReadOwner | QFile::WriteOwner;

// Creates the file readable by its owner only before anything is written to it, and tightens a
// file left readable by others; QSettings keeps the mode when it rewrites the file.
void prepareOwnerOnlyFile(const QString &filePath)
{
    QDir().mkpath(QFileInfo(filePath).absolutePath());
    QFile file(filePath);
    if (!file.exists() && !file.open(QIODevice::WriteOnly)) {
        qWarning().noquote() << QStringLiteral("cannot create the settings file %1: %2")
                                    .arg(filePath, file.errorString());
        return;
    }
    file.close();
    if (file.permissions() != kOwnerOnly && !file.setPermissions(kOwnerOnly))
        qWarning().noquote() << QStringLiteral("cannot restrict the settings file %1: %2")
                                    .arg(filePath, file.errorString());
}

} // namespace

SettingsStore &SettingsStore::defaults()
{
    static SettingsStore *const store = new SettingsStore(defaultFilePath());
    return *store;
}

QString SettingsStore::defaultFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u'/' +
           QLatin1String(kFolderName) + u'/' + QLatin1String(kSuiteName) +
           QLatin1String(kSettingsSuffix);
}

SettingsStore::SettingsStore(const QString &filePath)
    : m_settings((prepareOwnerOnlyFile(filePath), filePath), QSettings::IniFormat)
{}

QString SettingsStore::entKey() const
{
    return text(kEntKey);
}

void SettingsStore::saveEntKey(const QString &entKey)
{
    saveRequiredText(kEntKey, entKey);
}

QString SettingsStore::entid() const
{
    return text(kEntid);
}

void SettingsStore::saveEntid(const QString &entid)
{
    saveOptionalText(kEntid, entid);
}

QString SettingsStore::userid() const
{
    return text(kUserid);
}

void SettingsStore::saveUserid(const QString &userid)
{
    saveOptionalText(kUserid, userid);
}

bool SettingsStore::isScanQrcode() const
{
    return flag(kIsScanQrcode);
}

void SettingsStore::saveIsScanQrcode(bool isScanQrcode)
{
    store(kIsScanQrcode, isScanQrcode);
}

QString SettingsStore::userName() const
{
    return text(kUserName);
}

void SettingsStore::saveUserName(const QString &userName)
{
    saveRequiredText(kUserName, userName);
}

QString SettingsStore::userPassword() const
{
    return text(kUserPassword);
}

void SettingsStore::saveUserPassword(const QString &userPassword)
{
    saveRequiredText(kUserPassword, userPassword);
}

bool SettingsStore::isSaveAccount() const
{
    return flag(kIsSaveAccount);
}

void SettingsStore::saveIsSeveAccount(bool isSaveAccount)
{
    store(kIsSaveAccount, isSaveAccount);
}

QString SettingsStore::uuid() const
{
    return text(kUuid);
}

void SettingsStore::saveUUID(const QString &uuid)
{
    saveRequiredText(kUuid, uuid);
}

QString SettingsStore::text(const char *key) const
{
    const QString value = m_settings.value(QLatin1String(key)).toString();
    return value.isNull() ? QStringLiteral("") : value;
}

bool SettingsStore::flag(const char *key) const
{
    return m_settings.value(QLatin1String(key), false).toBool();
}

void SettingsStore::saveRequiredText(const char *key, const QString &value,
                                     std::source_location where)
{
    if (value.isNull()) {
        AssertionHandler::handleFailure(kNilMessage, where);
        return;
    }
    store(key, value);
}

void SettingsStore::saveOptionalText(const char *key, const QString &value)
{
    if (value.isNull()) {
        m_settings.remove(QLatin1String(key));
        writeOut();
        return;
    }
    store(key, value);
}

void SettingsStore::store(const char *key, const QVariant &value)
{
    m_settings.setValue(QLatin1String(key), value);
    writeOut();
}

void SettingsStore::writeOut()
{
    // Written at once, so that a crash or a forced exit loses no saved account.
    m_settings.sync();
    if (m_settings.status() != QSettings::NoError)
        qWarning().noquote()
            << QStringLiteral("cannot write the settings file %1").arg(m_settings.fileName());
}
