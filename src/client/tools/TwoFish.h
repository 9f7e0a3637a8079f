#pragma once

// The program's Twofish primitives: thin functions over Nettle's Twofish (16 rounds, 16-byte
// blocks, the standard's byte order). Each block is enciphered on its own (electronic codebook).
// A key state is plain data; any thread may use its own state.

#include <nettle/twofish.h>

// Nettle maps these names onto its own functions with macros; from here on they name ours.
#undef twofish_set_key
#undef twofish_encrypt
#undef twofish_decrypt

#include <cstddef>
#include <cstdint>

using TwofishKeyState = twofish_ctx;

inline constexpr std::size_t TwofishBlockSize = TWOFISH_BLOCK_SIZE;

// Keys the state with a key of the given length in bits (128, 192 or 256). Any other length is
// refused (false) and leaves the state as it was.
bool twofish_set_key(TwofishKeyState &state, const std::uint8_t *key, int keyLengthInBits);

// Enciphers or deciphers `length` bytes, a multiple of the block size, block by block. The
// output may be the input itself.
void twofish_encrypt(const TwofishKeyState &state, std::size_t length, std::uint8_t *output,
                     const std::uint8_t *input);
void twofish_decrypt(const TwofishKeyState &state, std::size_t length, std::uint8_t *output,
                     const std::uint8_t *input);
