// The scheme-handler registry and the hand-off through GIO, in a desktop session of temporary
// XDG folders: desktop files whose command records the URL it is given stand in for the client
// and for another application.

#include "monitor/platform/GioSchemeHandlerRegistry.h"
#include "OpenedFolder.h"
#include "PdfFixture.h"
#include "monitor/HandlerService.h"
#include "monitor/db/DBBusiness.h"
#include "support/LogCapture.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

using namespace std::chrono_literals;
using TestSupport::waitUntil;

namespace {

// GIO reads the XDG variables once, at its first use; they are set before main runs.
struct DesktopSession
{
    QTemporaryDir root;

    DesktopSession()
    {
        for (const char *folder : {"data/applications", "config", "dirs", "configdirs"})
            QDir().mkpath(root.filePath(folder));
        ::setenv("XDG_DATA_HOME", QFile::encodeName(root.filePath("data")).constData(), 1);
        ::setenv("XDG_CONFIG_HOME", QFile::encodeName(root.filePath("config")).constData(), 1);
        ::setenv("XDG_DATA_DIRS", QFile::encodeName(root.filePath("dirs")).constData(), 1);
        ::setenv("XDG_CONFIG_DIRS", QFile::encodeName(root.filePath("configdirs")).constData(), 1);
        ::unsetenv("XDG_CURRENT_DESKTOP");
    }

    QString applications() const { return root.filePath("data/applications"); }
    QString mimeapps() const { return root.filePath("config/mimeapps.list"); }
};

DesktopSession &session()
{
    static DesktopSession instance;
    return instance;
}

const bool sessionReady = (session(), true);

const QString kClient = "com.dalvemor.vqm.client";
const QString kViewer = "org.example.viewer";

class GioSession : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sessionReady);
        QDir(session().applications()).removeRecursively();
        QDir().mkpath(session().applications());
        QFile::remove(session().mimeapps());
        for (const QString &app : {kClient, kViewer})
            QFile::remove(recordOf(app));
    }

    static QString recordOf(const QString &app) { return session().root.filePath(app + ".opened"); }

    // A desktop application whose command appends the URL it gets to its record file.
    void install(const QString &app, bool handlesScheme)
    {
        const QString script = session().root.filePath(app + ".sh");
        ASSERT_TRUE(TestSupport::writeFile(script, "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" +
                                                       recordOf(app).toUtf8() + "'\n"));
        QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QByteArray entry = "[Desktop Entry]\nType=Application\nName=" + app.toUtf8() +
                           "\nExec=" + script.toUtf8() + " %u\nNoDisplay=true\n";
        if (handlesScheme)
            entry += "MimeType=x-scheme-handler/vandrix;\n";
        ASSERT_TRUE(TestSupport::writeFile(desktopFile(app), entry));
    }

    static QString desktopFile(const QString &app)
    {
        return QDir(session().applications()).filePath(app + ".desktop");
    }

    // Builds the MIME cache and waits until GIO has noticed the new state of the folders.
    void publish(const QString &expectedHandler)
    {
        ASSERT_EQ(QProcess::execute("update-desktop-database", {session().applications()}), 0);
        ASSERT_TRUE(waitUntil(
            [&] { return registry.defaultHandlerForScheme("vandrix") == expectedHandler; }, 10s))
            << "GIO reports " << registry.defaultHandlerForScheme("vandrix").toStdString();
    }

    QStringList opened(const QString &app) const
    {
        const QString text = QString::fromUtf8(TestSupport::readFile(recordOf(app)));
        return text.split('\n', Qt::SkipEmptyParts);
    }

    GioSchemeHandlerRegistry registry;
};

} // namespace

TEST_F(GioSession, RegistryWithoutAHandlerRegistersTheClient)
{
    install(kClient, false);
    publish(QString());
    EXPECT_TRUE(registry.defaultHandlerForScheme("vandrix").isNull());
    EXPECT_FALSE(registry.defaultApplicationForUrl("vandrix://"));

    EXPECT_EQ(registry.setDefaultHandlerForScheme("vandrix", kClient),
              SchemeHandlerRegistry::kStatusSuccess);
    EXPECT_EQ(registry.defaultHandlerForScheme("vandrix"), kClient);
    const Result<QString> location = registry.defaultApplicationForUrl("vandrix://");
    ASSERT_TRUE(location);
    EXPECT_EQ(location.value(), desktopFile(kClient));
    EXPECT_EQ(registry.identifierOfApplicationAt(location.value()), kClient);

    EXPECT_TRUE(registry.openUrl("vandrix://?params=%7B%7D"));
    ASSERT_TRUE(waitUntil([&] { return !opened(kClient).isEmpty(); }, 10s));
    EXPECT_EQ(opened(kClient), QStringList({"vandrix://?params=%7B%7D"}));
}

