// Another local user ("nobody") attacks the shared spool tree and the copy folder while the real
// programs run on the whole road: cupsd runs the backend as its own user, the monitor and the
// client run as the desktop user, the simulator is the printing service. One row per attack: he
// plants his entries (before the installation, before the monitor starts, after a first job, or
// while jobs pass, as the row says), jobs are printed, and then every job must reach the service
// with the document and the copies printed, nothing of his is published or uploaded, the backend
// ends soon after a cancel, and nothing of the user's becomes readable to him. Runs the real
// programs; see CMakeLists.txt for where.

#include "RoadTest.h"

#include "Polling.h"
#include "PrivateRoadCheck.h"
#include "SamplePdf.h"
#include "Tool.h"

#include "foundation/JobDatabase.h"
#include "foundation/SpoolLayout.h"
#include "support/OtherUser.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <functional>
#include <memory>

namespace {

using namespace std::chrono_literals;

// Every id of a job to come in a fresh cupsd is at most this.
constexpr int kPlantedJobIds = 5;
// A document this big stays in the backend's hands for a while.
constexpr qint64 kSlowDocumentBytes = 4LL * 1024 * 1024;
// Far longer than the row's jobs need to pass the backend without the attack.
constexpr auto kBackendStallLimit = 15s;
// Generous against the second the backend may take to end after a cancel.
constexpr auto kCancelEndLimit = 5s;
constexpr auto kAttackerReadyLimit = 10s;
constexpr auto kAttackerEndLimitMs = 5000;
constexpr mode_t kStickySharedMode = 01777;
constexpr auto kCopyFolder = "/tmp/vqmprinter";
constexpr auto kWatching = "watching";

QString spoolFile(const char *folder, const char *name)
{
    return QStringLiteral("%1/%2").arg(QLatin1String(folder), QLatin1String(name));
}

QString jobTable()
{
    return spoolFile(SpoolLayout::kDatabaseFolder, JobDatabase::kFileName);
}

// One attack of vqm-e2e-attacker, run as the other user in the background until it goes.
class BackgroundAttacker
{
public:
    BackgroundAttacker(const QString &logPath, const QStringList &arguments)
        : m_logPath(logPath)
    {
        QStringList command =
            OtherUser::commandLine(QStringList{QStringLiteral(VQM_E2E_ATTACKER)} + arguments);
        m_process.setStandardOutputFile(logPath);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(command.takeFirst(), command);
    }
    ~BackgroundAttacker()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(kAttackerEndLimitMs))
            m_process.kill();
        m_process.waitForFinished();
    }
    BackgroundAttacker(const BackgroundAttacker &) = delete;
    BackgroundAttacker &operator=(const BackgroundAttacker &) = delete;

    bool waitUntilWatching()
    {
        return Polling::until([this] { return lines().contains(QLatin1String(kWatching)); },
                              kAttackerReadyLimit);
    }
    // What it told it did, one line each.
    QStringList lines() const
    {
        return QString::fromUtf8(TestSupport::readFile(m_logPath)).split(u'\n', Qt::SkipEmptyParts);
    }

private:
    QString m_logPath;
    QProcess m_process;
};

class AttackTableTest;
using Step = std::function<void(AttackTableTest &)>;

struct Attack
{
    const char *name;
    // Planted where an earlier installation left the spool root, before this one runs.
    Step beforeInstallation = {};
    // Planted once everything is installed and up, before the monitor starts.
    Step beforeMonitor = {};
    // Done once a first job has arrived; without it no first job is printed.
    Step afterFirstJob = {};
    // Done while the row's jobs pass, before their upload reports are waited for.
    Step whileJobsPass = {};
    // The row's own checks once every job has arrived.
    Step afterwards = {};
};

void PrintTo(const Attack &attack, std::ostream *out)
{
    *out << attack.name;
}

class AttackTableTest : public RoadTest, public ::testing::WithParamInterface<Attack>
{
public:
    void SetUp() override
    {
        const Attack &attack = GetParam();
        if (attack.beforeInstallation) {
            // The road checks where it runs only once it starts; this writes to a fixed folder
            // before that.
            const Result<Done> isolated =
                PrivateRoadCheck::verify(PrintRoad::Programs::ofThisBuild().shadowedFolders);
            ASSERT_TRUE(isolated) << isolated.error().description.toStdString();
            attack.beforeInstallation(*this);
            ASSERT_FALSE(HasFatalFailure());
        }
        startRoad([this, &attack]() -> Result<Done> {
            if (auto installed = installCopyFolder(); !installed)
                return installed;
            if (const Result<Done> written = SamplePdf::write(ownPdf(), 1); !written)
                return written;
            if (attack.beforeMonitor)
                attack.beforeMonitor(*this);
            if (HasFatalFailure())
                return Error{QStringLiteral("e2e.attacks"), 1,
                             QStringLiteral("the attack before the monitor failed")};
            return Done{};
        });
    }

