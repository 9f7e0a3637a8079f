#include "UploadFixture.h"

namespace {

constexpr int kRandomJobBytes = 96 * 1024;

} // namespace

void UploadFixture::SetUpTestSuite()
{
    startSuiteSimulator({QStringLiteral("%1:%2:%3").arg(kEntKey, kUser, kPassword),
                         QStringLiteral("%1:%2:%3").arg(kOtherEntKey, "carol", "pw")});
}

void UploadFixture::createService(const QString &iniEntKey, UploadService::Intervals intervals)
{
    ASSERT_NO_FATAL_FAILURE(readIniConfig(sim().httpPort(), iniEntKey));
    createJobQueue(m_loginWindow, intervals);
}

UploadService::Job UploadFixture::makeJob(const QByteArray &content)
{
    return JobQueueFixture::makeJob(content.isEmpty() ? randomPdf(kRandomJobBytes) : content);
}

VQLoginResult UploadFixture::savedIdentity() const
{
    const SimAccount *account =
        sim().context().accounts.find(QString::fromLatin1(kEntKey), QString::fromLatin1(kUser));
    VQLoginResult identity;
    identity.entkey = QString::fromLatin1(kEntKey);
    identity.entId = account ? account->entId : QString();
    identity.userId = account ? account->userId : QString();
    return identity;
}
