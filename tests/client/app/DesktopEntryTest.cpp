// The client's desktop entry, as the installation leaves it: copied into an applications folder
// whose MIME cache update-desktop-database has refreshed, GIO names it the handler of "vandrix"
// URLs and starts it with the URL as its argument. A desktop session of temporary XDG folders.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdlib>

#undef signals
#include <gio/gio.h>

namespace {

constexpr auto kEntryName = "com.dalvemor.vqm.client.desktop";

// GIO reads the XDG variables once, at its first use; they are set before main runs.
struct DesktopSession
{
    QTemporaryDir root;

    DesktopSession()
    {
        for (const char *folder : {"data", "config", "dirs/applications", "configdirs", "bin"})
            QDir().mkpath(root.filePath(folder));
        // GIO takes an entry only when its program is on the path.
        QFile program(root.filePath("bin/Tarvello"));
        program.open(QIODevice::WriteOnly);
        program.write("#!/bin/sh\n");
        program.close();
        program.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QByteArray path = QFile::encodeName(root.filePath("bin")) + ':' + qgetenv("PATH");
        ::setenv("PATH", path.constData(), 1);
        ::setenv("XDG_DATA_HOME", QFile::encodeName(root.filePath("data")).constData(), 1);
        ::setenv("XDG_CONFIG_HOME", QFile::encodeName(root.filePath("config")).constData(), 1);
        ::setenv("XDG_DATA_DIRS", QFile::encodeName(root.filePath("dirs")).constData(), 1);
        ::setenv("XDG_CONFIG_DIRS", QFile::encodeName(root.filePath("configdirs")).constData(), 1);
        ::unsetenv("XDG_CURRENT_DESKTOP");
    }

    QString applications() const { return root.filePath("dirs/applications"); }
};

DesktopSession &session()
{
    static DesktopSession instance;
    return instance;
}

const bool sessionReady = (session(), true);

TEST(DesktopEntryTest, InstalledEntryHandlesVandrixUrlsWithTheUrlAsArgument)
{
    ASSERT_TRUE(sessionReady);
    const QString updater =
        QStandardPaths::findExecutable(QStringLiteral("update-desktop-database"));
    ASSERT_FALSE(updater.isEmpty()) << "desktop-file-utils is missing";
    const QString entry = session().applications() + u'/' + QLatin1String(kEntryName);
    ASSERT_TRUE(QFile::copy(
        QStringLiteral(VQM_SOURCE_DIR "/packaging/desktop/") + QLatin1String(kEntryName), entry));
    QProcess update;
    update.start(updater, {QStringLiteral("-q"), session().applications()});
    ASSERT_TRUE(update.waitForFinished(30000));
    ASSERT_EQ(update.exitCode(), 0) << update.readAllStandardError().constData();

    GAppInfo *handler = g_app_info_get_default_for_uri_scheme("vandrix");
    ASSERT_NE(handler, nullptr);
    EXPECT_STREQ(g_app_info_get_id(handler), kEntryName);
    EXPECT_STREQ(g_app_info_get_commandline(handler), "Tarvello %u");
    EXPECT_TRUE(g_app_info_supports_uris(handler));
    // A URL handler, not an application for the menus.
    EXPECT_FALSE(g_app_info_should_show(handler));
    g_object_unref(handler);
}

} // namespace
