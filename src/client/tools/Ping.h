#pragma once

// One blocking ICMP echo exchange with a dotted IPv4 address over a datagram ICMP socket, and
// the checksum its request carries. Ping() blocks its calling thread for up to the time-out per
// wait; it keeps no state, so any thread may call it, also several at once.

#include <array>
#include <cstdint>

inline constexpr int PingRequestLength = 64;

// 1 when an echo reply from exactly that address text, carrying the identifier sent, arrived;
// 0 on any failure. The address is converted with inet_addr: no name lookup. The time-out (ms)
// applies to sending and to each wait for a packet; a negative one fails the wait.
int Ping(const char *ip, int timeout);

// The Internet checksum of `length` bytes seen as 16-bit host-order words.
unsigned short cal_chksum(const unsigned short *buffer, int length);

// The echo request Ping sends (host byte order throughout): type 8, code 0, checksum, the
// identifier, sequence number 0, the send time (64-bit seconds, 32-bit microseconds, 4 zero
// bytes) and 40 zero bytes.
std::array<std::uint8_t, PingRequestLength>
PingRequest(std::uint16_t identifier, std::int64_t seconds, std::int32_t microseconds);
