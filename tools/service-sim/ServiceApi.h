#pragma once

#include "HttpReply.h"

#include <QByteArray>
#include <QJsonObject>
#include <QObject>

class FaultPlan;
class QHttpServerRequest;
class RequestLog;
class ServiceCalls;

// The service's API route: reads each request strictly, lets the faults in force change or replace
// the answer, records request and answer, and sends the answer (after the fault's delay, when
// there is one) with the configured content type. Main thread only.
class ServiceApi : public QObject
{
    Q_OBJECT

public:
    static constexpr auto kPath = "/ferrolux/serviceHttp/serviceHttp.php";

    ServiceApi(ServiceCalls &calls, FaultPlan &faults, RequestLog &log, QByteArray contentType,
               QObject *parent = nullptr);

    void handle(const QHttpServerRequest &request, HttpReply reply);
    // Records a request to a path that has no route, and answers 404.
    void handleUnknownPath(const QHttpServerRequest &request, HttpReply reply);

    QByteArray contentType() const { return m_contentType; }
    void setContentType(QByteArray contentType) { m_contentType = std::move(contentType); }

    // The request as the record shows it: method, path, query, content type and raw body.
    static QJsonObject describe(const QHttpServerRequest &request);

private:
    ServiceCalls &m_calls;
    FaultPlan &m_faults;
    RequestLog &m_log;
    QByteArray m_contentType;
};
