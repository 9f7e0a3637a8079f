#include "PushChannelFixture.h"

#include "foundation/TextHelpers/Md5.h"
#include "support/LogCapture.h"
#include "support/TestSupport.h"

#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtEndian>

#include <chrono>

using namespace std::chrono_literals;

namespace {

// Long enough for a reconnect or a late packet to show, were there one.
constexpr auto kQuietPeriod = 300ms;

using PushChannel = PushChannelFixture;

TEST_F(PushChannel, CodeIsTheUpperCaseMd5OfTheTimeTextAndStaysTheSame)
{
    TRSocketManager client(QString::fromLatin1(kTimeText));
    const QString expected = Md5::MD5ForUpper32Bate(QString::fromLatin1(kTimeText));

    EXPECT_EQ(client.qrCodeIndentify(), expected);
    EXPECT_TRUE(QRegularExpression("^[0-9A-F]{32}$").match(expected).hasMatch());
    EXPECT_EQ(&TRSocketManager::sharedInstance(), &TRSocketManager::sharedInstance());
    EXPECT_EQ(TRSocketManager::sharedInstance().qrCodeIndentify(),
              TRSocketManager::sharedInstance().qrCodeIndentify());
}

TEST_F(PushChannel, SubscribesOnceAfterTheFirstConnectAndLogsEachStep)
{
    LogCapture log;
    RecordingPushDelegate delegate;
    auto client = connectedClient(delegate);

    ASSERT_EQ(delegate.connects.size(), 1);
    EXPECT_EQ(delegate.connects.first().host, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(delegate.connects.first().port, m_server.port());
    EXPECT_TRUE(client->isConnected());
    EXPECT_EQ(m_server.connections().first().codes, QStringList{client->qrCodeIndentify()});
    EXPECT_EQ(
        log.count(
            QStringLiteral("## socket didConnectToHost: 127.0.0.1, port: %1").arg(m_server.port())),
        1);
    EXPECT_EQ(log.count("data length 70"), 1);
    EXPECT_TRUE(TestSupport::waitUntil([&] { return log.processCount("didWriteDataWithTag: 0"); }));

    // A second connection of the same manager does not subscribe again.
    client->disconnect();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return delegate.disconnects.size() == 1; }));
    EXPECT_FALSE(delegate.disconnects.first().has_value());
    EXPECT_EQ(log.count("##socket disconnect"), 1);
    EXPECT_EQ(log.count("##socket didDisconnect...(null)"), 1);
    client->connectWithHost(QStringLiteral("127.0.0.1"), m_server.port());
    ASSERT_TRUE(TestSupport::waitUntil([&] { return delegate.connects.size() == 2; }));
    TestSupport::spin(kQuietPeriod);

    ASSERT_EQ(m_server.connections().size(), 2);
    EXPECT_TRUE(m_server.connections()[1].codes.isEmpty());
    EXPECT_EQ(log.processCount("didWriteDataWithTag"), 1);
}

TEST_F(PushChannel, EachManagerSubscribesItsOwnCode)
{
    RecordingPushDelegate first;
    RecordingPushDelegate second;
    auto a = connectedClient(first, QStringLiteral("20240315093000"));
    auto b = connectedClient(second, QStringLiteral("20240315093001"));

    ASSERT_NE(a->qrCodeIndentify(), b->qrCodeIndentify());
    EXPECT_EQ(m_server.subscribers(a->qrCodeIndentify()).size(), 1);
    EXPECT_EQ(m_server.subscribers(b->qrCodeIndentify()).size(), 1);
    EXPECT_NE(m_server.subscribers(a->qrCodeIndentify()),
              m_server.subscribers(b->qrCodeIndentify()));
}

TEST_F(PushChannel, NothingIsReadBeforeTheSubscribeWriteHasFinished)
{
    // A server that talks first: its packet is there before the client has even written.
    QTcpServer eager;
    ASSERT_TRUE(eager.listen(QHostAddress::LocalHost, 0));
    QByteArray received;
    QTcpSocket *peer = nullptr;
    QObject::connect(&eager, &QTcpServer::newConnection, &eager, [&] {
        peer = eager.nextPendingConnection();
        peer->write(PushServer::frame({4525, 0, QStringLiteral("early")}));
        QObject::connect(peer, &QTcpSocket::readyRead, peer, [&] { received += peer->readAll(); });
    });
    LogCapture log;
    RecordingPushDelegate delegate;
    TRSocketManager client(QString::fromLatin1(kTimeText));
    client.setDelegate(&delegate);

    client.connectWithHost(QStringLiteral("127.0.0.1"), eager.serverPort());

    ASSERT_TRUE(waitForPackets(delegate, 1));
    EXPECT_EQ(delegate.packets.first().content, QStringLiteral("early"));
    EXPECT_EQ(delegate.events, QStringList({"connect", "packet"}));
    const qsizetype wrote = log.processTexts().indexOf("didWriteDataWithTag: 0");
    const qsizetype read = log.processTexts().indexOf("didReadData length: 26, tag: 0");
    ASSERT_GE(wrote, 0);
    EXPECT_GT(read, wrote) << log.processTexts().join('\n').toStdString();
    EXPECT_TRUE(TestSupport::waitUntil([&] { return received.size() == 70; }));
    EXPECT_EQ(received, NetPackModel::modelToData(4127, 0, client.qrCodeIndentify()));
}