    // The other user's own PDF, which he puts in place of the user's.
    QString ownPdf() const { return workPath(QStringLiteral("his.pdf")); }

    void plant(const QString &script, const QStringList &arguments)
    {
        ASSERT_TRUE(OtherUser::runScript(script, arguments)) << script.toStdString();
    }

    // Another user's statements run on the shared job table.
    void plantInJobTable(const QString &statements)
    {
        plant(QStringLiteral("sqlite3 \"$1\" \"$2\""), {jobTable(), statements});
    }

    void startAttacker(const QStringList &arguments)
    {
        m_attacker = std::make_unique<BackgroundAttacker>(workPath(QStringLiteral("attacker.out")),
                                                          arguments);
        ASSERT_TRUE(m_attacker->waitUntilWatching())
            << m_attacker->lines().join(u'\n').toStdString();
    }
    QStringList attackerLines() const { return m_attacker ? m_attacker->lines() : QStringList(); }

    const QList<Print> &prints() const { return m_prints; }
    PrintRoad &road() { return m_road; }

    // The attack's prints: the jobs to come, each with copies.
    QList<Print> m_prints;

private:
    // The installation's rules for the tree that systemd-tmpfiles keeps (the copy folder and
    // whatever else the rules name), applied as a package's installation applies them.
    Result<Done> installCopyFolder()
    {
        const PrintRoad::Programs programs = PrintRoad::Programs::ofThisBuild();
        const QString stage = workPath(QStringLiteral("session-stage"));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DESTDIR"), stage);
        if (auto installed = Tool::run(programs.cmake,
                                       {QStringLiteral("--install"), programs.buildDir,
                                        QStringLiteral("--component"), QStringLiteral("session")},
                                       environment);
            !installed)
            return installed.error();
        const QDir rules(stage + QStringLiteral(VQM_E2E_TMPFILES_DIR));
        for (const QString &rule : rules.entryList({QStringLiteral("*.conf")}, QDir::Files)) {
            if (auto applied = Tool::run(QStringLiteral("systemd-tmpfiles"),
                                         {QStringLiteral("--create"), rules.filePath(rule)});
                !applied)
                return applied.error();
        }
        return Done{};
    }

    std::unique_ptr<BackgroundAttacker> m_attacker;
};

void plantAtEveryJobName(AttackTableTest &test, const QString &script)
{
    test.plant(QStringLiteral("cd \"$1\" && for id in $(seq 1 \"$2\"); do %1; done").arg(script),
               {QLatin1String(SpoolLayout::kPdfFolder), QString::number(kPlantedJobIds)});
}

void expectJobIdsPlanted(AttackTableTest &test)
{
    for (const RoadTest::Print &print : test.prints())
        EXPECT_LE(PrivateCups::jobIdOf(print.requestId), kPlantedJobIds)
            << print.requestId.toStdString() << " came after the planted names";
}

