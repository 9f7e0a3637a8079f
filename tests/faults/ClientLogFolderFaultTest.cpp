// The client launched with a log folder it cannot create or write (a file stands where the folder
// should be, which stops root as well): it launches all the same, tells standard error (the
// journal) why it has no log files, and still takes a hand-off URL into its job queue.

#include "AppFixture.h"
#include "StderrCapture.h"

#include "foundation/HandoffUrl.h"
#include "foundation/logging/Log.h"
#include "support/TestSupport.h"

#include <QFileInfo>

namespace {

class ClientLogFolderFault : public AppFixture
{};

TEST_F(ClientLogFolderFault, LaunchesSaysWhyAndStillQueuesAHandedOffJob)
{
    ASSERT_TRUE(TestSupport::writeFile(logFolder(), "not a folder"));
    StderrCapture stderrText;
    ASSERT_TRUE(stderrText.isCapturing());

    launch();
    bool answered = false;
    delegate().handleURLEvent(HandoffUrl::build(jobObject(jobPath())), [&] { answered = true; });
    ASSERT_TRUE(TestSupport::waitUntil([&] { return answered; }));
    Log::flush();

    ASSERT_EQ(uploadService().jobArray().size(), 1);
    EXPECT_EQ(uploadService().headJob()->pdfPath, jobPath());
    EXPECT_TRUE(m_quits.isEmpty());
    EXPECT_TRUE(QFileInfo(logFolder()).isFile());
    const QString text = stderrText.text();
    EXPECT_TRUE(text.contains("log files: could not create the log folder " + logFolder()))
        << text.toStdString();
}

} // namespace
