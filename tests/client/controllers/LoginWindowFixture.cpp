#include "LoginWindowFixture.h"

#include "support/TestSupport.h"

#include "client/app/AppDelegate.h"

using namespace std::chrono_literals;

void LoginWindowFixture::SetUpTestSuite()
{
    startSuiteSimulator({QStringLiteral("%1:%2:%3").arg(kEntKey, kUser, kPassword)});
}

void LoginWindowFixture::SetUp()
{
    ASSERT_NO_FATAL_FAILURE(JobQueueFixture::SetUp());
    m_pushChannel = std::make_unique<TRSocketManager>(QString::fromLatin1(kChannelTime));
}

void LoginWindowFixture::TearDown()
{
    m_window.reset();
    m_pushChannel.reset();
    JobQueueFixture::TearDown();
}

void LoginWindowFixture::configure(const Ini &ini)
{
    // A window of an earlier configuration goes with the queue it was made for.
    m_window.reset();
    ASSERT_NO_FATAL_FAILURE(readIniConfig(
        sim().httpPort(), ini.entKey, QStringLiteral("NeedQrcode=%1\n").arg(ini.qrLogin ? 1 : 0)));
    createJobQueue(m_windowState);
}

void LoginWindowFixture::openWindow()
{
    ASSERT_NE(m_service, nullptr) << "configure() first";
    const QRect rect = AppDelegate::windowRect(m_config->getIniConfigModel());
    m_window = std::make_unique<LoginWindow>(rect, QStringLiteral("Tarvello"));
    m_window->center();
    auto *form = new MainViewController(rect, {
                                                  .uploadService = *m_service,
                                                  .settings = *m_settings,
                                                  .config = *m_config,
                                                  .socketManager = *m_pushChannel,
                                                  .notifications = *m_notifications,
                                              });
    m_window->setDelegate(form);
    m_window->setContentViewController(form);
    m_window->makeKeyAndOrderFront();
    m_windowState->window = m_window.get();
}

UploadService::Job LoginWindowFixture::appendJob()
{
    const UploadService::Job job = makeJob("%PDF-1.4\n1 0 obj\n<< >>\nendobj\n%%EOF\n");
    m_service->appendJob(job);
    // The queue decides about a first job at once, as it does long before any later event.
    TestSupport::spin(20ms);
    return job;
}
