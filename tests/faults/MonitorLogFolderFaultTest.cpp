// The monitor started with a log folder it cannot create or write (here a file stands where the
// folder should be, which stops root as well): it starts all the same, tells standard error (the
// journal) why it has no log files, and hands off the next print.

#include "PdfFixture.h"
#include "StderrCapture.h"

#include "foundation/logging/Log.h"
#include "foundation/logging/LogSetup.h"
#include "monitor/MonitorStartup.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>

using namespace std::chrono_literals;

namespace {

TEST(MonitorLogFolderFault, StartsWithoutLogFilesSaysWhyAndHandsOffTheNextPrint)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString spool = root.filePath("pdf_out");
    ASSERT_TRUE(QDir().mkpath(spool));
    ASSERT_TRUE(TestSupport::writeFile(root.filePath("blocked"), "not a folder"));
    const QString logFolder = root.filePath("blocked/mlog");

    StderrCapture stderrText;
    ASSERT_TRUE(stderrText.isCapturing());
    std::atomic<int> handedOff{0};
    QList<int> exits;
    MonitorStartup::Options options;
    options.spoolFolder = spool;
    options.logFolder = logFolder;
    options.lockFile = root.filePath("vqmmonitor.lock");
    options.copyFolder = root.filePath("copies");
    options.timing = {50ms, 5000ms};
    options.syslogIdent = QString();
    {
        MonitorStartup startup(
            options,
            [&](const CheckedFolder &, const CheckedFolder &) {
                return [&](const QString &jobId) { handedOff += jobId == QLatin1String("51"); };
            },
            [&](int status) { exits << status; }, QThread::currentThread());
        startup.run();
        TestSupport::spin(100ms);

        const QString written = root.filePath("51.pdf");
        PdfFixture::write(written, 1);
        ASSERT_TRUE(QFile::rename(written, QDir(spool).filePath("51.pdf")));
        EXPECT_TRUE(TestSupport::waitUntil([&] { return handedOff == 1; }, 10s));
        Log::flush();
    }
    LogSetup::shutdown();

    EXPECT_TRUE(exits.isEmpty());
    EXPECT_FALSE(QFileInfo(logFolder).exists());
    const QString text = stderrText.text();
    EXPECT_TRUE(text.contains("log files: could not create the log folder " + logFolder))
        << text.toStdString();
    // The statements still reach standard error.
    EXPECT_TRUE(text.contains("monitor new job id : 51")) << text.toStdString();
}

} // namespace
