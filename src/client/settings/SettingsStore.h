#pragma once

// The user's settings kept between runs in the settings suite "default": the account (user name,
// password, company key), the identity of the last QR login, two flags and the host id. One getter
// and one setter per setting, so that callers never handle keys.
//
// Storage: QSettings in INI format, in a file of its own at
// $XDG_CONFIG_HOME/Tarvello/default.ini (the application's standard settings are another file).
// The file holds the saved password as plain text, so it is kept readable by its owner only
// (mode 0600). Every change is written out at once.
//
// Text getters never return nil: an absent setting reads "". The setters of the company key, user
// name, password and host id refuse nil (a programming error, reported through the assertion
// handler) and store nothing; nil given to saveEntid/saveUserid removes the setting.
//
// Main thread. defaults() is the process-wide store, created on first use and never destroyed;
// tests construct their own with a file path.

#include <QSettings>
#include <QString>

#include <source_location>

class SettingsStore
{
public:
    static constexpr auto kFolderName = "Tarvello";
    static constexpr auto kSuiteName = "default";

    static constexpr auto kEntKey = "entKey";
    static constexpr auto kEntid = "DalvemorEntid";
    static constexpr auto kUserid = "DalvemorUserid";
    static constexpr auto kIsScanQrcode = "isScanQrcode";
    static constexpr auto kUserName = "userName";
    static constexpr auto kUserPassword = "userPassword";
    static constexpr auto kIsSaveAccount = "isSaveAccount";
    static constexpr auto kUuid = "uuid";

    static SettingsStore &defaults();
    // $XDG_CONFIG_HOME/Tarvello/default.ini, resolved when called.
    static QString defaultFilePath();

    explicit SettingsStore(const QString &filePath);

    QString entKey() const;
    void saveEntKey(const QString &entKey);
    QString entid() const;
    void saveEntid(const QString &entid);
    QString userid() const;
    void saveUserid(const QString &userid);
    bool isScanQrcode() const;
    void saveIsScanQrcode(bool isScanQrcode);
    QString userName() const;
    void saveUserName(const QString &userName);
    QString userPassword() const;
    void saveUserPassword(const QString &userPassword);
    bool isSaveAccount() const;
    void saveIsSeveAccount(bool isSaveAccount);
    QString uuid() const;
    void saveUUID(const QString &uuid);

private:
    QString text(const char *key) const;
    bool flag(const char *key) const;
    void saveRequiredText(const char *key, const QString &value,
                          std::source_location where = std::source_location::current());
    void saveOptionalText(const char *key, const QString &value);
    void store(const char *key, const QVariant &value);
    void writeOut();

    QSettings m_settings;
};
