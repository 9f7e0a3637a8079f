#include "CPWDCry.h"

#include <QDateTime>

#include <algorithm>
#include <cstring>

namespace {

// The program's fixed key; no stored data depends on its value.
constexpr std::array<std::uint8_t, 16> CipherKey{0x54, 0x61, 0x72, 0x76, 0x65, 0x6c, 0x6c, 0x6f,
                                                 0x2d, 0x50, 0x57, 0x44, 0x2d, 0x4b, 0x65, 0x79};
constexpr int CipherKeyBits = 128;

// The block tail: 5 marker positions, 6 zero bytes, the 5 displaced bytes.
constexpr int TailLength = 16;
constexpr int MinimumBlockLength = 32;
constexpr int LettersPerByte = 2;
constexpr int MixLettersPerIndex = 2;
constexpr int NibbleValues = 16;
constexpr int AlphabetSize = 26;

bool isMixIndex(int index)
{
    return std::find(CPWDCry::nMixIndex.begin(), CPWDCry::nMixIndex.end(), index) !=
           CPWDCry::nMixIndex.end();
}

int nibbleOf(char letter)
{
    const int value = (static_cast<unsigned char>(letter) - 'A') % NibbleValues;
    return value < 0 ? value + NibbleValues : value;
}

// The padded text length P: at least one block, otherwise the text rounded up to whole blocks.
int paddedLength(int textLength)
{
    const int block = int(TwofishBlockSize);
    if (textLength < block)
        return block;
    return (textLength + block - 1) / block * block;
}

} // namespace

CPWDCry::CPWDCry(SecondsClock clock)
    : m_clock(std::move(clock))
{
    std::memset(&m_key, 0, sizeof m_key);
    twofish_set_key(m_key, CipherKey.data(), CipherKeyBits);
}

std::int64_t CPWDCry::systemSeconds()
{
    return QDateTime::currentSecsSinceEpoch();
}

QByteArray CPWDCry::CryptPWD(const char *text)
{
    return CryptPWD(DefaultFlag, text);
}

QByteArray CPWDCry::CryptPWD(int flag, const char *text)
{
    // Same text in the same second gives the same letters.
    m_random.seed(std::uint32_t(m_clock()));

    std::array<std::uint8_t, MarkerLength> marker{};
    marker[0] = MarkerLength;
    const auto flagBits = std::uint32_t(flag);
    for (int i = 0; i < 4; ++i)
        marker[1 + i] = std::uint8_t(flagBits >> (8 * i));

    const int textLength = text ? int(std::strlen(text)) : 0;
    const int padded = paddedLength(textLength);
    const int length = padded + TailLength;

    std::array<std::uint8_t, MarkerLength> positions{};
    for (int drawn = 0; drawn < MarkerLength;) {
        const std::uint8_t candidate = drawBelow(padded);
        if (std::find(positions.begin(), positions.begin() + drawn, candidate) ==
            positions.begin() + drawn)
            positions[drawn++] = candidate;
    }

    QByteArray block(length, '\0');
    auto *bytes = reinterpret_cast<std::uint8_t *>(block.data());
    if (textLength > 0)
        std::memcpy(bytes, text, size_t(textLength));
    PutData(bytes, length, marker.data(), positions.data(), MarkerLength);
    twofish_encrypt(m_key, size_t(length), bytes, bytes);
    return Data2String(bytes, length);
}

bool CPWDCry::CheckPWD(const char *plainText, const char *letters)
{
    return CheckPWD(DefaultFlag, plainText, letters);
}

bool CPWDCry::CheckPWD(int flag, const char *plainText, const char *letters)
{
    const std::optional<Deciphered> deciphered = decipher(letters);
    return deciphered && deciphered->flag == flag && plainText &&
           deciphered->text == QByteArray(plainText);
}

