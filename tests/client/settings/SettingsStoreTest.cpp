#include "client/settings/SettingsStore.h"
#include "support/TestSupport.h"

#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <functional>

namespace {

// Points XDG_CONFIG_HOME at a temporary folder while it lives.
class TemporaryConfigHome
{
public:
    TemporaryConfigHome()
        : m_previous(qgetenv("XDG_CONFIG_HOME"))
        , m_hadPrevious(qEnvironmentVariableIsSet("XDG_CONFIG_HOME"))
    {
        qputenv("XDG_CONFIG_HOME", m_folder.path().toUtf8());
    }
    ~TemporaryConfigHome()
    {
        if (m_hadPrevious)
            qputenv("XDG_CONFIG_HOME", m_previous);
        else
            qunsetenv("XDG_CONFIG_HOME");
    }

    QString path() const { return m_folder.path(); }

private:
    QTemporaryDir m_folder;
    QByteArray m_previous;
    bool m_hadPrevious;
};

// Collects the process-log messages while it lives.
class MessageCapture
{
public:
    MessageCapture() { s_previous = qInstallMessageHandler(&MessageCapture::handle); }
    ~MessageCapture() { qInstallMessageHandler(s_previous); }

    static QStringList &messages()
    {
        static QStringList collected;
        return collected;
    }

private:
    static void handle(QtMsgType type, const QMessageLogContext &, const QString &message)
    {
        if (type == QtCriticalMsg || type == QtWarningMsg)
            messages() << message;
    }

