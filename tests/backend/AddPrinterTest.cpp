// scripts/add-printer against stand-ins for the CUPS tools, which record how they were called.

#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class AddPrinterTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir().mkpath(bin()));
        ASSERT_TRUE(QDir().mkpath(serverBin() + "/backend"));
        writeTool(QStringLiteral("lpadmin"),
                  "#!/bin/sh\nprintf '%s\\n' \"$@\" >> \"" + QFile::encodeName(callLog()) + "\"\n");
        writeTool(QStringLiteral("cups-config"),
                  "#!/bin/sh\necho \"" + QFile::encodeName(serverBin()) + "\"\n");
        ASSERT_TRUE(TestSupport::writeFile(ppd(), "*PPD-Adobe: \"4.3\"\n"));
    }

    struct ScriptRun
    {
        int exitCode;
        QByteArray errors;
    };

    ScriptRun addPrinter(const QStringList &arguments)
    {
        QProcess script;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("PATH"),
                           bin() + ':' + environment.value(QStringLiteral("PATH")));
        script.setProcessEnvironment(environment);
        script.start(QStringLiteral("/bin/bash"),
                     QStringList{QStringLiteral(VQM_SOURCE_DIR "/scripts/add-printer")} +
                         arguments);
        if (!script.waitForFinished(30000)) {
            script.kill();
            script.waitForFinished(5000);
            return {-1, "did not end"};
        }
        return {script.exitCode(), script.readAllStandardError()};
    }

    QString bin() const { return m_dir.path() + "/bin"; }
    QString serverBin() const { return m_dir.path() + "/serverbin"; }
    QString callLog() const { return m_dir.path() + "/lpadmin.calls"; }
    QString ppd() const { return m_dir.path() + "/Tarvello.ppd"; }

private:
    void writeTool(const QString &name, const QByteArray &script)
    {
        const QString path = bin() + '/' + name;
        ASSERT_TRUE(TestSupport::writeFile(path, script));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    QTemporaryDir m_dir;
};

TEST_F(AddPrinterTest, setsUpTheEnabledQueueOnTheBackendAndCanRunAgain)
{
    ASSERT_TRUE(TestSupport::writeFile(serverBin() + "/backend/vqmprinter", ""));
    const QByteArray oneCall =
        "-p\nTarvello\n-E\n-v\nvqmprinter:/\n-P\n" + QFile::encodeName(ppd()) + "\n";

    const ScriptRun first = addPrinter({QStringLiteral("--ppd"), ppd()});
    EXPECT_EQ(first.exitCode, 0) << first.errors.constData();
    EXPECT_EQ(TestSupport::readFile(callLog()), oneCall);
    EXPECT_TRUE(first.errors.isEmpty()) << first.errors.constData();

    const ScriptRun second = addPrinter({QStringLiteral("--ppd"), ppd()});
    EXPECT_EQ(second.exitCode, 0) << second.errors.constData();
    EXPECT_EQ(TestSupport::readFile(callLog()), oneCall + oneCall);
}

TEST_F(AddPrinterTest, warnsWhenTheBackendIsNotInstalled)
{
    const ScriptRun run = addPrinter({QStringLiteral("--ppd"), ppd()});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.errors.contains("vqmprinter is not installed")) << run.errors.constData();
}

TEST_F(AddPrinterTest, missingPpdFailsWithoutCallingLpadmin)
{
    const ScriptRun run = addPrinter({QStringLiteral("--ppd"), ppd() + QStringLiteral(".absent")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.errors.contains("cannot read the PPD")) << run.errors.constData();
    EXPECT_FALSE(QFile::exists(callLog()));
}

} // namespace
