#pragma once

// A SimplePing delegate that records every report in order, for the tests.

#include "client/tools/SimplePingDelegate.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

class RecordingPingDelegate : public SimplePingDelegate
{
public:
    struct Report
    {
        QString kind;
        QByteArray packet;
        std::uint16_t sequenceNumber = 0;
        std::optional<Error> error;
    };

    QList<Report> reports;
    // Runs after the report was recorded, inside the engine's call.
    std::function<void(SimplePing &, const Report &)> onReport;

    int count(const QString &kind) const;
    const Report *first(const QString &kind) const;

    void didStartWithAddress(SimplePing &pinger, const QByteArray &address) override;
    void didFailWithError(SimplePing &pinger, const Error &error) override;
    void didSendPacket(SimplePing &pinger, const QByteArray &packet,
                       std::uint16_t sequenceNumber) override;
    void didFailToSendPacket(SimplePing &pinger, const QByteArray &packet,
                             std::uint16_t sequenceNumber, const Error &error) override;
    void didReceivePingResponsePacket(SimplePing &pinger, const QByteArray &packet,
                                      std::uint16_t sequenceNumber) override;
    void didReceiveUnexpectedPacket(SimplePing &pinger, const QByteArray &packet) override;

private:
    void record(SimplePing &pinger, Report report);
};
