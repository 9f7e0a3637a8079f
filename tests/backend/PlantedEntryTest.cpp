// Entries another local user plants in the spool tree, which every user may write: the backend
// never writes, creates or changes modes through them.

#include "BackendFixture.h"

#include "support/OtherUser.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <cups/backend.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>

namespace {

enum class Outcome {
    WritesItsOwnFile, // the job is spooled, its PDF a file of the backend's own
    Fails,            // the job fails with an error line for CUPS
};

enum class Target {
    OutsideFile,
    OutsideFolder,
    Dangling,
};

struct PlantCase
{
    const char *name; // where the link stands, below the spool root
    Outcome outcome;
    bool leftAlone; // the link stays as planted; otherwise it is gone
};

constexpr qint64 kJobId = 21;
constexpr auto kFolderPlant = "mkdir \"$1\" && echo kept > \"$1/inside\"";
constexpr auto kSecret = "the administrator's own file\n";
constexpr mode_t kSecretMode = 0600;

class PlantedEntryTest : public BackendFixture
{
protected:
    // The spool root as the installation leaves it: open to every user, and not sticky, so the
    // kernel's protection of links in sticky folders plays no part.
    void openSpoolTree()
    {
        for (const QString &folder : {root(), pdfFolder(), databaseFolder()}) {
            ASSERT_TRUE(QDir().mkpath(folder));
            ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0777), 0);
        }
    }

    QString outsideFile() const { return m_outside.filePath(QStringLiteral("secret")); }
    QString outsideFolder() const { return m_outside.filePath(QStringLiteral("folder")); }
    QString danglingTarget() const { return m_outside.filePath(QStringLiteral("never-made")); }

    QString targetPath(Target target) const
    {
        switch (target) {
        case Target::OutsideFile:
            return outsideFile();
        case Target::OutsideFolder:
            return outsideFolder();
        case Target::Dangling:
            break;
        }
        return danglingTarget();
    }

    void makeOutsideEntries()
    {
        ASSERT_TRUE(TestSupport::writeFile(outsideFile(), kSecret));
        ASSERT_EQ(::chmod(QFile::encodeName(outsideFile()).constData(), kSecretMode), 0);
        ASSERT_TRUE(QDir().mkpath(outsideFolder()));
        ASSERT_EQ(::chmod(QFile::encodeName(outsideFolder()).constData(), 0700), 0);
    }

    void expectOutsideUntouched(const std::string &what) const
    {
        EXPECT_EQ(TestSupport::readFile(outsideFile()), kSecret) << what;
        EXPECT_EQ(modeOf(outsideFile()), unsigned(kSecretMode)) << what;
        EXPECT_EQ(modeOf(outsideFolder()), 0700u) << what;
        EXPECT_TRUE(QDir(outsideFolder()).isEmpty()) << what;
        EXPECT_FALSE(QFileInfo::exists(danglingTarget())) << what;
        EXPECT_FALSE(QFileInfo(danglingTarget()).isSymLink()) << what;
    }

private:
    QTemporaryDir m_outside;
};

