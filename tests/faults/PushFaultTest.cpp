// The push server sending garbage and then closing the connection, under a running push channel:
// the channel hands on only whole packets (a real one sent before the garbage arrives intact),
// keeps no more than its bound of bytes, reports and logs the disconnect, and stays closed (it
// neither reconnects nor subscribes again), while the process goes on.

#include "RecordingPushDelegate.h"

#include "client/network/PushStreamAssembler.h"
#include "client/network/TRSocketManager.h"
#include "support/LogCapture.h"
#include "support/TestSupport.h"

#include <QHostAddress>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtEndian>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

constexpr auto kTimeText = "20260110093015";
constexpr qsizetype kSubscribeSize = 70;
constexpr std::chrono::milliseconds kQuietPeriod = 300ms;

QByteArray frame(quint32 bodySize, quint32 mainCmd, const QByteArray &body)
{
    QByteArray bytes(NetPackModel::kHeaderSize, '\0');
    qToLittleEndian<quint32>(bodySize, bytes.data());
    qToLittleEndian<quint32>(mainCmd, bytes.data() + 4);
    return bytes + body;
}

// Bytes of a broken server: random runs, headers with random body sizes (some above the limit)
// and a last packet cut short.
QByteArray garbage(quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray bytes;
    for (int run = 0; run < 64; ++run) {
        QByteArray noise(random.bounded(1, 4096), '\0');
        for (char &c : noise)
            c = char(random.bounded(256));
        const quint32 bodySize =
            random.bounded(4) == 0 ? random.generate() : random.bounded(1u, 8192u);
        bytes += frame(bodySize,
                       random.bounded(2) ? NetPackModel::kMainCmdQrLoginResult : random.generate(),
                       noise);
    }
    return bytes + frame(4096, NetPackModel::kMainCmdQrLoginResult, "cut short");
}

struct GarbageCase
{
    const char *name;
    quint32 seed;
};

class PushFaultTest : public ::testing::TestWithParam<GarbageCase>
{};

TEST_P(PushFaultTest, GarbageThenCloseLeavesTheChannelClosedAndHandsOnOnlyWholePackets)
{
    LogCapture log;
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    QList<QTcpSocket *> peers;
    QObject::connect(&server, &QTcpServer::newConnection, &server,
                     [&] { peers << server.nextPendingConnection(); });
    RecordingPushDelegate delegate;
    TRSocketManager channel(QString::fromLatin1(kTimeText));
    channel.setDelegate(&delegate);
    channel.connectWithHost(QStringLiteral("127.0.0.1"), server.serverPort());
    ASSERT_TRUE(TestSupport::waitUntil(
        [&] { return !peers.isEmpty() && peers.first()->bytesAvailable() == kSubscribeSize; }));
    TestSupport::spin(50ms);

    const QByteArray record = channel.qrCodeIndentify().toLatin1() + ";{\"code\":\"alice\"}";
    const QByteArray real =
        frame(quint32(record.size() + 1), NetPackModel::kMainCmdQrLoginResult, record + '\0');
    QTcpSocket *peer = peers.first();
    peer->write(real + garbage(GetParam().seed));
    peer->disconnectFromHost();

    ASSERT_TRUE(TestSupport::waitUntil([&] { return !delegate.disconnects.isEmpty(); }));
    TestSupport::spin(kQuietPeriod);

    ASSERT_FALSE(delegate.packets.isEmpty());
    EXPECT_EQ(delegate.packets.first().content, QString::fromLatin1(record));
    for (const NetPackModel &packet : delegate.packets) {
        EXPECT_LE(packet.packBodySize, PushStreamAssembler::kMaxBodySize);
        if (!packet.content.isNull()) {
            EXPECT_EQ(packet.content.toUtf8().size(), qsizetype(packet.packBodySize) - 1);
        }
    }
    EXPECT_EQ(delegate.disconnects.size(), 1);
    EXPECT_FALSE(channel.isConnected());
    EXPECT_EQ(log.count(QStringLiteral("##socket didDisconnect")), 1);
    EXPECT_EQ(peers.size(), 1) << "the channel connected again";
    EXPECT_EQ(delegate.connects.size(), 1);
}

INSTANTIATE_TEST_SUITE_P(Streams, PushFaultTest,
                         ::testing::Values(GarbageCase{"First", 1}, GarbageCase{"Second", 2},
                                           GarbageCase{"Third", 20260110}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
