#pragma once

// A cipher for short texts such as passwords: a text becomes a text of capital letters and back.
// The text is padded into a block, a 5-byte marker carrying a caller-chosen flag is hidden at
// random places of it, the block is enciphered with Twofish and written as letters, with random
// letters mixed in at fixed places.
//
// Each object owns its own key state, keyed with the program's fixed key at construction (all
// objects share that key, so results do not depend on the object). An object is used by one
// thread at a time. Texts are zero-terminated byte strings.

#include "client/tools/TwoFish.h"

#include <QByteArray>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <random>

class CPWDCry
{
public:
    // The current time in whole seconds; it seeds the random draws of each encipherment.
    using SecondsClock = std::function<std::int64_t()>;

    static constexpr int DefaultFlag = -1;
    static constexpr int MarkerLength = 5;
    // Byte indices before which two random letters are mixed into the letter text.
    static constexpr std::array<int, 8> nMixIndex{1, 5, 10, 15, 20, 25, 26, 30};

    explicit CPWDCry(SecondsClock clock = systemSeconds);
    CPWDCry(const CPWDCry &) = delete;
    CPWDCry &operator=(const CPWDCry &) = delete;

    // Returns the letter text of the text, marked with the flag (-1 when none is given).
    QByteArray CryptPWD(const char *text);
    QByteArray CryptPWD(int flag, const char *text);

    // True when the letters decipher to exactly the plain text with the flag (-1 when none).
    bool CheckPWD(const char *plainText, const char *letters);
    bool CheckPWD(int flag, const char *plainText, const char *letters);

    // Deciphers the letters into the output buffer of the given capacity. True only when the
    // marker carries the flag -1 and the whole text fitted. Whenever the text was written (also
    // with another flag, or cut to capacity - 1 bytes), it is zero-terminated and capacity becomes
    // its length; when nothing was written, capacity is left as it was.
    bool UnCryptPWD(const char *letters, char *output, int &capacity);

    // The steps of the block format.
    static bool PutData(std::uint8_t *block, int length, const std::uint8_t *marker,
                        const std::uint8_t *positions, int count);
    static bool GetData(std::uint8_t *block, int length, std::uint8_t *marker,
                        std::uint8_t *positions, int count);
    QByteArray Data2String(const std::uint8_t *block, int length);
    // The block that the letters stand for, with its length in `length`; null when the letters
    // cannot stand for a block.
    static QByteArray String2Data(const char *letters, int &length);

    static std::int64_t systemSeconds();

private:
    struct Deciphered
    {
        QByteArray text;
        std::int32_t flag = 0;
    };

    // The steps that deciphering and checking share; nothing when the letters are refused.
    std::optional<Deciphered> decipher(const char *letters) const;
    std::uint8_t drawBelow(int bound);

    SecondsClock m_clock;
    TwofishKeyState m_key{};
    std::mt19937 m_random;
};