TEST_F(PlantedEntryTest, linksPlantedAtTheBackendsNamesAreNeverFollowed)
{
    const PlantCase cases[] = {
        // The old form of its temporary name: never used now, and a link is no partial file to
        // sweep away.
        {"pdf_out/.21.partial", Outcome::WritesItsOwnFile, true},
        // The database: the link is moved aside, never followed, and a table made in its place.
        {"db/print_job.db", Outcome::WritesItsOwnFile, false},
        // SQLite's side files: a link there is removed before SQLite would refuse it.
        {"db/print_job.db-journal", Outcome::WritesItsOwnFile, false},
        {"db/print_job.db-wal", Outcome::WritesItsOwnFile, false},
        {"pdf_out", Outcome::Fails, true},
        {"db", Outcome::Fails, true},
    };
    for (const PlantCase &plant : cases) {
        for (const Target target : {Target::OutsideFile, Target::OutsideFolder, Target::Dangling}) {
            const std::string what =
                std::string(plant.name) + " -> " + targetPath(target).toStdString();
            useFreshRoot();
            openSpoolTree();
            makeOutsideEntries();
            const QString link = root() + u'/' + QLatin1String(plant.name);
            if (QFileInfo(link).isDir()) {
                ASSERT_TRUE(QDir().rmdir(link)) << what;
            }
            // The folder of the link lets that user in.
            ASSERT_TRUE(OtherUser::plantLink(targetPath(target), link)) << what;

            const BackendOutcome outcome = run(jobArguments(kJobId, ""), kPdf);

            expectOutsideUntouched(what);
            if (plant.outcome == Outcome::WritesItsOwnFile) {
                EXPECT_EQ(outcome.status, CUPS_BACKEND_OK) << what << outcome.messages.constData();
                EXPECT_FALSE(QFileInfo(pdfPath(kJobId)).isSymLink()) << what;
                EXPECT_EQ(TestSupport::readFile(pdfPath(kJobId)), kPdf) << what;
                EXPECT_EQ(modeOf(pdfPath(kJobId)), 0644u) << what;
                QStringList expected{QStringLiteral("21.pdf")};
                if (plant.leftAlone && link.startsWith(pdfFolder() + u'/'))
                    expected.prepend(QFileInfo(link).fileName());
                EXPECT_EQ(QDir(pdfFolder())
                              .entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                         QDir::NoDotAndDotDot),
                          expected)
                    << what;
            } else if (plant.outcome == Outcome::Fails) {
                EXPECT_EQ(outcome.status, CUPS_BACKEND_FAILED) << what;
                EXPECT_TRUE(outcome.messages.startsWith("ERROR: "))
                    << what << outcome.messages.constData();
            }
            if (plant.leftAlone)
                EXPECT_EQ(QFileInfo(link).symLinkTarget(), targetPath(target)) << what;
            else
                EXPECT_FALSE(QFileInfo(link).isSymLink()) << what;
        }
    }
}

