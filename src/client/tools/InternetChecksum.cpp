#include "InternetChecksum.h"

#include <cstring>

std::uint16_t in_cksum(const void *buffer, std::size_t length)
{
    const auto *bytes = static_cast<const unsigned char *>(buffer);
    // Wide enough that no carry is lost for any length.
    std::uint64_t sum = 0;
    std::size_t offset = 0;
    for (; offset + 1 < length; offset += 2) {
        std::uint16_t word;
        std::memcpy(&word, bytes + offset, sizeof word);
        sum += word;
    }
    if (offset < length) {
        std::uint16_t word = 0;
        std::memcpy(&word, bytes + offset, 1);
        sum += word;
    }
    while (sum >> 16)
        sum = (sum >> 16) + (sum & 0xFFFF);
    return std::uint16_t(~sum);
}
