#pragma once

// Layout of the 8-byte ICMP / ICMPv6 echo header and its message types. The asynchronous engine
// writes its multi-byte fields big-endian, the blocking Ping in host order.

#include <cstdint>

namespace IcmpEcho {

inline constexpr int HeaderLength = 8;
inline constexpr int TypeOffset = 0;
inline constexpr int CodeOffset = 1;
inline constexpr int ChecksumOffset = 2;
inline constexpr int IdentifierOffset = 4;
inline constexpr int SequenceNumberOffset = 6;

inline constexpr std::uint8_t EchoRequestIPv4 = 8;
inline constexpr std::uint8_t EchoReplyIPv4 = 0;
inline constexpr std::uint8_t EchoRequestIPv6 = 128;
inline constexpr std::uint8_t EchoReplyIPv6 = 129;

} // namespace IcmpEcho