TEST_F(PlantedEntryTest, foldersPlantedAtTheNextJobsNamesStopNoOtherJob)
{
    const struct
    {
        const char *name;     // below the spool root
        const char *plant;    // run as the other user with the entry's path as $1
        const char *keptFile; // below the planted entry, what it holds
        bool movedAside;
    } cases[] = {
        // The old form of the temporary name is not used any more.
        {"pdf_out/.21.partial", kFolderPlant, "/inside", false},
        // SQLite's side files: the folder is moved aside, its contents kept.
        {"db/print_job.db-journal", kFolderPlant, "/inside", true},
        {"db/print_job.db-wal", kFolderPlant, "/inside", true},
        {"db/print_job.db-shm", kFolderPlant, "/inside", true},
        // The table itself: a folder, or a file of his in its place (one this backend could not
        // write), is moved aside and a table made anew.
        {"db/print_job.db", kFolderPlant, "/inside", true},
        {"db/print_job.db", "umask 022; echo kept > \"$1.m\" && mv -f \"$1.m\" \"$1\"", "", true},
    };
    for (const auto &plant : cases) {
        const std::string what = plant.name;
        useFreshRoot();
        openSpoolTree();
        const QString folder = root() + u'/' + QLatin1String(plant.name);
        ASSERT_TRUE(OtherUser::runScript(QLatin1String(plant.plant), {folder})) << what;

        const BackendOutcome outcome = run(jobArguments(kJobId, ""), kPdf);

        EXPECT_EQ(outcome.status, CUPS_BACKEND_OK) << what << outcome.messages.constData();
        EXPECT_EQ(TestSupport::readFile(pdfPath(kJobId)), kPdf) << what;
        EXPECT_TRUE(row(kJobId).has_value()) << what;
        // Whatever the planted folder held is still there, at its name or moved aside.
        QString kept = folder;
        if (plant.movedAside) {
            const QString name = QFileInfo(folder).fileName();
            const QStringList aside =
                QDir(databaseFolder())
                    .entryList({u'.' + name + QStringLiteral(".*.moved")},
                               QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
            ASSERT_EQ(aside.size(), 1) << what;
            // Nothing of his at the name any more (the table may stand there anew).
            EXPECT_NE(TestSupport::readFile(folder + QLatin1String(plant.keptFile)), "kept\n")
                << what;
            kept = databaseFolder() + u'/' + aside.first();
        }
        EXPECT_EQ(TestSupport::readFile(kept + QLatin1String(plant.keptFile)), "kept\n") << what;

        // The job after it arrives.
        ASSERT_EQ(run(jobArguments(kJobId + 1, ""), kPdf).status, CUPS_BACKEND_OK) << what;
        EXPECT_EQ(TestSupport::readFile(pdfPath(kJobId + 1)), kPdf) << what;
        EXPECT_TRUE(row(kJobId + 1).has_value()) << what;
    }
}

TEST_F(PlantedEntryTest, whateverStandsAtTheJobsNameIsMovedAsideAndTheJobPublished)
{
    const struct
    {
        const char *kind;
        const char
            *plant; // run as the other user with the job's path as $1, the outside file as $2
        mode_t type;
    } cases[] = {
        {"file", "echo planted > \"$1\"", S_IFREG},
        {"folder", "mkdir \"$1\" && echo kept > \"$1/inside\"", S_IFDIR},
        {"link", "ln -s \"$2\" \"$1\"", S_IFLNK},
        {"FIFO", "mkfifo \"$1\"", S_IFIFO},
    };
    for (const PdfStaging staging : {PdfStaging::Unnamed, PdfStaging::HiddenName}) {
        for (const auto &plant : cases) {
            const std::string what = std::string(plant.kind) +
                                     (staging == PdfStaging::Unnamed ? ", unnamed" : ", hidden");
            useFreshRoot();
            useStaging(staging);
            openSpoolTree();
            makeOutsideEntries();
            ASSERT_TRUE(
                OtherUser::runScript(QLatin1String(plant.plant), {pdfPath(kJobId), outsideFile()}))
                << what;

            const BackendOutcome outcome = run(jobArguments(kJobId, ""), kPdf);

            EXPECT_EQ(outcome.status, CUPS_BACKEND_OK) << what << outcome.messages.constData();
            struct stat published = {};
            ASSERT_EQ(::lstat(QFile::encodeName(pdfPath(kJobId)).constData(), &published), 0)
                << what;
            EXPECT_TRUE(S_ISREG(published.st_mode)) << what;
            EXPECT_EQ(published.st_nlink, 1u) << what;
            EXPECT_EQ(published.st_uid, ::geteuid()) << what;
            EXPECT_EQ(published.st_mode & 07777, 0644u) << what;
            EXPECT_EQ(TestSupport::readFile(pdfPath(kJobId)), kPdf) << what;
            EXPECT_TRUE(row(kJobId).has_value()) << what;
            expectOutsideUntouched(what);

            // The planted entry is kept as it was, under a name no program takes for a job.
            const QStringList aside = QDir(pdfFolder())
                                          .entryList({QStringLiteral(".21.pdf.*.moved")},
                                                     QDir::AllEntries | QDir::Hidden |
                                                         QDir::System | QDir::NoDotAndDotDot);
            ASSERT_EQ(aside.size(), 1) << what;
            EXPECT_EQ(folderEntries(pdfFolder()), QStringList({aside.first(), "21.pdf"})) << what;
            const QString kept = pdfFolder() + u'/' + aside.first();
            struct stat moved = {};
            ASSERT_EQ(::lstat(QFile::encodeName(kept).constData(), &moved), 0) << what;
            EXPECT_EQ(moved.st_mode & S_IFMT, plant.type) << what;
            EXPECT_NE(moved.st_uid, ::geteuid()) << what;
            if (plant.type == S_IFREG) {
                EXPECT_EQ(TestSupport::readFile(kept), "planted\n") << what;
            } else if (plant.type == S_IFDIR) {
                EXPECT_EQ(TestSupport::readFile(kept + QStringLiteral("/inside")), "kept\n")
                    << what;
            } else if (plant.type == S_IFLNK) {
                EXPECT_EQ(QFileInfo(kept).symLinkTarget(), outsideFile()) << what;
            }
        }
    }
}

TEST_F(PlantedEntryTest, partialFileSwappedByAnotherUserPublishesNothingOfHis)
{
    for (const PdfStaging staging : {PdfStaging::Unnamed, PdfStaging::HiddenName}) {
        const bool unnamed = staging == PdfStaging::Unnamed;
        const std::string what = unnamed ? "unnamed" : "hidden name";
        useFreshRoot();
        useStaging(staging);
        openSpoolTree();
        // While the data is copied, the other user looks for the staged file in the listable
        // folder, renames it away and puts his own file at its name.
        std::optional<QStringList> seenWhileStaging;
        const auto swap = [&] {
            if (!seenWhileStaging) {
                seenWhileStaging = folderEntries(pdfFolder());
                EXPECT_TRUE(OtherUser::runScript(
                    QStringLiteral("cd \"$1\" && for f in .21.*.partial; do [ -e \"$f\" ] || "
                                   "continue; mv \"$f\" stolen && echo foreign > \"$f\"; done"),
                    {pdfFolder()}))
                    << what;
            }
            return false;
        };
        QBuffer data;
        data.setData(kPdf);
        data.open(QIODevice::ReadOnly);

        const BackendOutcome outcome = run(jobArguments(kJobId, ""), data, swap);

        ASSERT_TRUE(seenWhileStaging.has_value()) << what;
        if (unnamed) {
            // Nothing to watch for: the staged file has no name until it is the job's.
            EXPECT_EQ(seenWhileStaging.value(), QStringList()) << what;
            EXPECT_EQ(outcome.status, CUPS_BACKEND_OK) << what << outcome.messages.constData();
            EXPECT_EQ(TestSupport::readFile(pdfPath(kJobId)), kPdf) << what;
            EXPECT_EQ(folderEntries(pdfFolder()), QStringList{QStringLiteral("21.pdf")}) << what;
            continue;
        }
        // A file with a name in his hands is never handed over: CUPS tries the job again.
        ASSERT_EQ(seenWhileStaging->size(), 1) << what;
        EXPECT_EQ(outcome.status, CUPS_BACKEND_FAILED) << what << outcome.messages.constData();
        EXPECT_TRUE(outcome.messages.startsWith("ERROR: ")) << what;
        EXPECT_FALSE(QFileInfo::exists(pdfPath(kJobId))) << what;
        EXPECT_FALSE(row(kJobId).has_value()) << what;
        const QString stolen = pdfFolder() + QStringLiteral("/stolen");
        EXPECT_EQ(TestSupport::readFile(pdfFolder() + u'/' + seenWhileStaging->first()),
                  "foreign\n")
            << what;
        // What he took away stays unreadable to him.
        EXPECT_EQ(modeOf(stolen), 0600u) << what;
        EXPECT_FALSE(OtherUser::runScript(QStringLiteral("cat \"$1\" 2>/dev/null"), {stolen}))
            << what;

        // The job after it arrives.
        ASSERT_EQ(run(jobArguments(kJobId + 1, ""), kPdf).status, CUPS_BACKEND_OK) << what;
        EXPECT_EQ(TestSupport::readFile(pdfPath(kJobId + 1)), kPdf) << what;
    }
}

TEST_F(PlantedEntryTest, jobNameThatCannotBeFreedFailsTheJobForARetry)
{
    // An immutable entry cannot be moved aside, even by root: a fault of the folder, not of the
    // job's document, so CUPS keeps the job to try again rather than cancelling it.
    openSpoolTree();
    ASSERT_TRUE(TestSupport::writeFile(pdfPath(kJobId), "stuck\n"));
    if (QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), pdfPath(kJobId)}) != 0)
        GTEST_SKIP() << "the file system has no immutable files";
    const auto unlock = qScopeGuard([&] {
        QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), pdfPath(kJobId)});
    });

    const BackendOutcome outcome = run(jobArguments(kJobId, ""), kPdf);

    EXPECT_EQ(outcome.status, CUPS_BACKEND_FAILED) << outcome.messages.constData();
    EXPECT_TRUE(outcome.messages.startsWith("ERROR: ")) << outcome.messages.constData();
    EXPECT_TRUE(outcome.messages.contains("21.pdf")) << outcome.messages.constData();
    EXPECT_FALSE(row(kJobId).has_value());
    EXPECT_EQ(folderEntries(pdfFolder()), QStringList{QStringLiteral("21.pdf")});
    EXPECT_EQ(TestSupport::readFile(pdfPath(kJobId)), "stuck\n");
}

} // namespace
