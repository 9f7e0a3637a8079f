#pragma once

// One ping run for one host: sends its requests 0.4 s apart through a SimplePing engine of its
// own (either address family) and reports every event to its callback as a fresh JFPingItem.
// The first request goes out when the engine's socket is ready; after the last one has had its
// 0.4 s the run ends with didFinished. A run ends once (didFinished, didFailToSendPacket or
// didError); afterwards it sends and reports nothing.
//
// A run lives on the thread that starts it: resolution, socket readiness, the send timer and
// every callback use that thread's event loop. It is held by whoever keeps the returned pointer
// and, while requests remain, by its own send timer. Progress lines go to its output.

#include "client/tools/JFPingItem.h"
#include "client/tools/JFPingOutput.h"
#include "client/tools/SimplePingDelegate.h"

#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QTimer;

class JFPingServices : public SimplePingDelegate,
                       public std::enable_shared_from_this<JFPingServices>
{
public:
    using PingCallback = std::function<void(const JFPingItem &item)>;

    static constexpr std::chrono::milliseconds SendInterval{400};

    // Creates a run with `count` requests and starts it. A failure the engine reports at once
    // reaches the callback before this returns.
    static std::shared_ptr<JFPingServices> start(const QString &hostName, int count,
                                                 PingCallback pingCallback,
                                                 JFPingOutput output = standardOutputLines());
    ~JFPingServices() override;

    void didStartWithAddress(SimplePing &pinger, const QByteArray &address) override;
    void didFailWithError(SimplePing &pinger, const Error &error) override;
    void didSendPacket(SimplePing &pinger, const QByteArray &packet,
                       std::uint16_t sequenceNumber) override;
    void didFailToSendPacket(SimplePing &pinger, const QByteArray &packet,
                             std::uint16_t sequenceNumber, const Error &error) override;
    void didReceivePingResponsePacket(SimplePing &pinger, const QByteArray &packet,
                                      std::uint16_t sequenceNumber) override;

private:
    JFPingServices(const QString &hostName, int count, PingCallback pingCallback,
                   JFPingOutput output);

    void sendPing();
    void clean(JFPingStatus status);
    void report(JFPingStatus status, std::optional<double> timeMilliseconds = std::nullopt);

    QString m_hostName;
    std::unique_ptr<SimplePing> m_pinger;
    std::unique_ptr<QTimer> m_sendTimer;
    std::optional<std::chrono::steady_clock::time_point> m_startDate;
    PingCallback m_pingCallback;
    int m_count;
    JFPingOutput m_output;
    bool m_ended = false;
};
