#include "HTTPManager.h"

#include "client/platform/Localizable.h"
#include "foundation/ResumeOnThreadOf.h"
#include "foundation/TextHelpers/JsonHelpers.h"
#include "foundation/logging/Log.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QSslConfiguration>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <qcoro/qcoronetworkreply.h>

#include <algorithm>
#include <coroutine>
#include <iterator>
#include <limits>

namespace {

constexpr auto kMaskedValue = "******";
constexpr auto kJsonStrField = "jsonStr";
constexpr int kFirstSuccessStatus = 200;
constexpr int kLastSuccessStatus = 299;
constexpr qint64 kErrcodeSuccess = 0;
constexpr qint64 kErrcodeWaitVerify = 21;

struct NetErrCodeEntry
{
    qint64 code;
    const char *key;
};

constexpr auto kUnknownErrKey = "NetErrCode_UnkonwnErr";
constexpr NetErrCodeEntry kNetErrCodes[] = {
    {0, "NetErrCode_Success"},
    {1, "NetErrCode_NotExistedId"},
    {2, "NetErrCode_WrongPassword"},
    {3, "NetErrCode_ExistId"},
    {4, "NetErrCode_RegisterFailed"},
    {5, "NetErrCode_IdExpire"},
    {6, "NetErrCode_IdForbidden"},
    {7, "NetErrCode_NotExistedDomain"},
    {8, "NetErrCode_IdDeleted"},
    {9, "NetErrCode_IterantId"},
    {10, "NetErrCode_NotExistedProject"},
    {11, "NetErrCode_NoProjectPermision"},
    {12, "NetErrCode_FileNameException"},
    {13, "NetErrCode_FileTypeException"},
    {14, "NetErrCode_PageToplimit"},
    {15, "NetErrCode_SizeToplimit"},
    {16, "NetErrCode_CommitJobToplimit"},
    {17, "NetErrCode_JobToplimit"},
    {18, "NetErrCode_PrintToplimit"},
    {19, "NetErrCode_AddFailed"},
    {20, "NetErrCode_NotExistedJob"},
    {21, "NetErrCode_WaitVerify"},
    {22, "NetErrCode_KMConfigFailed"},
    {23, "NetErrCode_DeleteFailed"},
    {31, "NetErrCode_NotFoundPrinter"},
    {70, "NetErrCode_LostParameter"},
    {71, "NetErrCode_ParameterFormatErr"},
    {72, "NetErrCode_SignatureErr"},
    {73, "NetErrCode_PostOnly"},
    {74, "NetErrCode_ParameterValueErr"},
    {90, "NetErrCode_SysErr"},
    {998, "NetErrCode_NetErr"},
    {999, kUnknownErrKey},
};

// Deletes the reply once the handling is over, unless its manager took it down before.
class ReplyHolder
{
public:
    explicit ReplyHolder(QNetworkReply *reply)
        : m_reply(reply)
    {}
    ~ReplyHolder()
    {
        if (m_reply)
            m_reply->deleteLater();
    }
    ReplyHolder(const ReplyHolder &) = delete;
    ReplyHolder &operator=(const ReplyHolder &) = delete;

