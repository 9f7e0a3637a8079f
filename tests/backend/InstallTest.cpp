// `cmake --install` of the backend's parts into a staging folder (DESTDIR).

#include "foundation/SpoolLayout.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

unsigned modeOf(const QString &path)
{
    struct stat status = {};
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return 0;
    return status.st_mode & 07777;
}

class InstallTest : public ::testing::Test
{
protected:
    QString staged(const QString &path) const { return m_dir.path() + "/dest" + path; }
    QString prefix() const { return m_dir.path() + "/prefix"; }

    // Installs one component; returns the installer's output, or fails the test.
    QByteArray install(const QString &component)
    {
        QProcess installer;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DESTDIR"), m_dir.path() + "/dest");
        installer.setProcessEnvironment(environment);
        installer.setProcessChannelMode(QProcess::MergedChannels);
        installer.start(QStringLiteral(VQM_CMAKE_COMMAND),
                        {QStringLiteral("--install"), QStringLiteral(VQM_BINARY_DIR),
                         QStringLiteral("--prefix"), prefix(), QStringLiteral("--component"),
                         component});
        const bool ended = installer.waitForFinished(120000);
        const QByteArray output = installer.readAll();
        EXPECT_TRUE(ended && installer.exitCode() == 0) << output.constData();
        return output;
    }

private:
    QTemporaryDir m_dir;
};

TEST_F(InstallTest, backendComponentInstallsProgramPpdIniAndSpoolTree)
{
    install(QStringLiteral("backend"));

    // Every user may run it, so that cupsd runs it as its unprivileged user, never as root.
    const QString backend = staged(QStringLiteral(VQM_CUPS_BACKEND_DIR "/vqmprinter"));
    EXPECT_EQ(modeOf(backend), 0755u);
    EXPECT_EQ(modeOf(staged(QStringLiteral("/usr/share/ppd/tarvello/Tarvello.ppd"))), 0644u);
    // The tree the programs expect.
    for (const char *folder :
         {SpoolLayout::kRoot, SpoolLayout::kPdfFolder, SpoolLayout::kDatabaseFolder,
          SpoolLayout::kClientLogFolder, SpoolLayout::kMonitorLogFolder}) {
        EXPECT_EQ(modeOf(staged(QLatin1String(folder))), 0777u) << folder;
    }

    const QString ini = staged(QStringLiteral("/usr/libexec/cups/backend/setup.ini"));
    EXPECT_EQ(modeOf(ini), 0644u);
    const QString text = QString::fromUtf8(TestSupport::readFile(ini));
    for (const char *key : {"PrinterName", "ServiceIP", "ServicePort", "EnableHttps", "EntKey",
                            "FTPName", "NeedQrcode"}) {
        // In the unnamed section: no section header comes before the keys.
        const QRegularExpression line(QStringLiteral("^%1=").arg(QLatin1String(key)),
                                      QRegularExpression::MultilineOption);
        EXPECT_TRUE(line.match(text).hasMatch()) << key;
    }
    EXPECT_FALSE(text.contains(QLatin1Char('['))) << "the client reads only the unnamed section";

    // The site's own settings survive a reinstallation.
    ASSERT_TRUE(TestSupport::writeFile(ini, "ServiceIP=print.example.test\n"));
    const QByteArray again = install(QStringLiteral("backend"));
    EXPECT_EQ(TestSupport::readFile(ini), "ServiceIP=print.example.test\n");
    EXPECT_TRUE(again.contains("Keeping")) << again.constData();
}

TEST_F(InstallTest, sessionComponentInstallsTheMonitorUnitForThePrefix)
{
    install(QStringLiteral("session"));

    const QString unit = staged(QStringLiteral("/usr/lib/systemd/user/vqmmonitor.service"));
    EXPECT_EQ(modeOf(unit), 0644u);
    const QString text = QString::fromUtf8(TestSupport::readFile(unit));
    EXPECT_TRUE(text.contains(QStringLiteral("\nExecStart=%1/bin/vqmmonitor\n").arg(prefix())))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("\nRestart=on-failure\n"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("\nRestartSec=5\n"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QLatin1Char('@'))) << text.toStdString();

    // Desktop entries go under the prefix, where GIO looks for URL handlers.
    const QDir entries(QStringLiteral(VQM_SOURCE_DIR "/packaging/desktop"));
    for (const QString &entry : entries.entryList({QStringLiteral("*.desktop")}, QDir::Files)) {
        EXPECT_EQ(modeOf(staged(prefix() + QStringLiteral("/share/applications/") + entry)), 0644u)
            << entry.toStdString();
    }
}

} // namespace
