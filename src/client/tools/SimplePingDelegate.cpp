#include "SimplePingDelegate.h"

void SimplePingDelegate::didStartWithAddress(SimplePing &, const QByteArray &) {}

void SimplePingDelegate::didFailWithError(SimplePing &, const Error &) {}

void SimplePingDelegate::didSendPacket(SimplePing &, const QByteArray &, std::uint16_t) {}

void SimplePingDelegate::didFailToSendPacket(SimplePing &, const QByteArray &, std::uint16_t,
                                             const Error &)
{}

void SimplePingDelegate::didReceivePingResponsePacket(SimplePing &, const QByteArray &,
                                                      std::uint16_t)
{}

void SimplePingDelegate::didReceiveUnexpectedPacket(SimplePing &, const QByteArray &) {}
