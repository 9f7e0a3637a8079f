#pragma once

// The Internet checksum of ICMP messages and IPv4 headers: 16-bit words in host order are summed,
// an odd last byte counts as that byte followed by a zero byte, the carries are folded back and
// the ones' complement is the result, in the same byte order as the words it was computed from.

#include <cstddef>
#include <cstdint>

std::uint16_t in_cksum(const void *buffer, std::size_t length);
