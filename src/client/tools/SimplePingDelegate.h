#pragma once

// The receiver of a SimplePing engine's reports. Every operation is optional: the defaults do
// nothing. All reports come on the thread that started the engine, from its event loop. A report
// is the last thing the engine does in that step, so a delegate may stop, restart or destroy the
// engine from within any report.

#include "foundation/Error.h"

#include <QByteArray>

#include <cstdint>

class SimplePing;

class SimplePingDelegate
{
public:
    virtual ~SimplePingDelegate() = default;

    // The socket is open; requests may be sent.
    virtual void didStartWithAddress(SimplePing &pinger, const QByteArray &address);
    // The engine failed and has already stopped itself.
    virtual void didFailWithError(SimplePing &pinger, const Error &error);
    // The whole request went out.
    virtual void didSendPacket(SimplePing &pinger, const QByteArray &packet,
                               std::uint16_t sequenceNumber);
    // The request did not go out; the engine keeps running.
    virtual void didFailToSendPacket(SimplePing &pinger, const QByteArray &packet,
                                     std::uint16_t sequenceNumber, const Error &error);
    // A valid reply to this engine; the bytes start at the ICMP header.
    virtual void didReceivePingResponsePacket(SimplePing &pinger, const QByteArray &packet,
                                              std::uint16_t sequenceNumber);
    // Anything else that was read, as read (for IPv4 with the IP header).
    virtual void didReceiveUnexpectedPacket(SimplePing &pinger, const QByteArray &packet);
};