    QNetworkReply *get() const { return m_reply; }

private:
    QPointer<QNetworkReply> m_reply;
};

bool isPasswordMember(const QString &name)
{
    const QString lower = name.toLower();
    return lower.endsWith(u"pwd") || lower.contains(u"password") || lower.contains(u"passwd");
}

QJsonValue maskedValue(const QJsonValue &value);

QJsonObject maskedObject(const QJsonObject &object)
{
    QJsonObject masked;
    for (auto member = object.begin(); member != object.end(); ++member) {
        const QString &name = member.key();
        const QJsonValue value = member.value();
        if (isPasswordMember(name) && !value.isNull()) {
            masked.insert(name, QString::fromLatin1(kMaskedValue));
        } else if (name == QLatin1String(kJsonStrField) && value.isString()) {
            // The JSON request travels as text; mask inside it and write it back as text.
            const QJsonDocument inner = QJsonDocument::fromJson(value.toString().toUtf8());
            if (inner.isObject())
                masked.insert(name, QString::fromUtf8(QJsonDocument(maskedObject(inner.object()))
                                                          .toJson(QJsonDocument::Compact)));
            else
                masked.insert(name, value);
        } else {
            masked.insert(name, maskedValue(value));
        }
    }
    return masked;
}

QJsonValue maskedValue(const QJsonValue &value)
{
    if (value.isObject())
        return maskedObject(value.toObject());
    if (value.isArray()) {
        QJsonArray masked;
        for (const QJsonValue &element : value.toArray())
            masked.append(maskedValue(element));
        return masked;
    }
    return value;
}

QString loggedJson(const QJsonObject &object)
{
    return QString::fromUtf8(QJsonDocument(maskedObject(object)).toJson(QJsonDocument::Indented));
}

QString describe(const Error &error)
{
    return QStringLiteral("Error Domain=%1 Code=%2 \"%3\"")
        .arg(error.domain)
        .arg(error.code)
        .arg(error.description);
}

Error transportError(int code, const QString &description)
{
    return Error{QString::fromLatin1(HTTPManager::kTransportErrorDomain), code, description};
}

QString formValue(const QJsonValue &value)
{
    if (value.isObject())
        return QString::fromUtf8(QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact));
    if (value.isArray())
        return QString::fromUtf8(QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact));
    return JsonHelpers::scalarText(value);
}

QByteArray formEncoded(const QJsonObject &parameters)
{
    QByteArrayList fields;
    for (auto member = parameters.begin(); member != parameters.end(); ++member)
        fields << QUrl::toPercentEncoding(member.key()) + '=' +
                      QUrl::toPercentEncoding(formValue(member.value()));
    return fields.join('&');
}

// The address with the form fields added to the query it may already have.
QUrl withQueryFields(QUrl address, const QByteArray &form)
{
    if (form.isEmpty())
        return address;
    const QString query = address.query(QUrl::FullyEncoded);
    address.setQuery(query.isEmpty() ? QString::fromLatin1(form)
                                     : query + u'&' + QString::fromLatin1(form),
                     QUrl::StrictMode);
    return address;
}

// The body when the transfer, the status and the content type are fine.
Result<QByteArray> checkedBody(const HTTPManager::ReplyFacts &facts)
{
    if (facts.timedOut)
        return transportError(HTTPManager::kErrorTimedOut,
                              QStringLiteral("The request timed out."));
    // Without an HTTP status there is no reply to judge, whatever the transfer reported; a
    // failure must never carry code 0, which the chains read as success.
    if (!facts.status.isValid())
        return facts.error == QNetworkReply::NoError
                   ? transportError(HTTPManager::kErrorBadServerResponse,
                                    QStringLiteral("The reply carried no HTTP status."))
                   : transportError(-int(facts.error), facts.errorString);
    const int status = facts.status.toInt();
    if (status < kFirstSuccessStatus || status > kLastSuccessStatus)
        return transportError(
            HTTPManager::kErrorBadServerResponse,
            QStringLiteral("Request failed: %1 (%2)").arg(facts.reasonPhrase).arg(status));
    const QString mimeType = facts.contentType.section(u';', 0, 0).trimmed().toLower();
    if (!HTTPManager::acceptableContentTypes().contains(mimeType))
        return transportError(
            HTTPManager::kErrorUnacceptableContentType,
            QStringLiteral("Request failed: unacceptable content-type: %1").arg(mimeType));
    if (facts.error != QNetworkReply::NoError)
        return transportError(-int(facts.error), facts.errorString);
    return facts.body;
}

HTTPManager::ReplyFacts factsOf(QNetworkReply &reply, bool timedOut)
{
    HTTPManager::ReplyFacts facts;
    facts.timedOut = timedOut;
    facts.status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    facts.reasonPhrase = reply.attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
    facts.contentType = reply.header(QNetworkRequest::ContentTypeHeader).toString();
    facts.error = reply.error();
    facts.errorString = reply.errorString();
    facts.body = reply.readAll();
    return facts;
}

