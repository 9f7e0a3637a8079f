// File helpers on real temporary folders: the copy that never follows a link, path helpers and
// the start-up purge of expired spool PDFs.

#include "monitor/PRTools.h"
#include "FileMode.h"
#include "support/OtherUser.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using TestSupport::writeFile;

namespace {

class Files : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(root.isValid()); }
    QString path(const QString &name) const { return root.filePath(name); }

    QTemporaryDir root;
};

} // namespace

TEST_F(Files, CopyCreatesTheMissingFolderAndKeepsTheContent)
{
    ASSERT_TRUE(writeFile(path("1.pdf"), "%PDF-1.4 body"));
    ASSERT_TRUE(PRTools::copyItemAtPath(path("1.pdf"), path("copies/deeper/A.pdf"), false));
    EXPECT_EQ(TestSupport::readFile(path("copies/deeper/A.pdf")), "%PDF-1.4 body");
    EXPECT_TRUE(QFileInfo::exists(path("1.pdf")));
}

TEST_F(Files, CopyOfAMissingSourceNamesIt)
{
    const Result<Done> copied = PRTools::copyItemAtPath(path("gone.pdf"), path("out/A.pdf"), false);
    ASSERT_FALSE(copied);
    EXPECT_EQ(copied.error().domain, QString::fromUtf8("非法的源文件路径"));
    EXPECT_EQ(copied.error().description,
              QString::fromUtf8("源文件路径%1不存在，请检查源文件路径").arg(path("gone.pdf")));
    EXPECT_FALSE(QFileInfo::exists(path("out")));
}

TEST_F(Files, CopyNeverWritesThroughALinkOrOverAnExistingFile)
{
    ASSERT_TRUE(writeFile(path("1.pdf"), "new"));
    ASSERT_TRUE(QDir().mkpath(path("elsewhere")));
    ASSERT_TRUE(writeFile(path("elsewhere/victim"), "precious"));
    ASSERT_TRUE(QDir().mkpath(path("copies")));
    ASSERT_TRUE(writeFile(path("copies/taken.pdf"), "old"));
    ASSERT_TRUE(QFile::link(path("elsewhere/victim"), path("copies/link.pdf")));
    ASSERT_TRUE(QFile::link(path("elsewhere/planted"), path("copies/dangling.pdf")));
    ASSERT_TRUE(QFile::link(path("elsewhere"), path("linked-folder")));

    EXPECT_FALSE(PRTools::copyItemAtPath(path("1.pdf"), path("copies/taken.pdf"), false));
    EXPECT_FALSE(PRTools::copyItemAtPath(path("1.pdf"), path("copies/link.pdf"), false));
    EXPECT_FALSE(PRTools::copyItemAtPath(path("1.pdf"), path("copies/dangling.pdf"), false));
    EXPECT_FALSE(PRTools::copyItemAtPath(path("1.pdf"), path("linked-folder/A.pdf"), false));

    EXPECT_EQ(TestSupport::readFile(path("copies/taken.pdf")), "old");
    EXPECT_EQ(TestSupport::readFile(path("elsewhere/victim")), "precious");
    EXPECT_FALSE(QFileInfo::exists(path("elsewhere/planted")));
    EXPECT_FALSE(QFileInfo::exists(path("elsewhere/A.pdf")));
}

TEST_F(Files, CopyWithOverwriteReplacesTheFileButNotALinksTarget)
{
    ASSERT_TRUE(writeFile(path("1.pdf"), "new"));
    ASSERT_TRUE(writeFile(path("victim"), "precious"));
    ASSERT_TRUE(writeFile(path("taken.pdf"), "old"));
    ASSERT_TRUE(QFile::link(path("victim"), path("link.pdf")));

    EXPECT_TRUE(PRTools::copyItemAtPath(path("1.pdf"), path("taken.pdf"), true));
    EXPECT_EQ(TestSupport::readFile(path("taken.pdf")), "new");
    EXPECT_TRUE(PRTools::copyItemAtPath(path("1.pdf"), path("link.pdf"), true));
    EXPECT_FALSE(QFileInfo(path("link.pdf")).isSymLink());
    EXPECT_EQ(TestSupport::readFile(path("victim")), "precious");
}

TEST_F(Files, RemovalHelpers)
{
    EXPECT_TRUE(PRTools::removeFileAtPath(path("nothing")));
    ASSERT_TRUE(QDir().mkpath(path("folder/inner")));
    ASSERT_TRUE(writeFile(path("folder/inner/file"), ""));
    EXPECT_TRUE(PRTools::removeFileAtPath(path("folder")));
    EXPECT_FALSE(QFileInfo::exists(path("folder")));
    EXPECT_FALSE(PRTools::removeItemAtPath(path("folder")));
}

