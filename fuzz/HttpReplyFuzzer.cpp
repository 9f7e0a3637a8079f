// The HTTP transport's judgement of a finished reply from the service: transfer outcome, status,
// content type, body and the "errcode" member, of any JSON type.
//
// Properties, checked on every input:
// - no crash, no undefined behaviour (numbers of any size or form included);
// - a request succeeds only when nothing timed out or failed, the status is 2xx, the content
//   type is one of the accepted ones, the body is a JSON object and its errcode reads as 0 or 21
//   (a number, a decimal text or missing); the caller then gets that very object;
// - a failure never carries code 0, the code the upload chain reads as success, nor the chain's
//   own codes: nothing is reported as a success that was not;
// - a refusal by the service carries the service's errcode whenever it has one that fits and is
//   no chain code, otherwise the code for an unreadable errcode; every outcome is logged.

#include "FuzzSupport.h"

#include "client/network/HTTPManager.h"

#include <QJsonDocument>
#include <QJsonValue>

#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cmath>
#include <limits>

namespace {

constexpr int kChainUploadFailedCode = 20000;
constexpr int kChainLoggedInCode = 20001;
constexpr int kMaxStatus = 999;
constexpr int kOk = 200;

const std::array<const char *, 8> kContentTypes{"application/json",
                                                "text/html; charset=utf-8",
                                                "text/javascript",
                                                "text/plain",
                                                " Application/JSON ;x=y",
                                                "",
                                                "application/json-patch+json",
                                                "text/htmlx"};

const std::array<const char *, 3> kReasonPhrases{"OK", "Internal Server Error", ""};

const std::array<QNetworkReply::NetworkError, 5> kTransferErrors{
    QNetworkReply::NoError, QNetworkReply::RemoteHostClosedError,
    QNetworkReply::ContentNotFoundError, QNetworkReply::InternalServerError,
    QNetworkReply::OperationCanceledError};

// The body is the front of the input, so that a reply's bytes make a seed as they stand; the
// transfer's facts come from the bytes at its end (libFuzzer's data provider reads numbers from
// the end): timed out, has a status, status 200 or another, content type, transfer error, reason.
HTTPManager::ReplyFacts factsFrom(FuzzedDataProvider &input)
{
    HTTPManager::ReplyFacts facts;
    facts.timedOut = input.ConsumeIntegralInRange(0, 15) == 0;
    if (input.ConsumeIntegralInRange(0, 7) != 0)
        facts.status = input.ConsumeBool() ? kOk : input.ConsumeIntegralInRange(0, kMaxStatus);
    facts.contentType = QLatin1String(input.PickValueInArray(kContentTypes));
    facts.error = input.ConsumeIntegralInRange(0, 3) == 0 ? input.PickValueInArray(kTransferErrors)
                                                          : QNetworkReply::NoError;
    facts.reasonPhrase = QLatin1String(input.PickValueInArray(kReasonPhrases));
    const std::string body = input.ConsumeRemainingBytesAsString();
    facts.body = QByteArray(body.data(), qsizetype(body.size()));
    return facts;
}

bool isAccepted(const QString &contentType)
{
    const QString mime = contentType.section(u';', 0, 0).trimmed().toLower();
    return mime == u"application/json" || mime == u"text/html" || mime == u"text/javascript";
}

// The errcode as the service means it: missing is 0; a number or a decimal text is its integer
// part; anything else has none.
std::optional<double> errcodeOf(const QJsonObject &reply)
{
    if (!reply.contains(QStringLiteral("errcode")))
        return 0;
    const QJsonValue value = reply.value(QStringLiteral("errcode"));
    if (value.isDouble())
        return std::trunc(value.toDouble());
    bool ok = false;
    const qlonglong code = value.toString().trimmed().toLongLong(&ok);
    if (value.isString() && ok)
        return double(code);
    return std::nullopt;
}

bool fitsInt(double code)
{
    return code >= double(std::numeric_limits<int>::min()) &&
           code <= double(std::numeric_limits<int>::max());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    FuzzSupport::initialize(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const HTTPManager::ReplyFacts facts = factsFrom(input);

    const quint64 statementsBefore = FuzzSupport::loggedStatements();
    const Result<QJsonObject> outcome = HTTPManager::judgedReply(facts);
    FuzzSupport::require(FuzzSupport::loggedStatements() > statementsBefore,
                         "every outcome is logged");

    const QJsonDocument document = QJsonDocument::fromJson(facts.body);
    const bool transferFine = !facts.timedOut && facts.status.isValid() &&
                              facts.status.toInt() >= 200 && facts.status.toInt() <= 299 &&
                              isAccepted(facts.contentType) &&
                              facts.error == QNetworkReply::NoError;
    const std::optional<double> errcode =
        document.isObject() ? errcodeOf(document.object()) : std::nullopt;
    const bool accepted =
        transferFine && document.isObject() && errcode && (*errcode == 0 || *errcode == 21);

    if (outcome) {
        FuzzSupport::require(accepted, "only a good reply with errcode 0 or 21 succeeds");
        FuzzSupport::require(outcome.value() == document.object(), "the caller gets the reply");
        return 0;
    }
    FuzzSupport::require(!accepted, "a good reply with errcode 0 or 21 succeeds");
    const int code = outcome.error().code;
    FuzzSupport::require(code != 0 && code != kChainUploadFailedCode && code != kChainLoggedInCode,
                         "a failure never carries a code the chain reads as its own");
    const bool refusal = outcome.error().domain == QLatin1String(HTTPManager::kServiceErrorDomain);
    FuzzSupport::require(refusal == (transferFine && document.isObject()),
                         "only a good reply is a refusal");
    if (refusal) {
        const bool carried = errcode && fitsInt(*errcode) && *errcode != kChainUploadFailedCode &&
                             *errcode != kChainLoggedInCode;
        FuzzSupport::require(code == (carried ? int(*errcode) : HTTPManager::kUnreadableErrcode),
                             "a refusal carries the service's errcode when it can");
    }
    return 0;
}