Result<QJsonObject> parsedReply(const QByteArray &body)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return transportError(HTTPManager::kErrorCannotParseResponse,
                              QStringLiteral("The reply is not valid JSON: %1 at offset %2")
                                  .arg(parseError.errorString())
                                  .arg(parseError.offset));
    if (!document.isObject())
        return transportError(HTTPManager::kErrorCannotParseResponse,
                              QStringLiteral("The reply is not a JSON object."));
    return document.object();
}

// The errcode as the error carries it, or nullopt when it cannot be carried: it must fit the
// error's code (a number of any size reaches here) and must not pose as one of the client's own
// outcome codes.
std::optional<qint64> carriedErrcode(double code)
{
    constexpr double kBelowCodes = double(std::numeric_limits<int>::min()) - 1;
    constexpr double kAboveCodes = double(std::numeric_limits<int>::max()) + 1;
    if (!(code > kBelowCodes && code < kAboveCodes))
        return std::nullopt;
    // The integer part, as the service's numbers are read.
    const auto whole = qint64(code);
    const auto &reserved = HTTPManager::kClientOutcomeCodes;
    if (std::find(std::begin(reserved), std::end(reserved), whole) != std::end(reserved))
        return std::nullopt;
    return whole;
}

// The reply's errcode: a JSON number or a decimal text, 0 when missing; nullopt when unreadable.
std::optional<qint64> errcodeOf(const QJsonObject &reply)
{
    const auto member = reply.constFind(QStringLiteral("errcode"));
    if (member == reply.constEnd())
        return kErrcodeSuccess;
    if (member->isDouble())
        return carriedErrcode(member->toDouble());
    if (member->isString()) {
        bool ok = false;
        const qint64 code = member->toString().trimmed().toLongLong(&ok);
        if (ok)
            return carriedErrcode(double(code));
    }
    return std::nullopt;
}

} // namespace

const QStringList &HTTPManager::acceptableContentTypes()
{
    static const QStringList types{QStringLiteral("application/json"), QStringLiteral("text/html"),
                                   QStringLiteral("text/javascript")};
    return types;
}

HTTPManager &HTTPManager::sharedClient()
{
    static HTTPManager *const client = [] {
        auto *created = new HTTPManager();
        if (QCoreApplication::instance())
            created->moveToThread(QCoreApplication::instance()->thread());
        return created;
    }();
    return *client;
}

HTTPManager::HTTPManager(std::chrono::milliseconds timeout, QObject *parent)
    : QObject(parent)
    , m_timeout(timeout)
{
    // A child moves along when the instance is moved to the main thread.
    m_network.setParent(this);
}

QCoro::Task<Result<QJsonObject>> HTTPManager::requestWithParameters(QJsonObject parameters,
                                                                    Method method)
{
    return requestWithApiName(QString(""), std::move(parameters), method);
}

QCoro::Task<Result<QJsonObject>>
HTTPManager::requestWithApiName(QString apiName, QJsonObject parameters, Method method)
{
    const QString url = m_host + apiName;
    if (method != Method::GET && method != Method::POST) {
        const Error error =
            transportError(kErrorUnsupportedMethod,
                           QStringLiteral("Unsupported request method %1").arg(unsigned(method)));
        Log::client(QStringLiteral("!!error: %1").arg(describe(error)));
        co_return error;
    }
    Log::client(QStringLiteral("##request: %1, url: %2, \nparameters: %3")
                    .arg(unsigned(method))
                    .arg(url, loggedJson(parameters)));
    auto request = send(method, url, std::move(parameters));
    co_return co_await std::move(request);
}

QCoro::Task<Result<QJsonObject>> HTTPManager::GET(QString url, QJsonObject parameters)
{
    return send(Method::GET, std::move(url), std::move(parameters));
}

QCoro::Task<Result<QJsonObject>> HTTPManager::POST(QString url, QJsonObject parameters)
{
    return send(Method::POST, std::move(url), std::move(parameters));
}

