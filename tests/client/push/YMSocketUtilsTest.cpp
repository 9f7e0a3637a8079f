#include "ExactChunk.h"
#include "support/LogCapture.h"

#include "client/network/YMSocketUtils.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

#include <functional>

namespace {

TEST(YMSocketUtils, IntegersBecomeLittleEndianBytesAndBack)
{
    EXPECT_EQ(YMSocketUtils::byteFromUInt8(0xAB).toHex(), "ab");
    EXPECT_EQ(YMSocketUtils::bytesFromUInt16(0x1234).toHex(), "3412");
    EXPECT_EQ(YMSocketUtils::bytesFromUInt32(0x101F).toHex(), "1f100000");
    EXPECT_EQ(YMSocketUtils::bytesFromUInt64(0x0102030405060708ULL).toHex(), "0807060504030201");

    EXPECT_EQ(YMSocketUtils::uint32FromBytes(QByteArray::fromHex("ad110000")), 4525u);
    EXPECT_EQ(YMSocketUtils::uint16FromBytes(QByteArray::fromHex("a57d")), 32165);
    EXPECT_EQ(YMSocketUtils::uint8FromBytes(QByteArray::fromHex("ff")), 255);

    EXPECT_EQ(YMSocketUtils::bytesFromValue(0x0A0B0C0D, 3).toHex(), "0d0c0b");
    EXPECT_EQ(YMSocketUtils::bytesFromValue(0x0A0B0C0D, 4, true).toHex(), "0d0c0b0a");
    EXPECT_EQ(YMSocketUtils::bytesFromValue(5, 0), QByteArray());
    EXPECT_EQ(YMSocketUtils::valueFromBytes(QByteArray::fromHex("0d0c0b")), 0x0B0C0Du);
    EXPECT_EQ(YMSocketUtils::valueFromBytes(QByteArray::fromHex("0d0c0b0a"), true), 0x0A0B0C0Du);
    EXPECT_EQ(YMSocketUtils::valueFromBytes(QByteArray()), 0u);

    const QByteArray bytes = QByteArray::fromHex("00ff10");
    EXPECT_EQ(YMSocketUtils::dataWithReverse(bytes), bytes);
}

TEST(YMSocketUtils, HexTexts)
{
    EXPECT_EQ(YMSocketUtils::dataFromHexString(QStringLiteral("00fF1a")).toHex(), "00ff1a");
    EXPECT_EQ(YMSocketUtils::hexStringFromData(QByteArray::fromHex("00ff1a")),
              QStringLiteral("00ff1a"));
    EXPECT_EQ(YMSocketUtils::asciiStringFromHexString(QStringLiteral("Az0~")),
              QStringLiteral("417A307E"));
    EXPECT_EQ(YMSocketUtils::hexStringFromASCIIString(QStringLiteral("417a307E")),
              QStringLiteral("Az0~"));
}

TEST(YMSocketUtils, BrokenLimitsAreReportedWithFileAndLineAndAnsweredSafely)
{
    // Exact blocks: a conversion that read past its input would show in the sanitizer build.
    const ExactChunk three(QByteArray::fromHex("010203"));
    const ExactChunk five(QByteArray::fromHex("0102030405"));
    struct Case
    {
        const char *name;
        std::function<bool()> answeredSafely;
    };
    const Case cases[] = {
        {"uint32 from 3 bytes", [&] { return YMSocketUtils::uint32FromBytes(three.bytes()) == 0; }},
        {"uint32 from 5 bytes", [&] { return YMSocketUtils::uint32FromBytes(five.bytes()) == 0; }},
        {"uint16 from 3 bytes", [&] { return YMSocketUtils::uint16FromBytes(three.bytes()) == 0; }},
        {"uint8 from nothing", [] { return YMSocketUtils::uint8FromBytes({}) == 0; }},
        {"value from 5 bytes", [&] { return YMSocketUtils::valueFromBytes(five.bytes()) == 0; }},
        {"5-byte value", [] { return YMSocketUtils::bytesFromValue(1, 5).isEmpty(); }},
        {"value over 32 bits",
         [] { return YMSocketUtils::bytesFromValue(0x100000000LL, 4).isEmpty(); }},
        {"odd hex text", [] { return YMSocketUtils::dataFromHexString("abc").isEmpty(); }},
        {"empty hex text", [] { return YMSocketUtils::dataFromHexString("").isEmpty(); }},
        {"not hex", [] { return YMSocketUtils::dataFromHexString("zz").isEmpty(); }},
        {"hex of nothing", [] { return YMSocketUtils::hexStringFromData({}).isNull(); }},
        {"hex of non-ASCII",
         [] { return YMSocketUtils::asciiStringFromHexString(QString::fromUtf8("é")).isNull(); }},
        {"characters of odd hex",
         [] { return YMSocketUtils::hexStringFromASCIIString("414").isNull(); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        LogCapture log;

        EXPECT_TRUE(c.answeredSafely());

        ASSERT_EQ(log.processMessages().size(), 1);
        EXPECT_EQ(log.processMessages().first().type, QtCriticalMsg);
        EXPECT_TRUE(log.processMessages().first().text.contains("Assertion failure"));
        EXPECT_TRUE(log.processMessages().first().text.contains(
            QRegularExpression("YMSocketUtils\\.cpp:\\d+")))
            << log.processMessages().first().text.toStdString();
    }
}

} // namespace
