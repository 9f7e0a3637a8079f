#pragma once

// The client's only HTTP client: every call of the service's API goes through it. It owns one
// QNetworkAccessManager, sends form-encoded requests, parses every reply as a JSON object and
// judges the reply's "errcode": 0 and 21 succeed, any other code is the service's refusal.
// It also maps service error codes to message keys of the strings table.
//
// Threads: the instance lives on the main thread. A request may be started from any thread; the
// request is sent, and its reply handled and logged, on the instance's thread, where the awaiting
// caller then continues. sharedClient() is created once and never destroyed; tests construct
// their own with a shorter timeout.
//
// Every request and reply is logged; password members ("userPwd", "pwd", ...) show as "******",
// also inside the JSON text of a "jsonStr" field. Only the log line is masked, never the request.

#include "foundation/Error.h"

#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <qcoro/qcorotask.h>

#include <chrono>

class HTTPManager : public QObject
{
    Q_OBJECT

public:
    enum class Method : unsigned { GET = 0, POST = 1 };

    static constexpr std::chrono::milliseconds kRequestTimeout{15000};
    static constexpr auto kRequestContentType = "application/x-www-form-urlencoded; charset=utf-8";
    static const QStringList &acceptableContentTypes();

    // Failures found on this side of the wire (the service's refusals carry its errcode instead).
    // Codes are negative so that none equals a service error code; network errors reported by Qt
    // carry the negated QNetworkReply::NetworkError.
    static constexpr auto kTransportErrorDomain = "HTTPManager";
    static constexpr int kErrorTimedOut = -1001;
    static constexpr int kErrorUnsupportedMethod = -1002;
    static constexpr int kErrorBadServerResponse = -1011;
    static constexpr int kErrorUnacceptableContentType = -1016;
    static constexpr int kErrorCannotParseResponse = -1017;

    // Refusals by the service: the code is the reply's errcode, the description its message text.
    static constexpr auto kServiceErrorDomain = "VQServiceErrorDomain";
    // The errcode given to a reply whose "errcode" is neither a number nor a decimal text, does
    // not fit an error's code, or is one of kClientOutcomeCodes.
    static constexpr qint64 kUnreadableErrcode = 999;
    // The codes the client's chains give their own outcomes (file upload failed, logged in
    // without a job): a refusal never carries them, or the chains would take it for their own.
    static constexpr qint64 kClientOutcomeCodes[] = {20000, 20001};

    static HTTPManager &sharedClient();

    explicit HTTPManager(std::chrono::milliseconds timeout = kRequestTimeout,
                         QObject *parent = nullptr);

    // The full address of the service's API endpoint; set once at start-up.
    QString host() const { return m_host; }
    void setHost(const QString &host) { m_host = host; }
    QString token() const { return m_token; }
    void setToken(const QString &token) { m_token = token; }

    // Requests to host itself.
    QCoro::Task<Result<QJsonObject>> requestWithParameters(QJsonObject parameters, Method method);
    // Requests to host followed directly by the API name. A method other than GET or POST sends
    // nothing and fails at once with kErrorUnsupportedMethod.
    QCoro::Task<Result<QJsonObject>> requestWithApiName(QString apiName, QJsonObject parameters,
                                                        Method method);
    QCoro::Task<Result<QJsonObject>> GET(QString url, QJsonObject parameters);
    QCoro::Task<Result<QJsonObject>> POST(QString url, QJsonObject parameters);

    // Ends every request in flight at once: each fails as aborted. For the client's end, which
    // must not wait for a service that does not answer.
    void abortAllRequests();

    // The localized message for a service error code; unknown codes give the text of
    // "NetErrCode_UnkonwnErr".
    static QString parseNetErrCode(qint64 code);
    static const char *netErrCodeKey(qint64 code);

    // A service refusal with the given errcode, as the requests reject with it.
    static Error serviceError(qint64 errcode);

    // What a finished request brought back, as the reply handling sees it.
    struct ReplyFacts
    {
        bool timedOut = false;
        QVariant status; // the HTTP status code; invalid when no HTTP reply came
        QString reasonPhrase;
        QString contentType; // the Content-Type header as received
        QNetworkReply::NetworkError error = QNetworkReply::NoError;
        QString errorString;
        QByteArray body;
    };
    // Judges a finished request and logs the outcome: the reply object when the transfer, the
    // status, the content type and the body are fine and the errcode is 0 or 21; otherwise the
    // transport's error or the service's refusal.
    static Result<QJsonObject> judgedReply(const ReplyFacts &facts);

private:
    QCoro::Task<Result<QJsonObject>> send(Method method, QString url, QJsonObject parameters);

    QNetworkAccessManager m_network;
    std::chrono::milliseconds m_timeout;
    QString m_host;
    QString m_token;
};