void HTTPManager::abortAllRequests()
{
    // The replies are the manager's children until their handling deletes them; an abort
    // resumes the awaiting caller at once, which may take other replies down.
    QList<QPointer<QNetworkReply>> inFlight;
    for (QNetworkReply *reply : m_network.findChildren<QNetworkReply *>())
        inFlight << reply;
    for (const QPointer<QNetworkReply> &reply : inFlight) {
        if (reply && reply->isRunning())
            reply->abort();
    }
}

QCoro::Task<Result<QJsonObject>> HTTPManager::send(Method method, QString url,
                                                   QJsonObject parameters)
{
    co_await ResumeOnThreadOf{this};

    const QByteArray form = formEncoded(parameters);
    const QUrl address = method == Method::GET ? withQueryFields(QUrl(url), form) : QUrl(url);
    QNetworkRequest request(address);
    request.setRawHeader("Content-Type", kRequestContentType);
    // The service runs with certificates of its own: accept any, whatever host it names.
    QSslConfiguration tls = request.sslConfiguration();
    tls.setPeerVerifyMode(QSslSocket::VerifyNone);
    request.setSslConfiguration(tls);

    const ReplyHolder reply(method == Method::GET ? m_network.get(request)
                                                  : m_network.post(request, form));
    QNetworkReply *pending = reply.get();

    // The timeout counts from the last sign of progress, as an idle limit. It is ours rather
    // than QNetworkRequest::setTransferTimeout(), which behaves alike but runs a coarse timer
    // that may fire up to 5 % early.
    bool timedOut = false;
    QTimer timeout;
    timeout.setSingleShot(true);
    timeout.setTimerType(Qt::PreciseTimer);
    timeout.setInterval(m_timeout);
    // The abort is queued: it resumes this coroutine, which must not end inside the timer's signal.
    connect(&timeout, &QTimer::timeout, pending, [&timedOut, pending] {
        timedOut = true;
        QMetaObject::invokeMethod(pending, &QNetworkReply::abort, Qt::QueuedConnection);
    });
    const auto restart = [&timeout] { timeout.start(); };
    connect(pending, &QNetworkReply::uploadProgress, &timeout, restart);
    connect(pending, &QNetworkReply::downloadProgress, &timeout, restart);
    timeout.start();

    co_await pending;
    timeout.stop();

    const ReplyFacts facts = factsOf(*pending, timedOut);
    co_return judgedReply(facts);
}

Result<QJsonObject> HTTPManager::judgedReply(const ReplyFacts &facts)
{
    const Result<QByteArray> body = checkedBody(facts);
    if (!body) {
        Log::client(QStringLiteral("!!error: %1").arg(describe(body.error())));
        return body.error();
    }
    Result<QJsonObject> parsed = parsedReply(body.value());
    if (!parsed) {
        Log::client(QStringLiteral("!!error: %1").arg(describe(parsed.error())));
        return parsed.error();
    }
    Log::client(QStringLiteral("##response: \n%1").arg(loggedJson(parsed.value())));

    const std::optional<qint64> errcode = errcodeOf(parsed.value());
    if (errcode == kErrcodeSuccess || errcode == kErrcodeWaitVerify)
        return std::move(parsed).value();
    const Error refusal = serviceError(errcode.value_or(kUnreadableErrcode));
    Log::client(QStringLiteral("!!error: %1").arg(describe(refusal)));
    return refusal;
}

const char *HTTPManager::netErrCodeKey(qint64 code)
{
    for (const NetErrCodeEntry &entry : kNetErrCodes) {
        if (entry.code == code)
            return entry.key;
    }
    return kUnknownErrKey;
}

QString HTTPManager::parseNetErrCode(qint64 code)
{
    return Localizable::string(netErrCodeKey(code));
}

Error HTTPManager::serviceError(qint64 errcode)
{
    return Error{QString::fromLatin1(kServiceErrorDomain), int(errcode), parseNetErrCode(errcode)};
}
