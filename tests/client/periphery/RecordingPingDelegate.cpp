#include "RecordingPingDelegate.h"

int RecordingPingDelegate::count(const QString &kind) const
{
    return int(std::count_if(reports.begin(), reports.end(),
                             [&](const Report &report) { return report.kind == kind; }));
}

const RecordingPingDelegate::Report *RecordingPingDelegate::first(const QString &kind) const
{
    for (const Report &report : reports) {
        if (report.kind == kind)
            return &report;
    }
    return nullptr;
}

void RecordingPingDelegate::record(SimplePing &pinger, Report report)
{
    reports.append(report);
    if (onReport)
        onReport(pinger, report);
}

void RecordingPingDelegate::didStartWithAddress(SimplePing &pinger, const QByteArray &address)
{
    record(pinger, {QStringLiteral("start"), address, 0, std::nullopt});
}

void RecordingPingDelegate::didFailWithError(SimplePing &pinger, const Error &error)
{
    record(pinger, {QStringLiteral("fail"), {}, 0, error});
}

void RecordingPingDelegate::didSendPacket(SimplePing &pinger, const QByteArray &packet,
                                          std::uint16_t sequenceNumber)
{
    record(pinger, {QStringLiteral("sent"), packet, sequenceNumber, std::nullopt});
}

void RecordingPingDelegate::didFailToSendPacket(SimplePing &pinger, const QByteArray &packet,
                                                std::uint16_t sequenceNumber, const Error &error)
{
    record(pinger, {QStringLiteral("sendFailed"), packet, sequenceNumber, error});
}

void RecordingPingDelegate::didReceivePingResponsePacket(SimplePing &pinger,
                                                         const QByteArray &packet,
                                                         std::uint16_t sequenceNumber)
{
    record(pinger, {QStringLiteral("reply"), packet, sequenceNumber, std::nullopt});
}

void RecordingPingDelegate::didReceiveUnexpectedPacket(SimplePing &pinger, const QByteArray &packet)
{
    record(pinger, {QStringLiteral("unexpected"), packet, 0, std::nullopt});
}