const Attack kAttacks[] = {
    {.name = "filesAtTheNamesOfJobsToCome",
     .beforeMonitor =
         [](AttackTableTest &test) {
             plantAtEveryJobName(test,
                                 QStringLiteral("echo x > \"$id.PDF\"; echo x > \"$id.pdf\""));
         },
     .afterwards = expectJobIdsPlanted},
    {.name = "partialFileSwappedForHisOwn",
     .beforeMonitor =
         [](AttackTableTest &test) {
             test.startAttacker({QStringLiteral("swap-partials"),
                                 QLatin1String(SpoolLayout::kPdfFolder), test.ownPdf()});
         },
     .afterwards =
         [](AttackTableTest &test) {
             static const QRegularExpression stole(QStringLiteral("^stole (.+)$"));
             for (const QString &line : test.attackerLines()) {
                 const QRegularExpressionMatch stolen = stole.match(line);
                 if (!stolen.hasMatch())
                     continue;
                 const QString path =
                     spoolFile(SpoolLayout::kPdfFolder, stolen.captured(1).toUtf8().constData());
                 EXPECT_FALSE(
                     OtherUser::runScript(QStringLiteral("cat -- \"$1\" > /dev/null"), {path}))
                     << "he can read the original he took away: " << path.toStdString();
             }
         }},
    {.name = "foldersAtTheNamesOfJobsToCome",
     .beforeMonitor =
         [](AttackTableTest &test) {
             plantAtEveryJobName(test, QStringLiteral("mkdir \"$id.pdf\""));
         },
     .afterwards = expectJobIdsPlanted},
    {.name = "triggerRewritingTheCopies",
     .afterFirstJob =
         [](AttackTableTest &test) {
             test.plantInJobTable(
                 QStringLiteral("CREATE TRIGGER more_copies AFTER INSERT ON t_job BEGIN "
                                "UPDATE t_job SET copies = '999'; END;"));
         }},
    {.name = "triggerCallingAnEndlessView",
     .afterFirstJob =
         [](AttackTableTest &test) {
             test.plantInJobTable(QStringLiteral(
                 "CREATE VIEW endless AS WITH RECURSIVE counter(n) AS (SELECT 1 UNION ALL "
                 "SELECT n + 1 FROM counter) SELECT count(*) FROM counter; "
                 "CREATE TRIGGER stall BEFORE INSERT ON t_job BEGIN SELECT * FROM endless; END;"));
         },
     .whileJobsPass =
         [](AttackTableTest &test) {
             // Jobs still in the backend's hands this long after they were printed are
             // cancelled, as their user would: CUPS ends the backend with SIGTERM, and it must be
             // gone soon after.
             const QString last = test.prints().last().requestId;
             if (test.road().waitForJobEnd(last, kBackendStallLimit))
                 return;
             for (const RoadTest::Print &print : test.prints())
                 ASSERT_TRUE(test.road().cancel(print.requestId));
             EXPECT_TRUE(Polling::until([] { return RoadTest::backendProcesses().isEmpty(); },
                                        kCancelEndLimit))
                 << "the backend still runs " << kCancelEndLimit.count()
                 << " s after a cancel: " << RoadTest::backendProcesses().join(u' ').toStdString();
         }},
    {.name = "lockFileMadeFirstForHimAlone",
     .beforeInstallation =
         [](AttackTableTest &test) {
             ASSERT_EQ(::chmod(SpoolLayout::kRoot, kStickySharedMode), 0);
             test.plant(QStringLiteral("umask 077; : > \"$1\""),
                        {QLatin1String(SpoolLayout::kMonitorLockFile)});
         }},
    {.name = "jobTableReplacedByHisCopy",
     .afterFirstJob =
         [](AttackTableTest &test) {
             test.plant(QStringLiteral("cd \"$1\" && cp \"$2\" m && mv -f m \"$2\""),
                        {QLatin1String(SpoolLayout::kDatabaseFolder),
                         QLatin1String(JobDatabase::kFileName)});
         }},
    {.name = "copyRewrittenBeforeItsUpload",
     .beforeMonitor =
         [](AttackTableTest &test) {
             ASSERT_TRUE(QFileInfo(QLatin1String(kCopyFolder)).isDir())
                 << "the installation made no " << kCopyFolder;
             test.startAttacker(
                 {QStringLiteral("rewrite-copies"), QLatin1String(kCopyFolder), test.ownPdf()});
         },
     .afterwards =
         [](AttackTableTest &test) {
             for (const QString &line : test.attackerLines())
                 EXPECT_FALSE(line.startsWith(QStringLiteral("rewrote "))) << line.toStdString();
         }},
};

TEST_P(AttackTableTest, everyJobArrivesWithTheCopiesPrinted)
{
    const Attack &attack = GetParam();
    int expectedReports = 0;
    if (attack.afterFirstJob) {
        QList<Print> first{pdf(QStringLiteral("Before the attack"), 1, 1)};
        print(first);
        waitForReports(++expectedReports);
        expectArrivedWhole(first.first());
        attack.afterFirstJob(*this);
        ASSERT_FALSE(HasFatalFailure());
    }

    m_prints = {pdf(QStringLiteral("Attacked twice"), 2, 2, {}, {}, kSlowDocumentBytes),
                pdf(QStringLiteral("Attacked once"), 1, 3)};
    print(m_prints);
    if (attack.whileJobsPass) {
        attack.whileJobsPass(*this);
        ASSERT_FALSE(HasFatalFailure());
    }
    expectedReports += int(m_prints.size());
    waitForReports(expectedReports);

    for (const Print &print : std::as_const(m_prints))
        expectArrivedWhole(print);
    // Nothing he planted became a job of its own.
    EXPECT_EQ(m_road.submissions().size(), expectedReports);
    if (attack.afterwards)
        attack.afterwards(*this);
}

INSTANTIATE_TEST_SUITE_P(, AttackTableTest, ::testing::ValuesIn(kAttacks),
                         [](const ::testing::TestParamInfo<Attack> &info) {
                             return std::string(info.param.name);
                         });

} // namespace
