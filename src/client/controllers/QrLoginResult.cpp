#include "QrLoginResult.h"

#include "foundation/Record.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

constexpr QLatin1Char kCodeSeparator(';');

Error failure(QrLoginResult::Failure code, const char *why)
{
    return Error{QString::fromLatin1(QrLoginResult::kErrorDomain), code, QString::fromLatin1(why)};
}

} // namespace

Result<LoginResultModel> QrLoginResult::parse(const QString &body, const QString &channelCode)
{
    const QString prefix = channelCode + kCodeSeparator;
    if (!body.contains(prefix))
        return failure(ForeignChannel, "does not carry this client's channel code");

    QString record = body;
    record.replace(prefix, QString(""));
    const QJsonDocument document = QJsonDocument::fromJson(record.toUtf8());
    if (!document.isObject())
        return failure(NotAnObject, "is not a JSON object");

    LoginResultModel result = Record::fromJson<LoginResultModel>(document.object());
    // The account name and the company key are what the settings and the upload need.
    if (result.code.isNull() || result.entkey.isNull())
        return failure(LacksCodeOrEntkey, "lacks code or entkey");
    return result;
}
