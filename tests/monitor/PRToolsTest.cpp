// File helpers on real temporary folders: the copy between opened folders that never follows a
// link, the shared mode and the start-up purge of expired spool PDFs.

#include "monitor/PRTools.h"
#include "FileMode.h"
#include "OpenedFolder.h"
#include "foundation/SharedFolderFiles.h"
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
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        folder = OpenedFolder::open(root.path());
        ASSERT_TRUE(folder);
    }
    QString path(const QString &name) const { return root.filePath(name); }
    int fd() const { return folder->descriptor(); }

    QTemporaryDir root;
    std::unique_ptr<CheckedFolder> folder;
};

} // namespace

TEST_F(Files, CopyKeepsTheContentAndTellsWhichFileItCopied)
{
    ASSERT_TRUE(writeFile(path("1.pdf"), "%PDF-1.4 body"));
    const Result<struct stat> copied = PRTools::copyItem(fd(), "1.pdf", fd(), "A.pdf", 0777);
    ASSERT_TRUE(copied);
    EXPECT_EQ(TestSupport::readFile(path("A.pdf")), "%PDF-1.4 body");
    EXPECT_EQ(fileModeOf(path("A.pdf")), 0777u);
    EXPECT_TRUE(QFileInfo::exists(path("1.pdf")));
    struct stat source = {};
    ASSERT_EQ(::stat(QFile::encodeName(path("1.pdf")).constData(), &source), 0);
    EXPECT_EQ(copied->st_ino, source.st_ino);
}

TEST_F(Files, CopyOfAMissingSourceNamesIt)
{
    const Result<struct stat> copied = PRTools::copyItem(fd(), "gone.pdf", fd(), "A.pdf", 0777);
    ASSERT_FALSE(copied);
    EXPECT_EQ(copied.error().domain, QString::fromUtf8("非法的源文件路径"));
    EXPECT_EQ(copied.error().description,
              QString::fromUtf8("源文件路径%1不存在，请检查源文件路径").arg("gone.pdf"));
    EXPECT_FALSE(QFileInfo::exists(path("A.pdf")));
}

TEST_F(Files, CopyNeverReadsOrWritesThroughALinkOrOverAnExistingFile)
{
    ASSERT_TRUE(writeFile(path("1.pdf"), "new"));
    ASSERT_TRUE(QDir().mkpath(path("elsewhere")));
    ASSERT_TRUE(writeFile(path("elsewhere/victim"), "precious"));
    ASSERT_TRUE(writeFile(path("taken.pdf"), "old"));
    ASSERT_TRUE(QFile::link(path("elsewhere/victim"), path("link.pdf")));
    ASSERT_TRUE(QFile::link(path("elsewhere/planted"), path("dangling.pdf")));

    for (const char *destination : {"taken.pdf", "link.pdf", "dangling.pdf"})
        EXPECT_FALSE(PRTools::copyItem(fd(), "1.pdf", fd(), destination, 0777)) << destination;
    EXPECT_FALSE(PRTools::copyItem(fd(), "link.pdf", fd(), "B.pdf", 0777));

    EXPECT_EQ(TestSupport::readFile(path("taken.pdf")), "old");
    EXPECT_EQ(TestSupport::readFile(path("elsewhere/victim")), "precious");
    EXPECT_FALSE(QFileInfo::exists(path("elsewhere/planted")));
    EXPECT_FALSE(QFileInfo::exists(path("B.pdf")));
}

TEST_F(Files, ExpiredSpoolPdfsAreDeletedByAge)
{
    for (const char *name : {"young.pdf", "old.pdf", "UPPER.PDF", "notes.txt"})
        ASSERT_TRUE(writeFile(path(name), "%PDF"));
    ASSERT_TRUE(QDir().mkpath(path("folder.pdf")));
    const QDateTime created = SharedFolderFiles::entryStatus(fd(), "old.pdf")->created;

    // Every file was made within this test's first moments, so "now" decides each age.
    PRTools::removeExpiredFiles(fd(), std::chrono::seconds(600), created.addSecs(599));
    EXPECT_TRUE(QFileInfo::exists(path("old.pdf")));

    PRTools::removeExpiredFiles(fd(), std::chrono::seconds(600),
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
    PRTools::removeExpiredFiles(fd(), std::chrono::seconds(600),
                                QDateTime::currentDateTime().addSecs(86400 + 300));
    EXPECT_FALSE(QFileInfo::exists(path("7.pdf")));
}

TEST_F(Files, PurgeLeavesLinksAndWhatTheyLeadToAlone)
{
    ASSERT_TRUE(QDir().mkpath(path("elsewhere")));
    ASSERT_TRUE(writeFile(path("elsewhere/old.pdf"), "%PDF"));
    ASSERT_TRUE(QFile::link(path("elsewhere/old.pdf"), path("linked.pdf")));
    ASSERT_TRUE(QFile::link(path("elsewhere"), path("folder.pdf")));
    PRTools::removeExpiredFiles(fd(), std::chrono::seconds(600),
                                QDateTime::currentDateTime().addSecs(601));
    EXPECT_TRUE(QFileInfo(path("linked.pdf")).isSymLink());
    EXPECT_TRUE(QFileInfo(path("folder.pdf")).isSymLink());
    EXPECT_TRUE(QFileInfo::exists(path("elsewhere/old.pdf")));
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