bool CPWDCry::UnCryptPWD(const char *letters, char *output, int &capacity)
{
    const std::optional<Deciphered> deciphered = decipher(letters);
    if (!deciphered || !output || capacity < 1)
        return false;
    // Always leave room for the terminating zero.
    const int written = std::min(int(deciphered->text.size()), capacity - 1);
    std::memcpy(output, deciphered->text.constData(), size_t(written));
    output[written] = '\0';
    const bool whole = written == deciphered->text.size();
    capacity = written;
    return whole && deciphered->flag == DefaultFlag;
}

bool CPWDCry::PutData(std::uint8_t *block, int length, const std::uint8_t *marker,
                      const std::uint8_t *positions, int count)
{
    const int tail = length - TailLength;
    for (int i = 0; i < count; ++i) {
        if (positions[i] >= length)
            return false;
        block[tail + i] = positions[i];
    }
    for (int i = 0; i < count; ++i) {
        block[length - 1 - i] = block[positions[i]];
        block[positions[i]] = marker[i];
    }
    return true;
}

bool CPWDCry::GetData(std::uint8_t *block, int length, std::uint8_t *marker,
                      std::uint8_t *positions, int count)
{
    const int tail = length - TailLength;
    for (int i = 0; i < count; ++i) {
        positions[i] = block[tail + i];
        if (positions[i] >= length)
            return false;
        marker[i] = block[positions[i]];
        block[positions[i]] = block[length - 1 - i];
    }
    return true;
}

QByteArray CPWDCry::Data2String(const std::uint8_t *block, int length)
{
    QByteArray letters;
    letters.reserve(length * LettersPerByte + int(nMixIndex.size()) * MixLettersPerIndex);
    for (int i = 0; i < length; ++i) {
        if (isMixIndex(i)) {
            for (int mix = 0; mix < MixLettersPerIndex; ++mix)
                letters.append(char('A' + drawBelow(AlphabetSize)));
        }
        letters.append(char('A' + (block[i] & 0x0F)));
        letters.append(char('A' + (block[i] >> 4)));
    }
    return letters;
}

QByteArray CPWDCry::String2Data(const char *letters, int &length)
{
    const int letterCount = letters ? int(std::strlen(letters)) : 0;
    if (letterCount == 0 || letterCount % LettersPerByte != 0)
        return {};
    length = (letterCount - int(nMixIndex.size()) * MixLettersPerIndex) / LettersPerByte;
    if (length < 1)
        return {};

    QByteArray block(length, '\0');
    int skip = 0;
    for (int i = 0; i < length; ++i) {
        if (isMixIndex(i))
            skip += MixLettersPerIndex;
        const int low = nibbleOf(letters[LettersPerByte * i + skip]);
        const int high = nibbleOf(letters[LettersPerByte * i + 1 + skip]);
        block[i] = char(low + NibbleValues * high);
    }
    return block;
}

std::optional<CPWDCry::Deciphered> CPWDCry::decipher(const char *letters) const
{
    int length = 0;
    QByteArray block = String2Data(letters, length);
    if (block.isNull() || length < MinimumBlockLength || length % int(TwofishBlockSize) != 0)
        return std::nullopt;

    auto *bytes = reinterpret_cast<std::uint8_t *>(block.data());
    twofish_decrypt(m_key, size_t(length), bytes, bytes);

    std::array<std::uint8_t, MarkerLength> marker{};
    std::array<std::uint8_t, MarkerLength> positions{};
    if (!GetData(bytes, length, marker.data(), positions.data(), MarkerLength))
        return std::nullopt;
    // The text ends where the tail begins.
    bytes[length - TailLength] = 0;

    Deciphered result;
    result.text = QByteArray(block.constData()); // up to the first zero byte
    std::uint32_t flagBits = 0;
    for (int i = 0; i < 4; ++i)
        flagBits |= std::uint32_t(marker[1 + i]) << (8 * i);
    result.flag = std::int32_t(flagBits);
    return result;
}

std::uint8_t CPWDCry::drawBelow(int bound)
{
    // Positions keep only the low 8 bits, as the block tail stores one byte per position.
    return std::uint8_t(m_random() % std::uint32_t(bound));
}
