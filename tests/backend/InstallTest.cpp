// `cmake --install` of the backend's and the session's parts into a staging folder (DESTDIR),
// with systemd's own tools judging what the session's parts do.

#include "foundation/SpoolLayout.h"
#include "monitor/MonitorDefaults.h"
#include "support/OtherUser.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <chrono>
#include <memory>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr int kToolLimitMs = 120000;
constexpr auto kMonitorUnit = "vqmmonitor.service";
constexpr auto kAutostartEntry = "/vqmmonitor.desktop";
constexpr auto kCopyFolderRule = "/tarvello.conf";
constexpr auto kAutostartGenerator =
    "/usr/lib/systemd/user-generators/systemd-xdg-autostart-generator";

unsigned modeOf(const QString &path)
{
    struct stat status = {};
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return 0;
    return status.st_mode & 07777;
}

struct ToolRun
{
    bool succeeded = false;
    QByteArray output;
};

// Waits for a started tool to end.
ToolRun waitFor(QProcess &tool)
{
    const bool ended = tool.waitForFinished(kToolLimitMs);
    return {ended && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0,
            tool.readAll()};
}

ToolRun runTool(const QString &program, const QStringList &arguments,
                const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    QProcess tool;
    tool.setProcessEnvironment(environment);
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(program, arguments);
    return waitFor(tool);
}

// The path of a tool on PATH, or empty (the test then skips).
QString tool(const char *name)
{
    return QStandardPaths::findExecutable(QLatin1String(name));
}

// The value of the first "key=value" line.
QString valueOf(const QString &text, const QString &key)
{
    const QRegularExpression line(QStringLiteral("^%1=(.*)$").arg(QRegularExpression::escape(key)),
                                  QRegularExpression::MultilineOption);
    return line.match(text).captured(1);
}

// Sets a file's access and modification times to the given ages.
bool age(const QString &path, std::chrono::seconds sinceAccess,
         std::chrono::seconds sinceModification)
{
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const auto stamp = [&](std::chrono::seconds ago) {
        return timespec{std::chrono::duration_cast<std::chrono::seconds>(now - ago).count(), 0};
    };
    const timespec times[2] = {stamp(sinceAccess), stamp(sinceModification)};
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0;
}

class InstallTest : public ::testing::Test
{
protected:
    QString stage() const { return m_dir.path() + "/dest"; }
    QString stageParent() const { return m_dir.path(); }
    QString staged(const QString &path) const { return stage() + path; }
    QString prefix() const { return m_dir.path() + "/prefix"; }
    QString scratch(const QString &name) const { return m_dir.filePath(name); }

    // Installs one component; returns the installer's output, or fails the test.
    QByteArray install(const QString &component)
    {
        QProcess installer;
        startInstall(installer, component, stage(), prefix());
        const ToolRun run = waitFor(installer);
        EXPECT_TRUE(run.succeeded) << run.output.constData();
        return run.output;
    }

