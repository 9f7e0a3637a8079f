#include "ServiceApi.h"

#include "ApiRequest.h"
#include "FaultPlan.h"
#include "RequestLog.h"
#include "ServiceAnswer.h"
#include "ServiceCalls.h"
#include "ServiceErrcode.h"

#include <QHttpServerRequest>
#include <QJsonDocument>
#include <QMetaEnum>
#include <QTimer>

ServiceApi::ServiceApi(ServiceCalls &calls, FaultPlan &faults, RequestLog &log,
                       QByteArray contentType, QObject *parent)
    : QObject(parent)
    , m_calls(calls)
    , m_faults(faults)
    , m_log(log)
    , m_contentType(std::move(contentType))
{}

void ServiceApi::handle(const QHttpServerRequest &request, HttpReply reply)
{
    const ApiRequest api = ApiRequest::read(request);
    const FaultPlan::Effect fault = m_faults.take(api.funType);

    QJsonObject answer;
    if (fault.errcode && !ServiceErrcode::isSuccess(*fault.errcode)) {
        // Refused before anything happens: no key pair is spent, no job registered.
        answer = ServiceAnswer::refusal(*fault.errcode, QStringLiteral("refused on purpose"));
    } else if (api.refusal) {
        answer = *api.refusal;
    } else {
        answer = m_calls.answer(api.funType, api.members, fault.ftpUnreachable);
        if (fault.errcode && ServiceErrcode::isSuccess(ServiceAnswer::errcodeOf(answer)))
            answer.insert("errcode", *fault.errcode);
    }
    const QByteArray contentType = fault.contentType.value_or(m_contentType);
    const QByteArray body =
        fault.body.value_or(QJsonDocument(answer).toJson(QJsonDocument::Compact));

    QJsonObject entry = describe(request);
    entry.insert("form", api.form);
    if (!api.funType.isEmpty())
        entry.insert("funType", api.funType);
    entry.insert("members", api.members);
    entry.insert("reply", QJsonObject{{"status", 200},
                                      {"contentType", QString::fromUtf8(contentType)},
                                      {"errcode", ServiceAnswer::errcodeOf(answer)},
                                      {"answer", answer},
                                      {"body", QString::fromUtf8(body)},
                                      {"delayMs", fault.delayMs}});
    m_log.append(entry);
    qInfo("vqm-service-sim: %s -> errcode %d",
          qPrintable(api.funType.isEmpty() ? QStringLiteral("?") : api.funType),
          ServiceAnswer::errcodeOf(answer));

    const auto send = [reply, contentType, body] {
        reply.send(QHttpServerResponder::StatusCode::Ok, contentType, body);
    };
    if (fault.delayMs > 0)
        QTimer::singleShot(fault.delayMs, this, send);
    else
        send();
}

void ServiceApi::handleUnknownPath(const QHttpServerRequest &request, HttpReply reply)
{
    const QJsonObject answer{{"error", QStringLiteral("no such path")}};
    QJsonObject entry = describe(request);
    entry.insert("reply", QJsonObject{{"status", 404}, {"answer", answer}});
    m_log.append(entry);
    reply.sendJson(answer, QHttpServerResponder::StatusCode::NotFound);
}

QJsonObject ServiceApi::describe(const QHttpServerRequest &request)
{
    const char *method =
        QMetaEnum::fromType<QHttpServerRequest::Method>().valueToKey(int(request.method()));
    return {{"method", QString::fromLatin1(method ? method : "Unknown").toUpper()},
            {"path", request.url().path()},
            {"query", request.url().query()},
            {"contentType", QString::fromUtf8(request.value("Content-Type"))},
            {"body", QString::fromUtf8(request.body())}};
}
