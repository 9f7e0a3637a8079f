#include "foundation/logging/LogSetup.h"
#include "foundation/logging/DefaultLogFileNamingPolicy.h"
#include "foundation/logging/Log.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class LogSetupTest : public testing::Test
{
protected:
    void SetUp() override
    {
        LogSetupOptions options;
        options.fileFolder = m_dir.filePath("alog");
        options.naming = std::make_shared<DefaultLogFileNamingPolicy>("Tarvello");
        LogSetup::install(options);
    }

    void TearDown() override { LogSetup::shutdown(); }

    QString logText() const
    {
        const QDir folder(m_dir.filePath("alog"));
        const QStringList names = folder.entryList(QDir::Files);
        EXPECT_EQ(names.size(), 1) << names.join(", ").toStdString();
        return names.isEmpty()
                   ? QString()
                   : QString::fromUtf8(TestSupport::readFile(folder.filePath(names.first())));
    }

    QTemporaryDir m_dir;
};

TEST_F(LogSetupTest, ClientEntryCarriesTimeTwoBlanksAndThePrefix)
{
    const int line = __LINE__ + 1;
    Log::client(QStringLiteral("##version: 2.4.20"));
    Log::flush();
    const QRegularExpression entry(
        QStringLiteral(
            "^\\d{4}/\\d{2}/\\d{2} \\d{2}:\\d{2}:\\d{2}:\\d{3}  f: .*TestBody.*, l: %1,\n"
            "##version: 2\\.4\\.20\n$")
            .arg(line));
    const QString text = logText();
    EXPECT_TRUE(entry.match(text).hasMatch()) << text.toStdString();
}

TEST_F(LogSetupTest, MonitorEntriesHaveNoPrefixAndStayInOrder)
{
    Log::warning(QStringLiteral("first"));
    Log::info(QString::fromUtf8("第二"));
    Log::debug(QStringLiteral("third"));
    Log::flush();
    const QStringList lines = logText().split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3);
    const QRegularExpression time("^\\d{4}/\\d{2}/\\d{2} \\d{2}:\\d{2}:\\d{2}:\\d{3}  ");
    const QStringList messages{"first", QString::fromUtf8("第二"), "third"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(time.match(lines[i]).hasMatch()) << lines[i].toStdString();
        EXPECT_EQ(lines[i].mid(25), messages[i]);
    }
}

TEST_F(LogSetupTest, FlushWaitsForEveryQueuedEntry)
{
    constexpr int kEntries = 20000;
    for (int i = 0; i < kEntries; ++i)
        Log::info(QStringLiteral("entry %1").arg(i));
    Log::flush();
    const QString text = logText();
    EXPECT_EQ(text.count('\n'), kEntries);
    EXPECT_TRUE(text.endsWith(QStringLiteral("entry %1\n").arg(kEntries - 1)));
}

TEST_F(LogSetupTest, ShutdownWritesOutAndRestoresTheFallback)
{
    Log::info(QStringLiteral("last words"));
    LogSetup::shutdown();
    EXPECT_TRUE(logText().endsWith("  last words\n"));
    testing::internal::CaptureStderr();
    Log::info(QStringLiteral("to standard error"));
    Log::flush();
    EXPECT_NE(testing::internal::GetCapturedStderr().find("  to standard error"),
              std::string::npos);
}

} // namespace
