#include "PushChannelFixture.h"

#include "support/TestSupport.h"

void PushChannelFixture::SetUp()
{
    ASSERT_TRUE(m_server.listen(QHostAddress::LocalHost, 0).ok());
}

std::unique_ptr<TRSocketManager>
PushChannelFixture::connectedClient(RecordingPushDelegate &delegate, const QString &timeText)
{
    auto client = std::make_unique<TRSocketManager>(timeText);
    client->setDelegate(&delegate);
    connectAndWaitForSubscription(*client);
    return client;
}

void PushChannelFixture::connectAndWaitForSubscription(TRSocketManager &client)
{
    client.connectWithHost(QStringLiteral("127.0.0.1"), m_server.port());
    const QString code = client.qrCodeIndentify();
    EXPECT_TRUE(TestSupport::waitUntil([&] { return !m_server.subscribers(code).isEmpty(); }))
        << "no subscription for " << code.toStdString();
}

bool PushChannelFixture::waitForPackets(const RecordingPushDelegate &delegate, qsizetype count)
{
    return TestSupport::waitUntil([&] { return delegate.packets.size() >= count; });
}
