// Entries another local user plants in the spool tree, which every user may write: the backend
// never writes, creates or changes modes through them.

#include "BackendFixture.h"

#include "support/OtherUser.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cups/backend.h>
#include <sys/stat.h>

namespace {

enum class Outcome {
    WritesItsOwnFile, // the job is spooled, its PDF a file of the backend's own
    Fails,            // the job fails with an error line for CUPS
    Refused,          // CUPS cancels this job alone, with the backend's reason
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
        // The job's name: the finished file is renamed over the link itself.
        {"pdf_out/21.pdf", Outcome::WritesItsOwnFile, false},
        // The database is shared with the monitor, so it cannot be replaced: the job fails as
        // for a database that cannot be written.
        {"db/print_job.db", Outcome::Fails, true},
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
                EXPECT_EQ(modeOf(pdfPath(kJobId)), 0666u) << what;
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
        const char *name; // below the spool root
        Outcome outcome;
    } cases[] = {
        // The old form of the temporary name is not used any more.
        {"pdf_out/.21.partial", Outcome::WritesItsOwnFile},
        // No file can replace a folder: that job cannot be handed over.
        {"pdf_out/21.pdf", Outcome::Refused},
        // SQLite's side files: the folder is moved aside, its contents kept.
        {"db/print_job.db-journal", Outcome::WritesItsOwnFile},
        {"db/print_job.db-wal", Outcome::WritesItsOwnFile},
        {"db/print_job.db-shm", Outcome::WritesItsOwnFile},
    };
    for (const auto &plant : cases) {
        const std::string what = plant.name;
        useFreshRoot();
        openSpoolTree();
        const QString folder = root() + u'/' + QLatin1String(plant.name);
        ASSERT_TRUE(OtherUser::runScript(
            QStringLiteral("mkdir \"$1\" && echo kept > \"$1/inside\""), {folder}))
            << what;

        const BackendOutcome outcome = run(jobArguments(kJobId, ""), kPdf);

        if (plant.outcome == Outcome::Refused) {
            EXPECT_EQ(outcome.status, CUPS_BACKEND_CANCEL) << what;
            EXPECT_TRUE(outcome.messages.startsWith("ERROR: ")) << what;
            EXPECT_TRUE(outcome.messages.contains("21.pdf"))
                << what << outcome.messages.constData();
            EXPECT_FALSE(row(kJobId).has_value()) << what;
            EXPECT_EQ(
                QDir(pdfFolder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                QStringList{QStringLiteral("21.pdf")})
                << what;
        } else {
            EXPECT_EQ(outcome.status, CUPS_BACKEND_OK) << what << outcome.messages.constData();
            EXPECT_EQ(TestSupport::readFile(pdfPath(kJobId)), kPdf) << what;
            EXPECT_TRUE(row(kJobId).has_value()) << what;
        }
        // Whatever the planted folder held is still there, at its name or moved aside.
        QString kept = folder;
        if (folder.startsWith(databaseFolder() + u'/')) {
            const QString name = QFileInfo(folder).fileName();
            const QStringList aside =
                QDir(databaseFolder())
                    .entryList({u'.' + name + QStringLiteral(".*.moved")},
                               QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
            ASSERT_EQ(aside.size(), 1) << what;
            EXPECT_FALSE(QFileInfo::exists(folder)) << what;
            kept = databaseFolder() + u'/' + aside.first();
        }
        EXPECT_EQ(TestSupport::readFile(kept + QStringLiteral("/inside")), "kept\n") << what;

        // The job after it arrives.
        ASSERT_EQ(run(jobArguments(kJobId + 1, ""), kPdf).status, CUPS_BACKEND_OK) << what;
        EXPECT_EQ(TestSupport::readFile(pdfPath(kJobId + 1)), kPdf) << what;
        EXPECT_TRUE(row(kJobId + 1).has_value()) << what;
    }
}

} // namespace
