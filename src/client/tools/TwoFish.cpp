#include "TwoFish.h"

namespace {

bool isTwofishKeyLength(int bits)
{
    return bits == 128 || bits == 192 || bits == 256;
}

} // namespace

bool twofish_set_key(TwofishKeyState &state, const std::uint8_t *key, int keyLengthInBits)
{
    if (!isTwofishKeyLength(keyLengthInBits))
        return false;
    nettle_twofish_set_key(&state, std::size_t(keyLengthInBits / 8), key);
    return true;
}

void twofish_encrypt(const TwofishKeyState &state, std::size_t length, std::uint8_t *output,
                     const std::uint8_t *input)
{
    nettle_twofish_encrypt(&state, length, output, input);
}

void twofish_decrypt(const TwofishKeyState &state, std::size_t length, std::uint8_t *output,
                     const std::uint8_t *input)
{
    nettle_twofish_decrypt(&state, length, output, input);
}
