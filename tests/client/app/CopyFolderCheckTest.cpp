#include "client/platform/CopyFolderCheck.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <pwd.h>
#include <unistd.h>

namespace {

// A copy folder reached through a linked folder above it, as /tmp may be, with one job file in
// it, and a file outside it.
class CopyFolderCheckTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir().mkpath(real("copy/sub")));
        ASSERT_TRUE(QFile::link(real(""), path("linked-tmp")));
        ASSERT_TRUE(TestSupport::writeFile(real("copy/job.pdf"), "%PDF-1.4\n%%EOF"));
        ASSERT_TRUE(TestSupport::writeFile(path("secret.txt"), "secret"));
        ASSERT_TRUE(QFile::link(path("secret.txt"), real("copy/link.pdf")));
        ASSERT_TRUE(QFile::link(path("gone.txt"), real("copy/dangling.pdf")));
        ASSERT_TRUE(QFile::link(path("outside"), real("copy/outside-folder")));
        ASSERT_TRUE(QDir().mkpath(path("outside")));
        ASSERT_TRUE(TestSupport::writeFile(path("outside/other.pdf"), "%PDF"));
        // Another user's document among the copies.
        const struct passwd *nobody = ::getpwnam("nobody");
        ASSERT_NE(nobody, nullptr);
        ASSERT_TRUE(TestSupport::writeFile(real("copy/his.pdf"), "%PDF-1.4\n%%EOF"));
        ASSERT_EQ(::chown(QFile::encodeName(real("copy/his.pdf")).constData(), nobody->pw_uid,
                          nobody->pw_gid),
                  0);
    }

    QString path(const QString &relative) const { return m_dir.path() + u'/' + relative; }
    QString real(const QString &relative) const { return path(QStringLiteral("real/") + relative); }

    QTemporaryDir m_dir;
};

TEST_F(CopyFolderCheckTest, TakesOnlyPlainFilesDirectlyInTheCopyFolder)
{
    const CopyFolderCheck check(path("linked-tmp/copy"));
    struct Case
    {
        const char *what;
        QString pdfPath;
        bool taken;
    };
    const Case cases[] = {
        {"a job file", path("linked-tmp/copy/job.pdf"), true},
        {"the same file by the resolved folder", real("copy/job.pdf"), true},
        {"a missing file inside the folder", path("linked-tmp/copy/gone.pdf"), true},
        {"no path", QString(), false},
        {"an empty path", QStringLiteral(""), false},
        {"a relative path", QStringLiteral("linked-tmp/copy/job.pdf"), false},
        {"a file outside the folder", path("secret.txt"), false},
        {"a file in a folder beside it", path("outside/other.pdf"), false},
        {"a link to a file outside", path("linked-tmp/copy/link.pdf"), false},
        {"a dangling link", path("linked-tmp/copy/dangling.pdf"), false},
        {"another user's file", path("linked-tmp/copy/his.pdf"), false},
        {"a file through a linked folder inside", path("linked-tmp/copy/outside-folder/other.pdf"),
         false},
        {"a subfolder's file", path("linked-tmp/copy/sub/x.pdf"), false},
        {"the subfolder itself", path("linked-tmp/copy/sub"), false},
        {"'..' out of the folder", path("linked-tmp/copy/../secret.txt"), false},
        {"'..' back into the folder", path("linked-tmp/copy/sub/../job.pdf"), false},
        {"'.' inside the path", path("linked-tmp/copy/./job.pdf"), false},
        {"a doubled slash", path("linked-tmp/copy//job.pdf"), false},
        {"the folder itself", path("linked-tmp/copy"), false},
        {"a NUL inside the name", path("linked-tmp/copy/job.pdf") + QChar(0) + QStringLiteral("x"),
         false},
    };
    for (const Case &c : cases) {
        const QString refusal = check.refusal(c.pdfPath);
        EXPECT_EQ(refusal.isNull(), c.taken) << c.what << ": " << qPrintable(refusal);
    }
}

TEST_F(CopyFolderCheckTest, TakesNothingWhileTheCopyFolderIsMissingOrALink)
{
    // A link in the copy folder's place was planted: the folder it leads to is not the copy folder.
    ASSERT_TRUE(QFile::link(real("copy"), path("linked-copy")));
    const QList<QPair<QString, QString>> cases = {
        {path("missing"), path("missing/job.pdf")},
        {path("linked-copy"), path("linked-copy/job.pdf")},
        {path("linked-copy"), real("copy/job.pdf")},
    };
    for (const auto &[copyFolder, pdfPath] : cases) {
        EXPECT_FALSE(CopyFolderCheck(copyFolder).refusal(pdfPath).isNull())
            << qPrintable(copyFolder);
        EXPECT_FALSE(CopyFolderCheck(copyFolder).openCopy(pdfPath)) << qPrintable(copyFolder);
    }
}

TEST_F(CopyFolderCheckTest, OpensTheJobFileItselfForReading)
{
    const CopyFolderCheck check(path("linked-tmp/copy"));
    const Result<FileDescriptor> copy = check.openCopy(path("linked-tmp/copy/job.pdf"));
    ASSERT_TRUE(copy) << qPrintable(copy.error().description);
    char start[8] = {};
    EXPECT_EQ(::read(copy->get(), start, sizeof start), qint64(sizeof start));
    EXPECT_EQ(QByteArray(start, sizeof start), "%PDF-1.4");

    const Result<FileDescriptor> missing = check.openCopy(path("linked-tmp/copy/gone.pdf"));
    ASSERT_FALSE(missing);
    EXPECT_TRUE(CopyFolderCheck::isMissing(missing.error()));
    const Result<FileDescriptor> link = check.openCopy(path("linked-tmp/copy/link.pdf"));
    ASSERT_FALSE(link);
    EXPECT_FALSE(CopyFolderCheck::isMissing(link.error()));
}

} // namespace