    static inline QtMessageHandler s_previous = nullptr;
};

unsigned fileMode(const QString &path)
{
    struct stat status = {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return 0;
    return status.st_mode & 0777;
}

class SettingsStoreTest : public ::testing::Test
{
protected:
    QString filePath() const { return SettingsStore::defaultFilePath(); }

    TemporaryConfigHome home;
};

TEST_F(SettingsStoreTest, LivesInTheSuiteFileOfTheConfigFolder)
{
    EXPECT_EQ(filePath(), home.path() + "/Tarvello/default.ini");
}

TEST_F(SettingsStoreTest, FreshStoreReadsEmptyTextsAndNoFlags)
{
    const SettingsStore store(filePath());
    for (const QString &text : {store.entKey(), store.entid(), store.userid(), store.userName(),
                                store.userPassword(), store.uuid()}) {
        EXPECT_FALSE(text.isNull());
        EXPECT_EQ(text, "");
    }
    EXPECT_FALSE(store.isScanQrcode());
    EXPECT_FALSE(store.isSaveAccount());
}

TEST_F(SettingsStoreTest, EverySettingComesBackInALaterRunUnderItsOwnKey)
{
    const QString password = QStringLiteral("p@ss, w=rd;\u5bc6");
    {
        SettingsStore store(filePath());
        store.saveEntKey(QStringLiteral("ACME"));
        store.saveEntid(QStringLiteral("12"));
        store.saveUserid(QStringLiteral("34"));
        store.saveIsScanQrcode(true);
        store.saveUserName(QStringLiteral("alice"));
        store.saveUserPassword(password);
        store.saveIsSeveAccount(true);
        store.saveUUID(QStringLiteral("{6F9619FF-8B86-D011-B42D-00C04FC964FF}"));
    }
    const SettingsStore later(filePath());
    EXPECT_EQ(later.entKey(), "ACME");
    EXPECT_EQ(later.entid(), "12");
    EXPECT_EQ(later.userid(), "34");
    EXPECT_TRUE(later.isScanQrcode());
    EXPECT_EQ(later.userName(), "alice");
    EXPECT_EQ(later.userPassword(), password);
    EXPECT_TRUE(later.isSaveAccount());
    EXPECT_EQ(later.uuid(), "{6F9619FF-8B86-D011-B42D-00C04FC964FF}");

    QSettings raw(filePath(), QSettings::IniFormat);
    QStringList keys = raw.allKeys();
    keys.sort();
    EXPECT_EQ(keys, QStringList({"DalvemorEntid", "DalvemorUserid", "entKey", "isSaveAccount",
                                 "isScanQrcode", "userName", "userPassword", "uuid"}));
}

struct RefusingSetter
{
    const char *name;
    std::function<void(SettingsStore &, const QString &)> save;
    std::function<QString(const SettingsStore &)> read;
};

class NilGivenTo : public SettingsStoreTest, public ::testing::WithParamInterface<RefusingSetter>
{};

TEST_P(NilGivenTo, IsReportedAndStoresNothing)
{
    SettingsStore store(filePath());
    GetParam().save(store, QStringLiteral("kept"));
    {
        MessageCapture capture;
        MessageCapture::messages().clear();
        GetParam().save(store, QString());
        ASSERT_EQ(MessageCapture::messages().size(), 1);
        const QString report = MessageCapture::messages().first();
        EXPECT_TRUE(report.contains(QStringLiteral("must not be nil"))) << report.toStdString();
        EXPECT_TRUE(report.contains(QRegularExpression(QStringLiteral("SettingsStore\\.cpp:\\d+"))))
            << report.toStdString();
        EXPECT_TRUE(report.contains(QLatin1String(GetParam().name))) << report.toStdString();
    }
    EXPECT_EQ(GetParam().read(store), "kept");
    EXPECT_EQ(GetParam().read(SettingsStore(filePath())), "kept");
}

INSTANTIATE_TEST_SUITE_P(
    Setters, NilGivenTo,
    ::testing::Values(
        RefusingSetter{"saveEntKey", &SettingsStore::saveEntKey, &SettingsStore::entKey},
        RefusingSetter{"saveUserName", &SettingsStore::saveUserName, &SettingsStore::userName},
        RefusingSetter{"saveUserPassword", &SettingsStore::saveUserPassword,
                       &SettingsStore::userPassword},
        RefusingSetter{"saveUUID", &SettingsStore::saveUUID, &SettingsStore::uuid}),
    [](const auto &info) { return info.param.name; });

TEST_F(SettingsStoreTest, NilGivenToTheQrIdentityRemovesIt)
{
    SettingsStore store(filePath());
    store.saveEntid(QStringLiteral("12"));
    store.saveUserid(QStringLiteral("34"));
    store.saveEntid(QString());
    store.saveUserid(QString());
    EXPECT_EQ(store.entid(), "");
    EXPECT_EQ(store.userid(), "");
    EXPECT_FALSE(store.entid().isNull());
    QSettings raw(filePath(), QSettings::IniFormat);
    EXPECT_FALSE(raw.contains(QStringLiteral("DalvemorEntid")));
}

TEST_F(SettingsStoreTest, EmptyTextIsStoredAsEmpty)
{
    SettingsStore store(filePath());
    store.saveUserPassword(QStringLiteral("secret"));
    store.saveUserPassword(QStringLiteral(""));
    EXPECT_EQ(SettingsStore(filePath()).userPassword(), "");
}

TEST_F(SettingsStoreTest, ValuesOfAnotherSettingsFileAreNotSeen)
{
    {
        QSettings standard(home.path() + "/Tarvello/Tarvello.conf", QSettings::IniFormat);
        standard.setValue(QStringLiteral("userName"), QStringLiteral("intruder"));
        standard.setValue(QStringLiteral("isSaveAccount"), true);
        standard.setValue(QStringLiteral("entKey"), QStringLiteral("OTHER"));
    }
    const SettingsStore store(filePath());
    EXPECT_EQ(store.userName(), "");
    EXPECT_EQ(store.entKey(), "");
    EXPECT_FALSE(store.isSaveAccount());
}

TEST_F(SettingsStoreTest, FileIsReadableByItsOwnerOnly)
{
    SettingsStore store(filePath());
    store.saveUserPassword(QStringLiteral("secret"));
    store.saveUserName(QStringLiteral("alice"));
    EXPECT_EQ(fileMode(filePath()), 0600u);
    EXPECT_TRUE(TestSupport::readFile(filePath()).contains("secret"));
}

TEST_F(SettingsStoreTest, FileLeftReadableByOthersIsTightened)
{
    QDir().mkpath(home.path() + "/Tarvello");
    ASSERT_TRUE(TestSupport::writeFile(filePath(), "[General]\nuserName=bob\n"));
    ASSERT_EQ(::chmod(QFile::encodeName(filePath()).constData(), 0644), 0);

    SettingsStore store(filePath());
    EXPECT_EQ(store.userName(), "bob");
    store.saveUserPassword(QStringLiteral("secret"));
    EXPECT_EQ(fileMode(filePath()), 0600u);
}

TEST_F(SettingsStoreTest, SharedStoreUsesTheSuiteFile)
{
    SettingsStore::defaults().saveUserName(QStringLiteral("shared-user"));
    EXPECT_EQ(SettingsStore(filePath()).userName(), "shared-user");
    EXPECT_EQ(fileMode(filePath()), 0600u);
}

} // namespace