    // Starts `cmake --install` of one component into the stage, for the prefix.
    static void startInstall(QProcess &installer, const QString &component, const QString &stage,
                             const QString &prefix)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DESTDIR"), stage);
        installer.setProcessEnvironment(environment);
        installer.setProcessChannelMode(QProcess::MergedChannels);
        installer.start(QStringLiteral(VQM_CMAKE_COMMAND),
                        {QStringLiteral("--install"), QStringLiteral(VQM_BINARY_DIR),
                         QStringLiteral("--prefix"), prefix, QStringLiteral("--component"),
                         component});
    }

    static QString unitTextIn(const QString &stage)
    {
        return QString::fromUtf8(TestSupport::readFile(
            stage + QStringLiteral(VQM_SYSTEMD_USER_DIR "/") + QLatin1String(kMonitorUnit)));
    }
    QString unitText() const { return unitTextIn(stage()); }

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
    // The tree the programs expect: every user may write in each folder, and the root's sticky bit
    // keeps them all from renaming or replacing the folders.
    EXPECT_EQ(modeOf(staged(QLatin1String(SpoolLayout::kRoot))), 01777u);
    for (const char *folder : {SpoolLayout::kPdfFolder, SpoolLayout::kDatabaseFolder,
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

TEST_F(InstallTest, noOtherUserCanRenameOrReplaceTheSpoolFolders)
{
    install(QStringLiteral("backend"));
    // The stage's own folder is private to its maker; the other user must reach the tree.
    ASSERT_EQ(::chmod(QFile::encodeName(stageParent()).constData(), 0755), 0);
    const QString root = staged(QLatin1String(SpoolLayout::kRoot));
    for (const char *name :
         {SpoolLayout::kPdfFolderName, SpoolLayout::kDatabaseFolderName,
          SpoolLayout::kClientLogFolderName, SpoolLayout::kMonitorLogFolderName}) {
        SCOPED_TRACE(name);
        const QString folder = root + u'/' + QLatin1String(name);
        EXPECT_FALSE(OtherUser::run({"mv", folder, root + "/away"}));
        EXPECT_FALSE(OtherUser::run({"rmdir", folder}));
        EXPECT_TRUE(QFileInfo(folder).isDir());
        EXPECT_FALSE(QFileInfo(folder).isSymLink());
    }
    // Adding entries is still everyone's right: the folders stay shared.
    EXPECT_TRUE(OtherUser::run({"touch", root + "/" + SpoolLayout::kPdfFolderName + "/1.pdf"}));
    EXPECT_FALSE(QFileInfo::exists(root + "/away"));
}

TEST_F(InstallTest, monitorLockFileIsRootsWhateverAnotherUserPutAtItsNameFirst)
{
    install(QStringLiteral("backend"));
    ASSERT_EQ(::chmod(QFile::encodeName(stageParent()).constData(), 0755), 0);
    const QString root = staged(QLatin1String(SpoolLayout::kRoot));
    const QString lock = staged(QLatin1String(SpoolLayout::kMonitorLockFile));
    const QString outside = scratch(QStringLiteral("outside"));
    ASSERT_TRUE(TestSupport::writeFile(outside, "precious"));
    ASSERT_EQ(::chmod(QFile::encodeName(outside).constData(), 0600), 0);
    const struct
    {
        const char *what;
        QString plant; // as the other user, with the lock file as $1
    } cases[] = {
        {"nothing", {}},
        {"a file nobody else may open", QStringLiteral("umask 077; : > \"$1\"")},
        {"a link", QStringLiteral("ln -s \"%1\" \"$1\"").arg(outside)},
        {"a folder", QStringLiteral("mkdir \"$1\" && touch \"$1/kept\"")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(QFile::remove(lock));
        if (!c.plant.isEmpty()) {
            ASSERT_TRUE(OtherUser::runScript(c.plant, {lock}));
        }
        install(QStringLiteral("backend"));

        struct stat status = {};
        ASSERT_EQ(::lstat(QFile::encodeName(lock).constData(), &status), 0);
        EXPECT_TRUE(S_ISREG(status.st_mode));
        EXPECT_EQ(status.st_uid, 0u);
        EXPECT_EQ(status.st_nlink, 1u);
        EXPECT_EQ(status.st_mode & 07777, 0644u);
        EXPECT_EQ(TestSupport::readFile(outside), "precious");
        EXPECT_EQ(modeOf(outside), 0600u);
        // Nobody else may take its name again: the spool root is sticky.
        EXPECT_FALSE(OtherUser::runScript(": > \"$1.his\" && mv -f \"$1.his\" \"$1\"", {lock}));
    }
    // The planted folder was moved aside, never emptied; no made file is left behind.
    const QStringList hidden =
        QDir(root)
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System)
            .filter(QStringLiteral(".vqmmonitor.lock"));
    ASSERT_EQ(hidden.size(), 1) << hidden.join(' ').toStdString();
    EXPECT_TRUE(QFile::exists(root + u'/' + hidden.first() + "/kept"));
}

TEST_F(InstallTest, sessionComponentInstallsItsFilesAndTheMonitorUnitForThePrefix)
{
    install(QStringLiteral("session"));

    // Fixed places that systemd and the desktops read; desktop entries go under the prefix,
    // where GIO looks for URL handlers.
    QStringList files = {QStringLiteral(VQM_SYSTEMD_USER_DIR "/") + QLatin1String(kMonitorUnit),
                         QStringLiteral(VQM_XDG_AUTOSTART_DIR) + kAutostartEntry,
                         QStringLiteral(VQM_TMPFILES_DIR) + kCopyFolderRule};
    const QDir entries(QStringLiteral(VQM_SOURCE_DIR "/packaging/desktop"));
    for (const QString &entry : entries.entryList({QStringLiteral("*.desktop")}, QDir::Files))
        files.append(prefix() + QStringLiteral("/share/applications/") + entry);
    for (const QString &file : files)
        EXPECT_EQ(modeOf(staged(file)), 0644u) << file.toStdString();

    const QString text = unitText();
    EXPECT_TRUE(text.contains(QStringLiteral("\nExecStart=%1/bin/vqmmonitor\n").arg(prefix())))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("\nRestart=on-failure\n"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("\nRestartSec=5\n"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QLatin1Char('@'))) << text.toStdString();
}

// Packagers stage several builds at once, and so does this suite: each installation names the
// monitor of its own prefix.
TEST_F(InstallTest, installationsRunningAtOnceEachNameTheMonitorOfTheirOwnPrefix)
{
    constexpr int kInstallations = 8;
    std::vector<std::unique_ptr<QProcess>> installers;
    for (int i = 0; i < kInstallations; ++i) {
        installers.push_back(std::make_unique<QProcess>());
        startInstall(*installers.back(), QStringLiteral("session"),
                     scratch(QStringLiteral("dest%1").arg(i)),
                     scratch(QStringLiteral("prefix%1").arg(i)));
    }
    for (int i = 0; i < kInstallations; ++i) {
        const ToolRun run = waitFor(*installers[i]);
        ASSERT_TRUE(run.succeeded) << run.output.constData();
        const QString stage = scratch(QStringLiteral("dest%1").arg(i));
        const QString program = scratch(QStringLiteral("prefix%1/bin/vqmmonitor").arg(i));
        EXPECT_EQ(valueOf(unitTextIn(stage), QStringLiteral("ExecStart")), program) << i;
        const QString entry = QString::fromUtf8(
            TestSupport::readFile(stage + QStringLiteral(VQM_XDG_AUTOSTART_DIR) + kAutostartEntry));
        EXPECT_EQ(valueOf(entry, QStringLiteral("Exec")), program) << i;
    }
}

TEST_F(InstallTest, sessionComponentEnablesTheMonitorUnitForEveryUser)
{
    const QString systemctl = tool("systemctl");
    if (systemctl.isEmpty())
        GTEST_SKIP() << "systemctl is not installed (Debian package systemd)";
    install(QStringLiteral("session"));

    // The link `systemctl --global enable` makes from the unit's [Install] section, leading to
    // where the unit lies once the stage is in place.
    const QString wantedBy = valueOf(unitText(), QStringLiteral("WantedBy"));
    ASSERT_FALSE(wantedBy.isEmpty()) << unitText().toStdString();
    const QFileInfo link(staged(QStringLiteral(VQM_SYSTEMD_USER_CONFIG_DIR "/%1.wants/%2")
                                    .arg(wantedBy, QLatin1String(kMonitorUnit))));
    ASSERT_TRUE(link.isSymLink()) << link.filePath().toStdString();
    EXPECT_EQ(link.symLinkTarget(),
              QStringLiteral(VQM_SYSTEMD_USER_DIR "/") + QLatin1String(kMonitorUnit));

    const ToolRun enabled =
        runTool(systemctl, {QStringLiteral("--global"), QStringLiteral("--root=") + stage(),
                            QStringLiteral("is-enabled"), QLatin1String(kMonitorUnit)});
    EXPECT_TRUE(enabled.succeeded) << enabled.output.constData();
    EXPECT_EQ(enabled.output.trimmed(), "enabled");
}

TEST_F(InstallTest, sessionComponentAutostartsTheMonitorWhereNoUnitStartsIt)
{
    const QString validator = tool("desktop-file-validate");
    if (validator.isEmpty())
        GTEST_SKIP()
            << "desktop-file-validate is not installed (Debian package desktop-file-utils)";
    install(QStringLiteral("session"));

    const QString entry = staged(QStringLiteral(VQM_XDG_AUTOSTART_DIR) + kAutostartEntry);
    const ToolRun validation = runTool(validator, {entry});
    // Not even a hint or a warning.
    EXPECT_TRUE(validation.succeeded && validation.output.isEmpty())
        << validation.output.constData();

    const QString text = QString::fromUtf8(TestSupport::readFile(entry));
    EXPECT_EQ(valueOf(text, QStringLiteral("Exec")),
              valueOf(unitText(), QStringLiteral("ExecStart")));
    // Started at login but never offered in a menu; Hidden would mean not started at all.
    EXPECT_EQ(valueOf(text, QStringLiteral("NoDisplay")), QStringLiteral("true"));
    EXPECT_NE(valueOf(text, QStringLiteral("Hidden")), QStringLiteral("true"));
    // GNOME's session manager, run by systemd, leaves it to the unit.
    EXPECT_EQ(valueOf(text, QStringLiteral("X-GNOME-HiddenUnderSystemd")), QStringLiteral("true"));
}

TEST_F(InstallTest, autostartEntryIsLeftOutOfSessionsThatSystemdStarts)
{
    if (!QFileInfo(QLatin1String(kAutostartGenerator)).isExecutable())
        GTEST_SKIP() << kAutostartGenerator << " is missing (Debian package systemd)";
    install(QStringLiteral("session"));

    // The generator leaves out entries whose program is missing, and the staged monitor is not
    // at its final path: the entry points at a program that is. A plain entry beside it shows
    // that the generator read the folder.
    const QString program = tool("true");
    QString text = QString::fromUtf8(
        TestSupport::readFile(staged(QStringLiteral(VQM_XDG_AUTOSTART_DIR) + kAutostartEntry)));
    text.replace(
        QRegularExpression(QStringLiteral("^Exec=.*$"), QRegularExpression::MultilineOption),
        QStringLiteral("Exec=") + program);
    const QString plain =
        QStringLiteral("[Desktop Entry]\nType=Application\nName=Plain\nExec=%1\n").arg(program);
    const QString autostart = scratch(QStringLiteral("xdg/autostart"));
    ASSERT_TRUE(QDir().mkpath(autostart));
    ASSERT_TRUE(TestSupport::writeFile(autostart + kAutostartEntry, text.toUtf8()));
    ASSERT_TRUE(TestSupport::writeFile(autostart + "/plain.desktop", plain.toUtf8()));

    QProcessEnvironment environment;
    environment.insert(QStringLiteral("XDG_CONFIG_DIRS"), scratch(QStringLiteral("xdg")));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), scratch(QStringLiteral("home")));
    const QString units = scratch(QStringLiteral("units"));
    ASSERT_TRUE(QDir().mkpath(units));
    const ToolRun generator =
        runTool(QLatin1String(kAutostartGenerator), {units, units, units}, environment);
    ASSERT_TRUE(generator.succeeded) << generator.output.constData();

    EXPECT_TRUE(QFileInfo::exists(units + "/app-plain@autostart.service"));
    EXPECT_FALSE(QFileInfo::exists(units + "/app-vqmmonitor@autostart.service"));
}