TEST_F(GioSession, RegistryCannotRegisterAMissingApplication)
{
    publish(QString());
    EXPECT_EQ(registry.setDefaultHandlerForScheme("vandrix", kClient),
              SchemeHandlerRegistry::kStatusApplicationNotFound);
    EXPECT_TRUE(registry.identifierOfApplicationAt(desktopFile(kClient)).isNull());
}

namespace {

// The whole hand-off of one job through GIO.
class GioHandOff : public GioSession
{
protected:
    void SetUp() override
    {
        GioSession::SetUp();
        ASSERT_TRUE(folders.isValid());
        QDir().mkpath(folders.filePath("pdf_out"));
        database = std::make_unique<DataBaseHelper>(folders.path());
        ASSERT_TRUE(DBBusiness::initWithTable(*database));
        DBJob job;
        job.job_id = 21;
        job.fileName = "QQ==";
        job.copies = "1";
        ASSERT_TRUE(DBBusiness::updateJobs({job}, *database));
        PdfFixture::write(folders.filePath("pdf_out/21.pdf"), 1);
    }

    void handOff()
    {
        const auto spool = OpenedFolder::open(folders.filePath("pdf_out"));
        const auto copies = OpenedFolder::open(folders.filePath("copies"));
        ASSERT_TRUE(spool && copies);
        HandlerService service(*spool, *copies, registry, database.get());
        service.senderMessageWithJobId("21");
    }

    QTemporaryDir folders;
    std::unique_ptr<DataBaseHelper> database;
    LogCapture log;
};

} // namespace

TEST_F(GioHandOff, NoHandlerMakesTheClientTheHandler)
{
    install(kClient, false);
    publish(QString());
    handOff();
    EXPECT_TRUE(log.contains("warning: set default handler for url scheme vandrix error0"));
    EXPECT_EQ(registry.defaultHandlerForScheme("vandrix"), kClient);
    ASSERT_TRUE(waitUntil([&] { return opened(kClient).size() == 1; }, 10s));
    EXPECT_TRUE(opened(kClient).first().startsWith("vandrix://?params=%7B"));
}

TEST_F(GioHandOff, RegisteredClientIsLeftAsItIs)
{
    install(kClient, true);
    publish(kClient);
    handOff();
    EXPECT_TRUE(
        log.contains("info: already registered,applicationURL.path:" + desktopFile(kClient)));
    EXPECT_FALSE(QFile::exists(session().mimeapps()));
    ASSERT_TRUE(waitUntil([&] { return opened(kClient).size() == 1; }, 10s));
}

TEST_F(GioHandOff, HandlerThatIsGoneIsReplacedByTheClient)
{
    install(kClient, false);
    ASSERT_TRUE(TestSupport::writeFile(
        session().mimeapps(), "[Default Applications]\nx-scheme-handler/vandrix=gone.desktop\n"));
    publish(QString());
    handOff();
    EXPECT_TRUE(log.contains("warning: set default handler for url scheme vandrix error0"));
    EXPECT_TRUE(TestSupport::readFile(session().mimeapps())
                    .contains("x-scheme-handler/vandrix=com.dalvemor.vqm.client.desktop"));
    ASSERT_TRUE(waitUntil([&] { return opened(kClient).size() == 1; }, 10s));
}

TEST_F(GioHandOff, AnotherPresentHandlerStaysTheHandler)
{
    install(kClient, false);
    install(kViewer, true);
    publish(kViewer);
    handOff();
    EXPECT_TRUE(
        log.contains("info: already registered,applicationURL.path:" + desktopFile(kViewer)));
    ASSERT_TRUE(waitUntil([&] { return opened(kViewer).size() == 1; }, 10s));
    EXPECT_TRUE(opened(kClient).isEmpty());
}
