#pragma once

#include "HttpReply.h"

class FaultPlan;
class HttpEndpoint;
class QHttpServerRequest;
class RequestLog;
class ServiceApi;

// The routes through which tests read and steer the simulator, beside the service's API:
//   GET    /sim/requests[?funType=NAME]  {"requests": [entries of the request record]}
//   DELETE /sim/requests                 forgets the entries kept in memory
//   GET    /sim/control                  {"faults": [...], "contentType": "..."}
//   POST   /sim/control                  a JSON object with "faults" (replaces them all; [] clears)
//                                        and/or "contentType" (of normal answers); answers the
//                                        state
// Faults take the JSON form of FaultRule. Main thread only.
class ControlApi
{
public:
    static constexpr auto kRequestsPath = "/sim/requests";
    static constexpr auto kControlPath = "/sim/control";

    ControlApi(FaultPlan &faults, RequestLog &log, ServiceApi &api);

    void addRoutes(HttpEndpoint &endpoint);

private:
    void requests(const QHttpServerRequest &request, const HttpReply &reply);
    void control(const QHttpServerRequest &request, const HttpReply &reply);
    QJsonObject state() const;

    FaultPlan &m_faults;
    RequestLog &m_log;
    ServiceApi &m_api;
};
