#include "AFPlainTextResponseSerializer.h"

#include "client/network/HTTPManager.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringDecoder>

namespace {

const QLatin1String OneBlank(" ");

Error combined(Error error, const std::optional<Error> &previous)
{
    if (previous)
        error.description += QStringLiteral(" (underlying error: %1 %2 \"%3\")")
                                 .arg(previous->domain)
                                 .arg(previous->code)
                                 .arg(previous->description);
    return error;
}

} // namespace

QJsonValue
AFPlainTextResponseSerializer::responseObjectForResponse(const QByteArray &data,
                                                         std::optional<Error> *error) const
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(data);
    if (utf8.hasError() || text == OneBlank)
        return QJsonValue::Undefined;
    const QByteArray bytes = text.toUtf8();
    if (bytes.isEmpty())
        return QJsonValue::Undefined;

    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        if (error)
            *error = combined(Error{QString::fromLatin1(HTTPManager::kTransportErrorDomain),
                                    HTTPManager::kErrorCannotParseResponse,
                                    QStringLiteral("The reply is not valid JSON: %1 at offset %2")
                                        .arg(parseError.errorString())
                                        .arg(parseError.offset)},
                              *error);
        return QJsonValue::Undefined;
    }
    if (document.isArray())
        return document.array();
    return document.object();
}
