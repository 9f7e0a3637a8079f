#include "AppFixture.h"

#include "client/network/FTPFileUpload.h"
#include "foundation/TextHelpers/Base64.h"
#include "foundation/logging/LogSetup.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QHostAddress>
#include <QThreadPool>

namespace {

// A port on 127.0.0.1 that nothing listens on: taken from the system, then given back.
quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

} // namespace

void AppFixture::SetUp()
{
    ASSERT_TRUE(m_dir.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(path(QStringLiteral("config"))));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(path(QStringLiteral("run"))));
    ASSERT_TRUE(QDir().mkpath(copyFolder()));
    ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("run"))));
    ASSERT_TRUE(TestSupport::writeFile(jobPath(), "%PDF-1.4\n1 0 obj\n%%EOF\n"));
    ASSERT_TRUE(m_pushServer.listen(QHostAddress::LocalHost, 0));
    writeIni();
}

void AppFixture::TearDown()
{
    m_shown->openGate();
    QThreadPool::globalInstance()->waitForDone();
    m_delegate.reset();
    m_uploadService.reset();
    m_eventManager.reset();
    if (m_logging)
        LogSetup::shutdown();
}

void AppFixture::writeIni(const QString &entKey)
{
    const QString ini = QStringLiteral("PrinterName=Tarvello\nServiceIP=127.0.0.1\n"
                                       "ServicePort=%1\nEnableHttps=0\nEntKey=%2\nNeedQrcode=1\n")
                            .arg(closedPort())
                            .arg(entKey);
    ASSERT_TRUE(TestSupport::writeFile(path(QStringLiteral("setup.ini")), ini.toUtf8()));
}

void AppFixture::setIdleIntervals(std::chrono::milliseconds interval)
{
    m_intervals = UploadService::Intervals{interval, interval};
}

UploadService &AppFixture::uploadService()
{
    if (!m_uploadService) {
        m_uploadService = std::make_unique<UploadService>(UploadService::Collaborators{
            .settings = m_settings,
            .config = m_config,
            .http = m_http,
            .notifications = m_notifications,
            .notificationCenter = m_notificationCenter,
            .loginWindow = nullptr,
            .ftpUploader = [] { return std::make_unique<FTPFileUpload>(); },
            .exitProcess = [this](int status) { m_idleExits << status; },
            .intervals = m_intervals,
            .jobFolder = copyFolder(),
        });
    }
    return *m_uploadService;
}

AppDelegate &AppFixture::delegate()
{
    if (!m_delegate) {
        m_delegate = std::make_unique<AppDelegate>(AppDelegate::Collaborators{
            .settings = m_settings,
            .config = m_config,
            .pushChannel = m_pushChannel,
            .notifications = m_notifications,
            .notificationCenter = m_notificationCenter,
            .uploadService = [this]() -> UploadService & { return uploadService(); },
            .exitProcess = [this](int status) { m_quits << status; },
            .trayNotifications = nullptr,
            .logFolder = logFolder(),
            .syslogIdent = QString(),
            .copyFolder = copyFolder(),
            .pushPort = m_pushServer.serverPort(),
        });
    }
    return *m_delegate;
}

void AppFixture::launch(UrlEventSource *eventManager)
{
    if (!eventManager) {
        UrlEventSource::Options options;
        options.folder = path(QStringLiteral("run"));
        m_eventManager = std::make_unique<UrlEventSource>(options);
        m_eventManager->start({});
        eventManager = m_eventManager.get();
    }
    delegate().applicationWillFinishLaunching(*eventManager);
    delegate().applicationDidFinishLaunching();
    m_logging = true;
}

void AppFixture::relaunch()
{
    QThreadPool::globalInstance()->waitForDone();
    m_delegate.reset();
    m_uploadService.reset();
    m_eventManager.reset();
    launch();
}

QJsonObject AppFixture::jobObject(const QString &pdfPath)
{
    return QJsonObject{
        {QStringLiteral("method"), QStringLiteral("print")},
        {QStringLiteral("printjob"), Base64::encode(pdfPath)},
        {QStringLiteral("docname"), Base64::encode(QStringLiteral("Report.pdf"))},
        {QStringLiteral("pagetype"), Base64::encode(QStringLiteral("A4"))},
        {QStringLiteral("papersize"), QStringLiteral("9")},
        {QStringLiteral("orientation"), QStringLiteral("1")},
        {QStringLiteral("duplex"), QStringLiteral("0")},
        {QStringLiteral("copies"), QStringLiteral("2")},
        {QStringLiteral("color"), QStringLiteral("1")},
        {QStringLiteral("pages"), QStringLiteral("3")},
        {QStringLiteral("totalpages"), QStringLiteral("6")},
        {QStringLiteral("jobId"), QStringLiteral("81")},
        {QStringLiteral("version"), QStringLiteral("2.4.20")},
    };
}
