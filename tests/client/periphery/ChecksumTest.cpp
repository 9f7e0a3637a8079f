#include "client/tools/InternetChecksum.h"
#include "client/tools/Ping.h"

#include <QByteArray>

#include <gtest/gtest.h>

#include <cstring>

namespace {

// The checksum's bytes as they would be stored into a message.
QByteArray storedBytes(std::uint16_t checksum)
{
    QByteArray bytes(2, '\0');
    std::memcpy(bytes.data(), &checksum, sizeof checksum);
    return bytes;
}

struct KnownSum
{
    QByteArray data;
    QByteArray checksum; // as stored, whatever the host's byte order
};

const KnownSum KnownSums[] = {
    {QByteArray::fromHex("0001f203f4f5f6f7"), QByteArray::fromHex("220d")},
    {QByteArray::fromHex("0001f2"), QByteArray::fromHex("0dfe")}, // odd: last byte, then zero
    {QByteArray(), QByteArray::fromHex("ffff")},
    {QByteArray(1000, '\xff'), QByteArray::fromHex("0000")}, // many carries folded back
    {QByteArray::fromHex("ff"), QByteArray::fromHex("00ff")},
};

TEST(InternetChecksum, MatchesKnownSumsForEvenAndOddLengths)
{
    for (const KnownSum &known : KnownSums) {
        SCOPED_TRACE(known.data.left(8).toHex().constData());
        EXPECT_EQ(storedBytes(in_cksum(known.data.constData(), size_t(known.data.size()))),
                  known.checksum);
        EXPECT_EQ(
            storedBytes(cal_chksum(reinterpret_cast<const unsigned short *>(known.data.constData()),
                                   int(known.data.size()))),
            known.checksum);
    }
}

TEST(InternetChecksum, MessageCarryingItsChecksumSumsToZero)
{
    QByteArray message = QByteArray::fromHex("0800000012340007") + QByteArray("odd payload");
    const std::uint16_t checksum = in_cksum(message.constData(), size_t(message.size()));
    std::memcpy(message.data() + 2, &checksum, sizeof checksum);
    EXPECT_EQ(in_cksum(message.constData(), size_t(message.size())), 0);
}

} // namespace
