#include "client/tools/CPWDCry.h"
#include "client/tools/StringTwoFish.h"

#include <QSet>

#include <gtest/gtest.h>

#include <cstring>

namespace {

constexpr std::int64_t SomeSecond = 1'700'000'000;

CPWDCry::SecondsClock fixedClock(std::int64_t seconds)
{
    return [seconds] { return seconds; };
}

// Places in the letter text that hold random mix letters.
QSet<int> mixLetterPlaces()
{
    QSet<int> places;
    for (int k = 0; k < int(CPWDCry::nMixIndex.size()); ++k) {
        const int start = 2 * CPWDCry::nMixIndex[size_t(k)] + 2 * k;
        places << start << start + 1;
    }
    return places;
}

struct Deciphered
{
    bool succeeded = false;
    int capacity = 0;
    QByteArray text;
};

Deciphered uncrypt(const QByteArray &letters, int capacity = 260)
{
    CPWDCry cipher(fixedClock(SomeSecond));
    QByteArray buffer(capacity, 'x');
    Deciphered result;
    result.capacity = capacity;
    result.succeeded = cipher.UnCryptPWD(letters.constData(), buffer.data(), result.capacity);
    result.text = buffer.left(capacity);
    return result;
}

TEST(CPWDCry, LetterTextLengthFollowsTheBlockLength)
{
    CPWDCry cipher(fixedClock(SomeSecond));
    for (int length = 0; length <= 48; ++length) {
        const QByteArray text(length, 'p');
        const int expected = length <= 16 ? 80 : length <= 32 ? 112 : 144;
        EXPECT_EQ(cipher.CryptPWD(text.constData()).size(), expected) << length;
    }
}

TEST(CPWDCry, RoundTripsTextsOfEveryBlockLength)
{
    CPWDCry cipher(fixedClock(SomeSecond));
    for (const QByteArray &text :
         {QByteArray(""), QByteArray("a"), QByteArray("secret"), QByteArray("exactly16bytes!!"),
          QByteArray("seventeen bytes!!"), QByteArray(32, 'z'), QByteArray(100, 'q')}) {
        SCOPED_TRACE(text.constData());
        const QByteArray letters = cipher.CryptPWD(text.constData());
        const Deciphered deciphered = uncrypt(letters);
        EXPECT_TRUE(deciphered.succeeded);
        EXPECT_EQ(deciphered.capacity, text.size());
        EXPECT_EQ(QByteArray(deciphered.text.constData()), text);
        EXPECT_TRUE(cipher.CheckPWD(text.constData(), letters.constData()));
    }
}

TEST(CPWDCry, SixteenByteTextEndsAtTheTailWithoutPadding)
{
    CPWDCry cipher(fixedClock(SomeSecond));
    const QByteArray letters = cipher.CryptPWD("0123456789abcdef");
    EXPECT_EQ(letters.size(), 80);
    const Deciphered deciphered = uncrypt(letters);
    EXPECT_TRUE(deciphered.succeeded);
    EXPECT_EQ(QByteArray(deciphered.text.constData()), QByteArray("0123456789abcdef"));
    EXPECT_FALSE(cipher.CheckPWD("0123456789abcde", letters.constData()));
    EXPECT_FALSE(cipher.CheckPWD("0123456789abcdef0", letters.constData()));
}

TEST(CPWDCry, LettersRepeatWithinASecondAndDifferAcrossSeconds)
{
    const QByteArray first = CPWDCry(fixedClock(SomeSecond)).CryptPWD("password");
    const QByteArray again = CPWDCry(fixedClock(SomeSecond)).CryptPWD("password");
    const QByteArray later = CPWDCry(fixedClock(SomeSecond + 1)).CryptPWD("password");
    EXPECT_EQ(first, again);
    EXPECT_NE(first, later);
    EXPECT_EQ(QByteArray(uncrypt(later).text.constData()), QByteArray("password"));
}

TEST(CPWDCry, DataLettersStayWithinAToPAndMixLettersWithinAToZ)
{
    const QSet<int> mixPlaces = mixLetterPlaces();
    for (std::int64_t second = SomeSecond; second < SomeSecond + 20; ++second) {
        const QByteArray letters = CPWDCry(fixedClock(second)).CryptPWD("some password text");
        for (int i = 0; i < letters.size(); ++i) {
            const char letter = letters[i];
            EXPECT_TRUE(letter >= 'A' && letter <= 'Z') << i;
            if (!mixPlaces.contains(i)) {
                EXPECT_TRUE(letter >= 'A' && letter <= 'P') << i;
            }
        }
    }
}

TEST(CPWDCry, FlagTravelsInTheMarker)
{
    CPWDCry cipher(fixedClock(SomeSecond));
    const QByteArray letters = cipher.CryptPWD(7, "flagged");
    EXPECT_TRUE(cipher.CheckPWD(7, "flagged", letters.constData()));
    EXPECT_FALSE(cipher.CheckPWD("flagged", letters.constData()));
    EXPECT_FALSE(cipher.CheckPWD(8, "flagged", letters.constData()));

    // Another flag is a failure, yet the text is delivered.
    const Deciphered deciphered = uncrypt(letters);
    EXPECT_FALSE(deciphered.succeeded);
    EXPECT_EQ(QByteArray(deciphered.text.constData()), QByteArray("flagged"));
    EXPECT_EQ(StringTwoFish::twofish_unCryptPWD(QString::fromLatin1(letters)), "flagged");
}

TEST(CPWDCry, MixLettersAndSixteenApartLettersDoNotMatter)
{
    CPWDCry cipher(fixedClock(SomeSecond));
    const QByteArray letters = cipher.CryptPWD("unchanged");
    const QSet<int> mixPlaces = mixLetterPlaces();

    for (const int place : mixPlaces) {
        QByteArray changed = letters;
        changed[place] = changed[place] == 'Z' ? 'A' : char(changed[place] + 1);
        EXPECT_TRUE(cipher.CheckPWD("unchanged", changed.constData())) << place;
    }
    for (int place = 0; place < letters.size(); ++place) {
        if (mixPlaces.contains(place))
            continue;
        QByteArray sixteenAway = letters;
        sixteenAway[place] = char(sixteenAway[place] + 16); // 'A'..'P' -> 'Q'..'`'
        EXPECT_TRUE(cipher.CheckPWD("unchanged", sixteenAway.constData())) << place;

        QByteArray changed = letters;
        changed[place] = changed[place] == 'P' ? 'A' : char(changed[place] + 1);
        EXPECT_FALSE(cipher.CheckPWD("unchanged", changed.constData())) << place;
    }
}

TEST(CPWDCry, RefusesLetterTextsThatCannotHoldABlock)
{
    const QByteArray good = CPWDCry(fixedClock(SomeSecond)).CryptPWD("text");
    const QByteArray cases[] = {
        QByteArray(),
        good.left(79),              // odd
        good.left(78),              // 31 bytes
        good.left(2),               // no byte at all
        good + "AB",                // 33 bytes, not whole blocks
        good + QByteArray(16, 'A'), // 40 bytes, not whole blocks
    };
    for (const QByteArray &letters : cases) {
        SCOPED_TRACE(letters.size());
        const Deciphered deciphered = uncrypt(letters, 16);
        EXPECT_FALSE(deciphered.succeeded);
        EXPECT_EQ(deciphered.capacity, 16) << "capacity changed";
        EXPECT_EQ(deciphered.text, QByteArray(16, 'x')) << "buffer written";
        EXPECT_FALSE(CPWDCry().CheckPWD("text", letters.constData()));
        EXPECT_TRUE(StringTwoFish::twofish_unCryptPWD(QString::fromLatin1(letters)).isNull());
    }
}

TEST(CPWDCry, MarkerPositionOutsideTheBlockIsRefused)
{
    std::uint8_t block[32] = {};
    const std::uint8_t marker[5] = {5, 0xFF, 0xFF, 0xFF, 0xFF};
    const std::uint8_t outside[5] = {1, 2, 3, 4, 32};
    EXPECT_FALSE(CPWDCry::PutData(block, 32, marker, outside, 5));

    const std::uint8_t inside[5] = {1, 2, 3, 4, 5};
    std::uint8_t text[32] = {'a', 'b', 'c', 'd', 'e', 'f'};
    ASSERT_TRUE(CPWDCry::PutData(text, 32, marker, inside, 5));
    EXPECT_EQ(text[16], 1);
    EXPECT_EQ(text[31], 'b'); // displaced by marker byte 0
    EXPECT_EQ(text[27], 'f'); // displaced by marker byte 4
    text[20] = 40;            // a position pointing past the block
    std::uint8_t readMarker[5] = {};
    std::uint8_t readPositions[5] = {};
    EXPECT_FALSE(CPWDCry::GetData(text, 32, readMarker, readPositions, 5));
}

TEST(CPWDCry, TextLongerThanTheBufferIsCutAndReportedAsFailure)
{
    const QByteArray letters = CPWDCry(fixedClock(SomeSecond)).CryptPWD("password");
    const Deciphered deciphered = uncrypt(letters, 4);
    EXPECT_FALSE(deciphered.succeeded);
    EXPECT_EQ(deciphered.capacity, 3);
    EXPECT_EQ(QByteArray(deciphered.text.constData()), QByteArray("pas"));

    const QString longText(300, QLatin1Char('w'));
    const QString cut =
        StringTwoFish::twofish_unCryptPWD(StringTwoFish::twofish_cryptPWD(longText));
    EXPECT_EQ(cut, longText.left(259));
}

TEST(StringTwoFish, RoundTripsUnicodeTextThroughUtf8)
{
    for (const QString &text : {QString(), QStringLiteral("密码123"), QStringLiteral("pässwörd"),
                                QStringLiteral("a somewhat longer pass phrase")}) {
        const QString letters = StringTwoFish::twofish_cryptPWD(text);
        EXPECT_EQ(letters.size(), text.toUtf8().size() <= 16 ? 80 : 112);
        const QString plain = StringTwoFish::twofish_unCryptPWD(letters);
        EXPECT_FALSE(plain.isNull());
        EXPECT_EQ(plain, text.isNull() ? QString("") : text);
    }
}

} // namespace