// The daily clean-up (`systemd-tmpfiles --clean`) with the installed rule, in a root of its own.
TEST_F(InstallTest, copyFolderRuleAgesOutCopiesNobodyReadOrWroteFor3Days)
{
    const QString tmpfiles = tool("systemd-tmpfiles");
    if (tmpfiles.isEmpty())
        GTEST_SKIP() << "systemd-tmpfiles is not installed (Debian package systemd)";
    install(QStringLiteral("session"));
    const QString rule = staged(QStringLiteral(VQM_TMPFILES_DIR) + kCopyFolderRule);

    // At boot the rule makes the copy folder as the monitor makes it: every user may add copies,
    // and only a copy's owner may change, rename or remove it.
    const QString root = scratch(QStringLiteral("root"));
    const QString rootOption = QStringLiteral("--root=") + root;
    const ToolRun boot = runTool(tmpfiles, {QStringLiteral("--create"), rootOption, rule});
    ASSERT_TRUE(boot.succeeded) << boot.output.constData();
    const QString copyFolder = root + QLatin1String(MonitorDefaults::kCopyFolder);
    ASSERT_EQ(modeOf(copyFolder), 01777u);

    constexpr std::chrono::seconds kDay = 24h;
    const struct
    {
        const char *name;
        std::chrono::seconds sinceAccess;
        std::chrono::seconds sinceModification;
        bool kept;
    } cases[] = {
        {"unused for 4 days", 4 * kDay, 4 * kDay, false},
        {"just made", 0s, 0s, true},
        {"written 4 days ago, read yesterday", kDay, 4 * kDay, true},
        {"read 4 days ago, written yesterday", 4 * kDay, kDay, true},
    };
    const auto pathOf = [&](const char *name) {
        return copyFolder + u'/' + QLatin1String(name) + ".pdf";
    };
    for (const auto &copy : cases) {
        const QString path = pathOf(copy.name);
        ASSERT_TRUE(TestSupport::writeFile(path, "%PDF-1.4\n%%EOF\n")) << copy.name;
        ASSERT_TRUE(age(path, copy.sinceAccess, copy.sinceModification)) << copy.name;
    }
    const ToolRun clean = runTool(tmpfiles, {QStringLiteral("--clean"), rootOption, rule});
    ASSERT_TRUE(clean.succeeded) << clean.output.constData();

    for (const auto &copy : cases)
        EXPECT_EQ(QFileInfo::exists(pathOf(copy.name)), copy.kept) << copy.name;
    EXPECT_TRUE(QFileInfo(copyFolder).isDir()) << "the folder itself stays";
}

} // namespace
