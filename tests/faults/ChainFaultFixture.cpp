#include "ChainFaultFixture.h"

#include "client/platform/Localizable.h"
#include "client/service/InactiveLoginWindowState.h"

namespace {

// Larger than the fault FTP server's cut, so that an upload is cut halfway.
constexpr int kJobBytes = 256 * 1024;

} // namespace

void ChainFaultFixture::start(const QString &ftpFault, std::chrono::milliseconds transportTimeout)
{
    m_ftp = std::make_unique<FtpServerFixture>(FtpServerFixture::defaultScript(),
                                               QStringList{QStringLiteral("--fault"), ftpFault});
    ASSERT_TRUE(m_ftp->start()) << m_ftp->errorString().toStdString();

    SimOptions options;
    options.accountArguments = {QStringLiteral("%1:%2:%3").arg(kEntKey, kUser, kPassword)};
    options.externalFtp = FtpTargets::Server{QStringLiteral("127.0.0.1"), m_ftp->port(),
                                             m_ftp->user(), m_ftp->password()};
    m_sim = std::make_unique<ServiceSimulator>(std::move(options));
    const auto started = m_sim->start();
    ASSERT_TRUE(started.ok()) << started.error().description.toStdString();
    ASSERT_TRUE(m_proxy.start(m_sim->httpPort()));

    createTransport(transportTimeout);
    ASSERT_NO_FATAL_FAILURE(readIniConfig(m_proxy.port()));
    saveAccount(true);
    createJobQueue(std::make_shared<InactiveLoginWindowState>());
}

void ChainFaultFixture::TearDown()
{
    JobQueueFixture::TearDown();
    m_sim.reset();
    m_ftp.reset();
}

UploadService::Job ChainFaultFixture::appendJob()
{
    const UploadService::Job job = makeJob(randomPdf(kJobBytes));
    m_service->appendJob(job);
    return job;
}

void ChainFaultFixture::loginAgain()
{
    m_service->login(QString::fromLatin1(kUser), QString::fromLatin1(kPassword),
                     QString::fromLatin1(kEntKey), m_service->headJob());
}

QString ChainFaultFixture::uploadSucceededText()
{
    return Localizable::string("Upload succesd");
}

QString ChainFaultFixture::loginSucceededText()
{
    return Localizable::string("Login successful");
}

QString ChainFaultFixture::uploadFailedText()
{
    return QStringLiteral("文件上传失败");
}
