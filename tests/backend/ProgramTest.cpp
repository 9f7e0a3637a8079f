// The installed program itself, in the forms that touch no spool folder.

#include <QProcess>

#include <gtest/gtest.h>

#include <cups/backend.h>

namespace {

struct ProgramRun
{
    int exitCode;
    QByteArray output;
    QByteArray errors;
};

ProgramRun runProgram(const QStringList &arguments)
{
    QProcess program;
    program.start(QStringLiteral(VQMPRINTER_PATH), arguments);
    program.closeWriteChannel();
    if (!program.waitForFinished(30000)) {
        program.kill();
        program.waitForFinished(5000);
        return {-1, {}, "did not end"};
    }
    return {program.exitCode(), program.readAllStandardOutput(), program.readAllStandardError()};
}

TEST(ProgramTest, listsItsDeviceForCups)
{
    const ProgramRun run = runProgram({});
    EXPECT_EQ(run.exitCode, CUPS_BACKEND_OK) << run.errors.constData();
    EXPECT_EQ(run.output, "direct vqmprinter:/ \"Tarvello\" \"Tarvello print client\"\n");
}

TEST(ProgramTest, wrongArgumentsFailWithAnErrorLine)
{
    const ProgramRun run = runProgram({QStringLiteral("1"), QStringLiteral("alice")});
    EXPECT_EQ(run.exitCode, CUPS_BACKEND_FAILED);
    EXPECT_TRUE(run.output.isEmpty());
    EXPECT_TRUE(run.errors.startsWith("ERROR: ")) << run.errors.constData();
}

} // namespace
