#include "client/network/TaggedTcpSocket.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QTcpServer>

#include <chrono>

using namespace std::chrono_literals;

namespace {

// A socket connected to a local server whose end of the connection the test drives.
class TaggedTcpSocketTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_server.listen(QHostAddress::LocalHost, 0));
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server,
                         [this] { m_peer = m_server.nextPendingConnection(); });
        ASSERT_TRUE(
            m_socket.connectToHost(QStringLiteral("127.0.0.1"), m_server.serverPort()).ok());
        ASSERT_TRUE(TestSupport::waitUntil([this] { return m_connected && m_peer; }));
    }

    struct Read
    {
        QByteArray data;
        long tag;
    };

    QTcpServer m_server;
    QTcpSocket *m_peer = nullptr;
    bool m_connected = false;
    QList<long> m_wrote;
    QList<Read> m_reads;
    QList<std::optional<Error>> m_disconnects;
    TaggedTcpSocket m_socket{
        {[this](const QString &, quint16) { m_connected = true; },
         [this](long tag) { m_wrote.append(tag); },
         [this](const QByteArray &data, long tag) {
             m_reads.append({data, tag});
         },
         [this](const std::optional<Error> &error) { m_disconnects.append(error); }},
        1 << 16};
};

TEST_F(TaggedTcpSocketTest, QueuedOperationsFinishInOrderWithTheirTags)
{
    m_socket.writeData("first", 1);
    m_socket.writeData(QByteArray(), 2);
    m_socket.writeData("third", 3);
    ASSERT_TRUE(TestSupport::waitUntil([this] { return m_wrote.size() == 3; }));
    EXPECT_EQ(m_wrote, QList<long>({1, 2, 3}));

    m_peer->write("already here");
    TestSupport::spin(100ms);
    EXPECT_TRUE(m_reads.isEmpty()); // nothing is read unless asked for
    m_socket.readData(7);
    m_socket.readData(8);
    ASSERT_TRUE(TestSupport::waitUntil([this] { return m_reads.size() == 1; }));
    EXPECT_EQ(m_reads[0].data, QByteArray("already here"));
    EXPECT_EQ(m_reads[0].tag, 7);

    // The second read is still waiting when the peer sends its last bytes and closes.
    m_peer->write("last");
    m_peer->flush();
    m_peer->close();
    ASSERT_TRUE(TestSupport::waitUntil([this] { return m_disconnects.size() == 1; }));
    ASSERT_EQ(m_reads.size(), 2);
    EXPECT_EQ(m_reads[1].data, QByteArray("last"));
    EXPECT_EQ(m_reads[1].tag, 8);
    ASSERT_TRUE(m_disconnects[0].has_value());
    EXPECT_EQ(m_disconnects[0]->code, int(QAbstractSocket::RemoteHostClosedError));
}

TEST_F(TaggedTcpSocketTest, DisconnectDropsWaitingOperationsAndReportsNoError)
{
    m_socket.readData(1);
    m_socket.disconnect();
    m_peer->write("too late");

    ASSERT_TRUE(TestSupport::waitUntil([this] { return m_disconnects.size() == 1; }));
    EXPECT_FALSE(m_disconnects[0].has_value());
    TestSupport::spin(100ms);
    EXPECT_TRUE(m_reads.isEmpty());
    EXPECT_EQ(m_disconnects.size(), 1);

    // Closed: later operations are ignored and a new connect is allowed.
    m_socket.readData(5);
    m_socket.writeData("ignored", 6);
    TestSupport::spin(50ms);
    EXPECT_TRUE(m_reads.isEmpty());
    EXPECT_TRUE(m_wrote.isEmpty());
    EXPECT_TRUE(m_socket.connectToHost(QStringLiteral("127.0.0.1"), m_server.serverPort()).ok());
}

} // namespace