TEST_F(PushChannel, PacketsCutOrJoinedByTheServerArriveWhole)
{
    struct Case
    {
        const char *name;
        QList<PushServer::Packet> packets;
        qsizetype splitAt;
        int reads;
    };
    const QString json = QStringLiteral("{\"code\":\"alice\",\"entkey\":\"ACME\"}");
    const Case cases[] = {
        {"header cut in two reads", {{4525, 0, QStringLiteral("header cut")}}, 10, 2},
        {"4525 body cut in two reads", {{4525, 0, QStringLiteral("CODE;") + json}}, 40, 2},
        {"two packets in one write",
         {{4525, 0, QStringLiteral("one")}, {4525, 0, QStringLiteral("two")}},
         0,
         1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        LogCapture log;
        RecordingPushDelegate delegate;
        auto client = connectedClient(delegate);
        TestSupport::spin(50ms); // the subscribe write's read is armed
        const int readsBefore = int(log.processCount("didReadData"));

        ASSERT_EQ(m_server.send(client->qrCodeIndentify(), c.packets, c.splitAt), 1);

        ASSERT_TRUE(waitForPackets(delegate, c.packets.size()));
        TestSupport::spin(kQuietPeriod);
        ASSERT_EQ(delegate.packets.size(), c.packets.size());
        for (qsizetype i = 0; i < c.packets.size(); ++i) {
            EXPECT_EQ(delegate.packets[i].mainCmd, 4525u);
            EXPECT_EQ(delegate.packets[i].content, c.packets[i].content);
            EXPECT_EQ(log.processCount(QStringLiteral("Context=%1").arg(c.packets[i].content)), 1);
        }
        EXPECT_EQ(log.processCount("didReadData") - readsBefore, c.reads);
        client->disconnect();
    }
}

// A client subscribed over a bare server, whose end of the connection the test writes raw
// bytes to.
class PushChannelRawPeer : public PushChannel
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_raw.listen(QHostAddress::LocalHost, 0));
        QObject::connect(&m_raw, &QTcpServer::newConnection, &m_raw,
                         [this] { m_peer = m_raw.nextPendingConnection(); });
        m_client.setDelegate(&m_delegate);
        m_client.connectWithHost(QStringLiteral("127.0.0.1"), m_raw.serverPort());
        ASSERT_TRUE(
            TestSupport::waitUntil([this] { return m_peer && m_peer->bytesAvailable() == 70; }));
        TestSupport::spin(50ms); // the subscribe write's read is armed
    }

    QTcpServer m_raw;
    QTcpSocket *m_peer = nullptr;
    RecordingPushDelegate m_delegate;
    TRSocketManager m_client{QString::fromLatin1(kTimeText)};
};

TEST_F(PushChannelRawPeer, OversizedBodySizeIsDroppedAndTheChannelGoesOn)
{
    LogCapture log;

    // A header announcing 16 MiB, then a flood that never frames a packet (every would-be header
    // announces a body above the limit too).
    QByteArray broken(PushServer::kHeaderSize, '\0');
    qToLittleEndian<quint32>(16u << 20, broken.data());
    qToLittleEndian<quint32>(4525, broken.data() + 4);
    m_peer->write(broken + QByteArray(2 << 20, '\xff'));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return m_peer->bytesToWrite() == 0; }));
    TestSupport::spin(kQuietPeriod);
    // Whatever short tail of the flood is still kept goes with one more would-be header.
    m_peer->write(QByteArray(PushServer::kHeaderSize, '\xff'));
    TestSupport::spin(kQuietPeriod);
    m_peer->write(PushServer::frame({4525, 0, QStringLiteral("after the flood")}));

    ASSERT_TRUE(waitForPackets(m_delegate, 1));
    EXPECT_EQ(m_delegate.packets.size(), 1);
    EXPECT_EQ(m_delegate.packets.first().content, QStringLiteral("after the flood"));
    EXPECT_GE(log.count("push packet body size 16777216 above 65536"), 1);
    EXPECT_TRUE(m_client.isConnected());
}

