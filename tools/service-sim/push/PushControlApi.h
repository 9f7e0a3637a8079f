#pragma once

#include "HttpReply.h"

class HttpEndpoint;
class PushServer;
class QHttpServerRequest;

// The routes through which tests and the demo look at and steer the push server, on the API port:
//   GET  /sim/push        {"connections": [{"id", "peer", "codes": [...], "open"}, ...]}
//   POST /sim/push/send   {"code": C, "packets": [{"mainCmd", "subCmd", "content"}, ...],
//                         "splitAt": N}: the packets (main command 4525 and sub-command 0 unless
//                         given) go in one write to each open connection that subscribed C, or
//                         in two writes cut after N bytes; answers {"connections": count}
//   POST /sim/push/close  {"code": C}: closes the connections that subscribed C (every connection
//                         without "code"); answers {"closed": count}
// Main thread only.
class PushControlApi
{
public:
    static constexpr auto kStatePath = "/sim/push";
    static constexpr auto kSendPath = "/sim/push/send";
    static constexpr auto kClosePath = "/sim/push/close";

    explicit PushControlApi(PushServer &push);

    void addRoutes(HttpEndpoint &endpoint);

private:
    void state(const QHttpServerRequest &request, const HttpReply &reply);
    void send(const QHttpServerRequest &request, const HttpReply &reply);
    void close(const QHttpServerRequest &request, const HttpReply &reply);

    PushServer &m_push;
};
