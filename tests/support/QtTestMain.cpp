// The main of every test executable: GoogleTest inside a running Qt application object, so that
// tests can use timers, sockets and the event loop.

#include <gtest/gtest.h>

#ifdef VQM_TEST_GUI
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
#ifdef VQM_TEST_GUI
    // Also when the build lists the tests, which runs them without the test environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    TestApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