TEST_F(PushChannelRawPeer, ResultAfterAPacketWithAnOddLastCountedByteArrivesOnce)
{
    // Body size 4 counts "abc" and a last byte that is not zero; the QR result follows in the
    // same write.
    QByteArray odd(PushServer::kHeaderSize, '\0');
    qToLittleEndian<quint32>(4, odd.data());
    qToLittleEndian<quint32>(1, odd.data() + 4);
    const QString result = QStringLiteral("CODE;{\"code\":\"alice\"}");
    m_peer->write(odd + "abc!" + PushServer::frame({4525, 0, result}));

    ASSERT_TRUE(waitForPackets(m_delegate, 2));
    TestSupport::spin(kQuietPeriod);
    ASSERT_EQ(m_delegate.packets.size(), 2);
    EXPECT_EQ(m_delegate.packets[0].content, QStringLiteral("abc"));
    EXPECT_EQ(m_delegate.packets[1].mainCmd, 4525u);
    EXPECT_EQ(m_delegate.packets[1].content, result);
}

TEST_F(PushChannel, ClosedConnectionStaysClosed)
{
    LogCapture log;
    RecordingPushDelegate delegate;
    auto client = connectedClient(delegate);

    ASSERT_EQ(m_server.closeConnections(client->qrCodeIndentify()), 1);

    ASSERT_TRUE(TestSupport::waitUntil([&] { return delegate.disconnects.size() == 1; }));
    EXPECT_FALSE(client->isConnected());
    ASSERT_TRUE(delegate.disconnects.first().has_value());
    EXPECT_FALSE(delegate.disconnects.first()->description.isEmpty());
    EXPECT_EQ(log.count(QStringLiteral("##socket didDisconnect...%1")
                            .arg(delegate.disconnects.first()->description)),
              1);
    TestSupport::spin(kQuietPeriod);
    EXPECT_EQ(m_server.connections().size(), 1);
    EXPECT_EQ(delegate.connects.size(), 1);
}

TEST_F(PushChannel, RefusedConnectsAreReportedAsDisconnects)
{
    LogCapture log;
    RecordingPushDelegate delegate;
    TRSocketManager client(QString::fromLatin1(kTimeText));
    client.setDelegate(&delegate);

    client.connectWithHost(QString(), m_server.port());
    ASSERT_EQ(delegate.disconnects.size(), 1);
    EXPECT_EQ(log.count("socket  connect with host error: "), 1);

    // Nothing listens on a port just freed.
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        closedPort = probe.serverPort();
    }
    client.connectWithHost(QStringLiteral("127.0.0.1"), closedPort);
    // A second request while the first is under way is refused at once.
    client.connectWithHost(QStringLiteral("127.0.0.1"), closedPort);
    EXPECT_EQ(delegate.disconnects.size(), 2);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return delegate.disconnects.size() == 3; }));
    ASSERT_TRUE(delegate.disconnects.last().has_value());
    EXPECT_EQ(delegate.disconnects.last()->code, int(QAbstractSocket::ConnectionRefusedError));
    EXPECT_TRUE(delegate.connects.isEmpty());
    EXPECT_FALSE(client.isConnected());
}

TEST_F(PushChannel, PacketsWithoutADelegateAreLoggedAndDropped)
{
    LogCapture log;
    TRSocketManager client(QString::fromLatin1(kTimeText));
    connectAndWaitForSubscription(client);
    TestSupport::spin(50ms);

    m_server.send(client.qrCodeIndentify(), {{4525, 0, QStringLiteral("nobody listens")}});
    ASSERT_TRUE(TestSupport::waitUntil(
        [&] { return log.processCount("Model Cmd=4525,\nSubCmd=0,\nContext=nobody listens\n"); }));

    RecordingPushDelegate delegate;
    client.setDelegate(&delegate);
    TestSupport::spin(kQuietPeriod);
    EXPECT_TRUE(delegate.packets.isEmpty());

    m_server.send(client.qrCodeIndentify(), {{4525, 0, QStringLiteral("now")}});
    ASSERT_TRUE(waitForPackets(delegate, 1));
    EXPECT_EQ(delegate.packets.first().content, QStringLiteral("now"));
}

TEST_F(PushChannel, DelegateIsHeldWeaklyAndOptionalCallsAreSkipped)
{
    TRSocketManager client(QString::fromLatin1(kTimeText));
    {
        RecordingPushDelegate gone;
        client.setDelegate(&gone);
        EXPECT_EQ(client.delegate(), &gone);
    }
    EXPECT_EQ(client.delegate(), nullptr);

    RequiredOnlyPushDelegate minimal;
    client.setDelegate(&minimal);
    connectAndWaitForSubscription(client);
    TestSupport::spin(50ms);
    m_server.send(client.qrCodeIndentify(), {{4525, 0, QStringLiteral("x")}});
    ASSERT_TRUE(TestSupport::waitUntil([&] { return minimal.packets.size() == 1; }));
    m_server.closeConnections();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !client.isConnected(); }));
    EXPECT_EQ(minimal.connects, 1);

    client.setDelegate(nullptr);
    EXPECT_EQ(client.delegate(), nullptr);
}

} // namespace
