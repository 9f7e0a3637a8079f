#include "client/platform/CopyFolderCheck.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

// A copy folder reached through a link, as /tmp may be, with one job file in it, and a file
// outside it.
class CopyFolderCheckTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir().mkpath(real("copy/sub")));
        ASSERT_TRUE(QFile::link(real("copy"), path("linked-copy")));
        ASSERT_TRUE(TestSupport::writeFile(real("copy/job.pdf"), "%PDF-1.4\n%%EOF"));
        ASSERT_TRUE(TestSupport::writeFile(path("secret.txt"), "secret"));
        ASSERT_TRUE(QFile::link(path("secret.txt"), real("copy/link.pdf")));
        ASSERT_TRUE(QFile::link(path("gone.txt"), real("copy/dangling.pdf")));
        ASSERT_TRUE(QFile::link(path("outside"), real("copy/outside-folder")));
        ASSERT_TRUE(QDir().mkpath(path("outside")));
        ASSERT_TRUE(TestSupport::writeFile(path("outside/other.pdf"), "%PDF"));
    }

    QString path(const QString &relative) const { return m_dir.path() + u'/' + relative; }
    QString real(const QString &relative) const { return path(QStringLiteral("real/") + relative); }

    QTemporaryDir m_dir;
};

TEST_F(CopyFolderCheckTest, TakesOnlyPlainFilesDirectlyInTheCopyFolder)
{
    const CopyFolderCheck check(path("linked-copy"));
    struct Case
    {
        const char *what;
        QString pdfPath;
        bool taken;
    };
    const Case cases[] = {
        {"a job file", path("linked-copy/job.pdf"), true},
        {"the same file by the resolved folder", real("copy/job.pdf"), true},
        {"a missing file inside the folder", path("linked-copy/gone.pdf"), true},
        {"no path", QString(), false},
        {"an empty path", QStringLiteral(""), false},
        {"a relative path", QStringLiteral("linked-copy/job.pdf"), false},
        {"a file outside the folder", path("secret.txt"), false},
        {"a file in a folder beside it", path("outside/other.pdf"), false},
        {"a link to a file outside", path("linked-copy/link.pdf"), false},
        {"a dangling link", path("linked-copy/dangling.pdf"), false},
        {"a file through a linked folder inside", path("linked-copy/outside-folder/other.pdf"),
         false},
        {"a subfolder's file", path("linked-copy/sub/x.pdf"), false},
        {"the subfolder itself", path("linked-copy/sub"), false},
        {"'..' out of the folder", path("linked-copy/../secret.txt"), false},
        {"'..' back into the folder", path("linked-copy/sub/../job.pdf"), false},
        {"'.' inside the path", path("linked-copy/./job.pdf"), false},
        {"a doubled slash", path("linked-copy//job.pdf"), false},
        {"the folder itself", path("linked-copy"), false},
        {"a NUL inside the name", path("linked-copy/job.pdf") + QChar(0) + QStringLiteral("x"),
         false},
    };
    for (const Case &c : cases) {
        const QString refusal = check.refusal(c.pdfPath);
        EXPECT_EQ(refusal.isNull(), c.taken) << c.what << ": " << qPrintable(refusal);
    }
}

TEST_F(CopyFolderCheckTest, TakesNothingWhileTheCopyFolderIsMissing)
{
    const CopyFolderCheck check(path("missing"));
    EXPECT_FALSE(check.refusal(path("missing/job.pdf")).isNull());
}

} // namespace
