#include "client/network/PushStreamAssembler.h"

#include "client/network/NetPackModel.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <QtEndian>

namespace {

// A packet as the push server frames it: body size = text bytes + 1, the text, a zero byte.
QByteArray serverPacket(quint32 mainCmd, const QByteArray &text)
{
    QByteArray bytes(NetPackModel::kHeaderSize, '\0');
    qToLittleEndian<quint32>(quint32(text.size() + 1), bytes.data());
    qToLittleEndian<quint32>(mainCmd, bytes.data() + 4);
    return bytes + text + '\0';
}

QByteArray headerWithBodySize(quint32 bodySize)
{
    QByteArray bytes(NetPackModel::kHeaderSize, '\0');
    qToLittleEndian<quint32>(bodySize, bytes.data());
    qToLittleEndian<quint32>(4525, bytes.data() + 4);
    return bytes;
}

QStringList contents(const QList<QByteArray> &packets)
{
    QStringList texts;
    for (const QByteArray &packet : packets)
        texts << NetPackModel::dataToModel(packet).content;
    return texts;
}

TEST(PushStreamAssembler, WholePacketInOneReadIsDeliveredAsItCame)
{
    PushStreamAssembler assembler;
    const QByteArray packet = serverPacket(4525, "CODE;{\"code\":\"alice\"}");

    const QList<QByteArray> packets = assembler.append(packet);

    ASSERT_EQ(packets.size(), 1);
    // The decoder sees what it saw before reassembly existed: the text, not its terminator.
    EXPECT_EQ(packets.first(), packet.chopped(1));
    EXPECT_EQ(contents(packets), QStringList{"CODE;{\"code\":\"alice\"}"});
    EXPECT_EQ(assembler.pendingSize(), 0);
}

TEST(PushStreamAssembler, PacketCutAnywhereIsReassembled)
{
    const QByteArray packet = serverPacket(4525, "0123456789;{\"a\":1}");
    for (qsizetype cut = 1; cut < packet.size(); ++cut) {
        SCOPED_TRACE(cut);
        PushStreamAssembler assembler;
        const QList<QByteArray> first = assembler.append(packet.left(cut));
        const QList<QByteArray> second = assembler.append(packet.mid(cut));

        // Complete once all but the terminator is there; the terminator is then swallowed.
        const bool completeEarly = cut == packet.size() - 1;
        EXPECT_EQ(first.size(), completeEarly ? 1 : 0);
        EXPECT_EQ(contents(first + second), QStringList{"0123456789;{\"a\":1}"});
        EXPECT_EQ(assembler.pendingSize(), 0);
    }
}

TEST(PushStreamAssembler, SeveralPacketsInOneReadAreDeliveredInOrder)
{
    PushStreamAssembler assembler;
    const QByteArray stream = serverPacket(4525, "first") + serverPacket(1, "second") +
                              headerWithBodySize(0) + serverPacket(4525, "third");

    // The last packet lacks three bytes at first.
    const QList<QByteArray> packets = assembler.append(stream.chopped(3));
    const QList<QByteArray> rest = assembler.append(stream.right(3));

    ASSERT_EQ(packets.size(), 3);
    EXPECT_EQ(NetPackModel::dataToModel(packets[1]).mainCmd, 1u);
    // A body size of 0 is a packet of its header alone.
    EXPECT_EQ(packets[2].size(), NetPackModel::kHeaderSize);
    EXPECT_TRUE(NetPackModel::dataToModel(packets[2]).content.isNull());
    EXPECT_EQ(contents(packets + rest), QStringList({"first", "second", QString(), "third"}));
}

TEST(PushStreamAssembler, LastCountedByteIsTakenWhateverItsValue)
{
    // Body size 4 over "abc" and a last counted byte that is not the usual zero, then the QR
    // result: the result is framed after that byte, however the reads cut the stream.
    const QByteArray result = serverPacket(4525, "CODE;{\"code\":\"alice\"}");
    for (const char lastCountedByte : {'x', '\x01', '\xff'}) {
        const QByteArray stream = headerWithBodySize(4) + "abc" + lastCountedByte + result;
        for (qsizetype cut = 0; cut < stream.size(); ++cut) {
            SCOPED_TRACE(testing::Message() << int(lastCountedByte) << " cut at " << cut);
            PushStreamAssembler assembler;
            QList<QByteArray> packets = assembler.append(stream.left(cut));
            packets += assembler.append(stream.mid(cut));

            ASSERT_EQ(packets.size(), 2);
            EXPECT_EQ(contents(packets), QStringList({"abc", "CODE;{\"code\":\"alice\"}"}));
            EXPECT_EQ(NetPackModel::dataToModel(packets[1]).mainCmd, 4525u);
            EXPECT_EQ(assembler.pendingSize(), 0);
        }
    }
}

TEST(PushStreamAssembler, PacketIsDeliveredBeforeItsLastCountedByteArrives)
{
    PushStreamAssembler assembler;
    const QByteArray first = headerWithBodySize(4) + "abc";

    // All that the decoder reads is there: the packet goes out without waiting for the rest.
    EXPECT_EQ(contents(assembler.append(first)), QStringList{"abc"});
    EXPECT_EQ(assembler.pendingSize(), 0);
    // The byte still due is the first of the next read, and is taken as the packet's.
    EXPECT_EQ(contents(assembler.append("?" + serverPacket(4525, "next"))), QStringList{"next"});
}

TEST(PushStreamAssembler, OversizedBodySizeDropsTheBufferWithALogLine)
{
    LogCapture log;
    PushStreamAssembler assembler;

    const QByteArray broken =
        headerWithBodySize(PushStreamAssembler::kMaxBodySize + 1) + QByteArray(1000, 'x');
    EXPECT_TRUE(assembler.append(broken).isEmpty());
    EXPECT_EQ(assembler.pendingSize(), 0);
    EXPECT_EQ(log.count("push packet body size 65537"), 1) << log.lines().join('\n').toStdString();

    // The largest body allowed still waits for its bytes.
    const QByteArray largest =
        serverPacket(4525, QByteArray(PushStreamAssembler::kMaxBodySize - 1, 'y'));
    EXPECT_TRUE(assembler.append(largest.left(1000)).isEmpty());
    EXPECT_EQ(assembler.append(largest.mid(1000)).size(), 1);
    EXPECT_EQ(assembler.pendingSize(), 0);
}

TEST(PushStreamAssembler, ShortReadsWaitAndResetForgetsThem)
{
    PushStreamAssembler assembler;
    EXPECT_TRUE(assembler.append(headerWithBodySize(5).left(19)).isEmpty());
    EXPECT_EQ(assembler.pendingSize(), 19);

    assembler.reset();

    EXPECT_EQ(contents(assembler.append(serverPacket(4525, "ok"))), QStringList{"ok"});
}

} // namespace