TEST(PRToolsPaths, DirectoryAtPath)
{
    const QList<std::pair<QString, QString>> cases = {
        {"/tmp/vqmprinter/A.pdf", "/tmp/vqmprinter"},
        {"/tmp/vqmprinter/", "/tmp"},
        {"/a", "/"},
        {"/", "/"},
        {"name", ""},
    };
    for (const auto &[path, folder] : cases)
        EXPECT_EQ(PRTools::directoryAtPath(path), folder) << path.toStdString();
}

TEST_F(Files, ListingTellsAMissingFolderFromAnEmptyOne)
{
    EXPECT_FALSE(PRTools::contentsOfDirectoryAtPath(path("missing")));
    ASSERT_TRUE(QDir().mkpath(path("empty")));
    ASSERT_TRUE(PRTools::contentsOfDirectoryAtPath(path("empty")));
    EXPECT_TRUE(PRTools::contentsOfDirectoryAtPath(path("empty"))->isEmpty());
}

TEST_F(Files, ExpiredSpoolPdfsAreDeletedByAge)
{
    for (const char *name : {"young.pdf", "old.pdf", "UPPER.PDF", "notes.txt"})
        ASSERT_TRUE(writeFile(path(name), "%PDF"));
    ASSERT_TRUE(QDir().mkpath(path("folder.pdf")));
    const QDateTime created = *PRTools::creationDateOfItemAtPath(path("old.pdf"));

    // Every file was made within this test's first moments, so "now" decides each age.
    PRTools::removeExpiredFilesAtDirPath(root.path(), std::chrono::seconds(600),
                                         created.addSecs(599));
    EXPECT_TRUE(QFileInfo::exists(path("old.pdf")));

    PRTools::removeExpiredFilesAtDirPath(root.path(), std::chrono::seconds(600),
                                         QDateTime::currentDateTime().addSecs(601));
    EXPECT_FALSE(QFileInfo::exists(path("old.pdf")));
    EXPECT_FALSE(QFileInfo::exists(path("young.pdf")));
    EXPECT_FALSE(QFileInfo::exists(path("UPPER.PDF")));
    EXPECT_TRUE(QFileInfo::exists(path("notes.txt")));
    EXPECT_TRUE(QFileInfo(path("folder.pdf")).isDir());
}

TEST_F(Files, SpoolPdfOfADayAndFiveMinutesIsExpired)
{
    ASSERT_TRUE(writeFile(path("7.pdf"), "%PDF"));
    PRTools::removeExpiredFilesAtDirPath(root.path(), std::chrono::seconds(600),
                                         QDateTime::currentDateTime().addSecs(86400 + 300));
    EXPECT_FALSE(QFileInfo::exists(path("7.pdf")));
}

TEST_F(Files, PurgeOfAFolderThatIsNoneTouchesNothingAround)
{
    ASSERT_TRUE(writeFile(path("old.pdf"), "%PDF"));
    const QDateTime late = QDateTime::currentDateTime().addSecs(601);
    // A spool folder that is missing, or whose path names an expired PDF itself.
    for (const char *folder : {"missing", "old.pdf"}) {
        PRTools::removeExpiredFilesAtDirPath(path(folder), std::chrono::seconds(600), late);
        EXPECT_TRUE(QFileInfo::exists(path("old.pdf"))) << folder;
    }
    EXPECT_FALSE(QFileInfo::exists(path("missing")));
}

TEST_F(Files, SharedModeIsGiven)
{
    ASSERT_TRUE(writeFile(path("f"), ""));
    PRTools::setSharedMode(path("f"));
    EXPECT_EQ(fileModeOf(path("f")), 0777u);
    ASSERT_TRUE(QDir().mkpath(path("folder")));
    PRTools::setSharedMode(path("folder"));
    EXPECT_EQ(fileModeOf(path("folder")), 0777u);
}

TEST_F(Files, SharedModeIsNeverGivenThroughAPlantedLink)
{
    ASSERT_TRUE(QDir().mkpath(path("shared")));
    ASSERT_TRUE(OtherUser::shareFolder(path("shared"), root.path()));
    ASSERT_TRUE(writeFile(path("secret"), "precious"));
    ASSERT_TRUE(QDir().mkpath(path("private")));
    for (const char *target : {"secret", "private"}) {
        SCOPED_TRACE(target);
        ASSERT_EQ(::chmod(QFile::encodeName(path(target)).constData(), 0700), 0);
        const QString link = path("shared/") + target;
        ASSERT_TRUE(OtherUser::plantLink(path(target), link));
        PRTools::setSharedMode(link);
        EXPECT_EQ(fileModeOf(path(target)), 0700u);
    }
}
