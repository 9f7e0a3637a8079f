#include "ExactChunk.h"
#include "support/LogCapture.h"

#include "client/network/NetPackModel.h"

#include <gtest/gtest.h>

#include <QtEndian>

namespace {

const QString kCode = QStringLiteral("0123456789ABCDEF0123456789ABCDEF");
const QString kUnknownTypeLine = QString::fromUtf8("RequestSpliceAttribute:未知类型");

QByteArray header(quint32 bodySize, quint32 mainCmd, quint32 subCmd)
{
    QByteArray bytes(NetPackModel::kHeaderSize, '\0');
    qToLittleEndian<quint32>(bodySize, bytes.data());
    qToLittleEndian<quint32>(mainCmd, bytes.data() + 4);
    qToLittleEndian<quint32>(subCmd, bytes.data() + 8);
    return bytes;
}

TEST(NetPackModelEncode, SubscribePacketIsByteForByteTheWireFormat)
{
    const QByteArray expected = QByteArray::fromHex("32000000"
                                                    "1F100000"
                                                    "00000000"
                                                    "A57D"
                                                    "0100"
                                                    "00000000") +
                                kCode.toLatin1() + QByteArray(18, '\0');

    const QByteArray packet = NetPackModel::modelToData(4127, 0, kCode);

    EXPECT_EQ(packet.size(), 70);
    EXPECT_EQ(packet.toHex(), expected.toHex());
}

TEST(NetPackModelEncode, BodyIsPaddedToFiftyBytesAndLongerTextsAreWrittenWhole)
{
    struct Case
    {
        const char *name;
        QString content;
        qsizetype textBytes;
        quint32 bodySize;
    };
    const QString chinese = QString::fromUtf8("打印");
    const Case cases[] = {
        {"no content", QString(), 0, 50},
        {"empty", QStringLiteral(""), 0, 50},
        {"49 characters", QString(49, u'x'), 49, 50},
        {"50 characters", QString(50, u'x'), 50, 50},
        {"60 characters", QString(60, u'x'), 60, 60},
        // 20 characters but 60 bytes: the body size counts what is written.
        {"multi-byte text", chinese.repeated(10), 60, 60},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray packet = NetPackModel::modelToData(4525, 7, c.content);
        const QByteArray body = packet.mid(NetPackModel::kHeaderSize);
        const QByteArray text = c.content.toUtf8();

        EXPECT_EQ(qFromLittleEndian<quint32>(packet.constData()), c.bodySize);
        EXPECT_EQ(qFromLittleEndian<quint32>(packet.constData() + 8), 7u);
        EXPECT_EQ(body.size(), std::max<qsizetype>(c.textBytes, 50));
        EXPECT_EQ(body.left(c.textBytes), text);
        EXPECT_EQ(body.mid(c.textBytes), QByteArray(body.size() - c.textBytes, '\0'));
    }
}

TEST(NetPackModelEncode, EncodedPacketsDecodeToWhatWasSent)
{
    const NetPackModel packet = NetPackModel::dataToModel(NetPackModel::modelToData(9, 3, kCode));

    EXPECT_EQ(packet.mainCmd, 9u);
    EXPECT_EQ(packet.subCmd, 3u);
    // The padding after the code is part of the 49 text bytes the body size allows.
    EXPECT_EQ(packet.content, kCode + QString(17, QChar(0)));
}

TEST(NetPackModelDecode, HandlesShortAndWholeChunks)
{
    const QByteArray nineChars = header(10, 4525, 2) + "ABCDEFGHI" + '\0';
    const QByteArray twoPackets =
        header(4, 4525, 0) + "one" + '\0' + header(4, 4127, 0) + "two" + '\0';
    struct Case
    {
        const char *name;
        QByteArray chunk;
        quint32 mainCmd;
        QString content; // null: no content
    };
    const Case cases[] = {
        {"nothing", QByteArray(), 0, QString()},
        {"19 bytes", header(10, 4525, 2).left(19), 0, QString()},
        {"20 bytes", header(10, 4525, 2), 4525, QString()},
        {"body size 10, 9 text bytes", nineChars, 4525, QStringLiteral("ABCDEFGHI")},
        {"body size 10 without its terminator", nineChars.chopped(1), 4525,
         QStringLiteral("ABCDEFGHI")},
        {"two packets", twoPackets, 4525, QStringLiteral("one")},
        {"body size 1", header(1, 4525, 0) + '\0', 4525, QStringLiteral("")},
        {"invalid UTF-8",
         header(4, 4525, 0) +
             "a\xff"
             "b" +
             '\0',
         4525, QString()},
        {"UTF-8 text", header(7, 4525, 0) + QString::fromUtf8("打印").toUtf8() + '\0', 4525,
         QString::fromUtf8("打印")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const ExactChunk chunk(c.chunk);
        const NetPackModel packet = NetPackModel::dataToModel(chunk.bytes());

        EXPECT_EQ(packet.mainCmd, c.mainCmd);
        EXPECT_EQ(packet.content.isNull(), c.content.isNull());
        EXPECT_EQ(packet.content, c.content);
        EXPECT_EQ(packet.indentify, 0);
        EXPECT_EQ(packet.packMask, 0);
    }
    EXPECT_EQ(NetPackModel::dataToModel(nineChars).subCmd, 2u);
    EXPECT_EQ(NetPackModel::dataToModel(nineChars).packBodySize, 10u);
}

TEST(NetPackModelDecode, BodySizesOutsideTheChunkNeverReadBeyondIt)
{
    // Each chunk is an exact heap block, so the sanitizer build catches any read past its end.
    struct Case
    {
        const char *name;
        QByteArray chunk;
    };
    const Case cases[] = {
        {"body size 0", header(0, 4525, 0) + "abc"},
        {"one byte short", header(10, 4525, 0) + "ABCDEFGH"},
        {"body size far beyond the chunk", header(0xFFFFFFFF, 4525, 0) + "abc"},
        {"body size 2, header only", header(2, 4525, 0)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const ExactChunk chunk(c.chunk);
        const NetPackModel packet = NetPackModel::dataToModel(chunk.bytes());

        EXPECT_EQ(packet.mainCmd, 4525u);
        EXPECT_TRUE(packet.content.isNull());
    }
}

} // namespace

// Records with every kind of property the serialiser meets.
class MixedRecord : public BaseSocketModel
{
    Q_GADGET
    Q_PROPERTY(quint8 small MEMBER small)
    Q_PROPERTY(qint32 signedNumber MEMBER signedNumber)
    Q_PROPERTY(quint16 medium MEMBER medium)
    Q_PROPERTY(bool flag MEMBER flag)
    Q_PROPERTY(quint32 word MEMBER word)
    Q_PROPERTY(quint64 wide MEMBER wide)
    Q_PROPERTY(QString text MEMBER text)

public:
    quint8 small = 0xAB;
    qint32 signedNumber = -1;
    quint16 medium = 0x1234;
    bool flag = true;
    quint32 word = 0x01020304;
    quint64 wide = 0x1122334455667788ULL;
    QString text = QStringLiteral("hi");

protected:
    const QMetaObject &recordMetaObject() const override { return staticMetaObject; }
};

class DerivedRecord : public MixedRecord
{
    Q_GADGET
    Q_PROPERTY(quint16 extra MEMBER extra)

public:
    quint16 extra = 0xBEEF;

protected:
    const QMetaObject &recordMetaObject() const override { return staticMetaObject; }
};

namespace {

TEST(BaseSocketModel, WritesKnownTypesInDeclarationOrderAndLogsEachUnknownOne)
{
    LogCapture log;
    MixedRecord record;

    const QByteArray bytes = record.requestSpliceAttribute();

    const QByteArray expected = QByteArray::fromHex("AB"
                                                    "3412"
                                                    "04030201"
                                                    "8877665544332211") +
                                "hi" + QByteArray(48, '\0');
    EXPECT_EQ(bytes.toHex(), expected.toHex());
    EXPECT_EQ(record.data(), bytes);
    EXPECT_EQ(record.object(), bytes);
    EXPECT_EQ(log.processCount(kUnknownTypeLine), 2) << log.processTexts().join('\n').toStdString();
    EXPECT_EQ(log.processMessages().first().type, QtInfoMsg);
}

TEST(BaseSocketModel, SerialisesOnlyTheRecordsOwnPropertiesAndStartsAfreshEachTime)
{
    LogCapture log;
    DerivedRecord record;

    EXPECT_EQ(record.requestSpliceAttribute().toHex(), QByteArray("efbe"));
    record.extra = 1;
    EXPECT_EQ(record.requestSpliceAttribute().toHex(), QByteArray("0100"));
    EXPECT_EQ(log.processCount(kUnknownTypeLine), 0);
}

} // namespace

#include "NetPackModelTest.moc"
