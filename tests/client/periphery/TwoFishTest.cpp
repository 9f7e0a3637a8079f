#include "client/tools/TwoFish.h"

#include <QByteArray>

#include <gtest/gtest.h>

namespace {

QByteArray fromHex(const char *hex)
{
    return QByteArray::fromHex(hex);
}

const auto *bytes(const QByteArray &data)
{
    return reinterpret_cast<const std::uint8_t *>(data.constData());
}

// The published 128-bit known answers, each key and plaintext chained from the one before.
struct KnownAnswer
{
    const char *key;
    const char *plaintext;
    const char *ciphertext;
};

constexpr KnownAnswer KnownAnswers[] = {
    {"00000000000000000000000000000000", "00000000000000000000000000000000",
     "9F589F5CF6122C32B6BFEC2F2AE8C35A"},
    {"00000000000000000000000000000000", "9F589F5CF6122C32B6BFEC2F2AE8C35A",
     "D491DB16E7B1C39E86CB086B789F5419"},
    {"9F589F5CF6122C32B6BFEC2F2AE8C35A", "D491DB16E7B1C39E86CB086B789F5419",
     "019F9809DE1711858FAAC3A3BA20FBC3"},
    {"D491DB16E7B1C39E86CB086B789F5419", "019F9809DE1711858FAAC3A3BA20FBC3",
     "6363977DE839486297E661C6C9D668EB"},
};

TEST(TwoFish, MeetsThePublished128BitVectorsBothWays)
{
    for (const KnownAnswer &answer : KnownAnswers) {
        SCOPED_TRACE(answer.ciphertext);
        TwofishKeyState state{};
        ASSERT_TRUE(twofish_set_key(state, bytes(fromHex(answer.key)), 128));

        const QByteArray plaintext = fromHex(answer.plaintext);
        QByteArray block(int(TwofishBlockSize), '\0');
        auto *out = reinterpret_cast<std::uint8_t *>(block.data());
        twofish_encrypt(state, TwofishBlockSize, out, bytes(plaintext));
        EXPECT_EQ(block.toHex().toUpper(), QByteArray(answer.ciphertext));

        twofish_decrypt(state, TwofishBlockSize, out, out);
        EXPECT_EQ(block, plaintext);
    }
}

TEST(TwoFish, EnciphersEachBlockOnItsOwn)
{
    TwofishKeyState state{};
    ASSERT_TRUE(twofish_set_key(state, bytes(QByteArray(16, '\0')), 128));
    QByteArray blocks(2 * int(TwofishBlockSize), '\0');
    auto *data = reinterpret_cast<std::uint8_t *>(blocks.data());
    twofish_encrypt(state, size_t(blocks.size()), data, data);
    EXPECT_EQ(blocks.left(16), blocks.mid(16));
    EXPECT_EQ(blocks.left(16).toHex().toUpper(), QByteArray("9F589F5CF6122C32B6BFEC2F2AE8C35A"));
}

TEST(TwoFish, RefusesKeyLengthsThatAreNotTwofishKeys)
{
    TwofishKeyState state{};
    const QByteArray key(32, '\x01');
    for (const int bits : {0, 64, 127, 129, 512})
        EXPECT_FALSE(twofish_set_key(state, bytes(key), bits)) << bits;
    for (const int bits : {128, 192, 256})
        EXPECT_TRUE(twofish_set_key(state, bytes(key), bits)) << bits;
}

} // namespace
