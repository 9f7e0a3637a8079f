#include "client/network/FileSize.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class FileSizeTest : public ::testing::Test
{
protected:
    QString write(const QString &name, qint64 bytes)
    {
        const QString path = m_dir.filePath(name);
        QDir().mkpath(QFileInfo(path).path());
        EXPECT_TRUE(TestSupport::writeFile(path, QByteArray(bytes, 'x')));
        return path;
    }

    QTemporaryDir m_dir;
};

TEST_F(FileSizeTest, FileGivesItsBytesWithAtLeastTwoDigits)
{
    const QList<QPair<qint64, QString>> cases = {{0, "00"}, {5, "05"}, {1234, "1234"}};
    for (const auto &[bytes, text] : cases) {
        EXPECT_EQ(FileSize::fileSize(write(QStringLiteral("f%1").arg(bytes), bytes)), text);
    }
    EXPECT_EQ(FileSize::fileSize(m_dir.filePath(QStringLiteral("missing"))), "0kb");
}

TEST_F(FileSizeTest, DirectoryAddsUpEverythingBelowInDecimalUnits)
{
    const QString folder = m_dir.filePath(QStringLiteral("d"));
    ASSERT_TRUE(QDir().mkpath(folder));
    EXPECT_TRUE(FileSize::fileSize(folder).isNull());

    write(QStringLiteral("d/small"), 10);
    EXPECT_EQ(FileSize::fileSize(folder), "1KB");

    write(QStringLiteral("d/big"), 2500000);
    EXPECT_EQ(FileSize::fileSize(folder), "2.50MB");

    // Directories below count with their own size.
    write(QStringLiteral("d/sub/inner"), 2000);
    const qint64 total = 2500010 + 2000 + QFileInfo(folder + "/sub").size();
    EXPECT_EQ(FileSize::fileSize(folder), QString::asprintf("%.2fMB", total / 1e6));
}

} // namespace
