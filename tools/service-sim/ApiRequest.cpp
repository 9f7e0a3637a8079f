#include "ApiRequest.h"

#include "CallSchema.h"
#include "FormBody.h"
#include "ServiceAnswer.h"
#include "ServiceErrcode.h"

#include <QHttpServerRequest>
#include <QJsonDocument>

namespace {

const QByteArray kFormContentType = "application/x-www-form-urlencoded";
const QString kJsonField = QStringLiteral("jsonStr");
const QString kFunTypeField = QStringLiteral("funType");

ApiRequest refused(ApiRequest request, int errcode, const QString &errmsg)
{
    request.refusal = ServiceAnswer::refusal(errcode, errmsg);
    return request;
}

// The media type of a Content-Type header, without its parameters, in lower case.
QByteArray mediaType(const QByteArray &header)
{
    return header.split(';').first().trimmed().toLower();
}

} // namespace

ApiRequest ApiRequest::read(const QHttpServerRequest &request)
{
    ApiRequest api;
    if (request.method() != QHttpServerRequest::Method::Post)
        return refused(api, ServiceErrcode::PostOnly, QStringLiteral("only POST is served"));
    const QByteArray contentType = request.value("Content-Type");
    if (!request.body().isEmpty() && mediaType(contentType) != kFormContentType)
        return refused(api, ServiceErrcode::ParameterFormatErr,
                       QStringLiteral("the body must be form-encoded, not \"%1\"")
                           .arg(QString::fromLatin1(contentType)));
    const auto form = FormBody::decode(request.body());
    if (!form)
        return refused(api, ServiceErrcode::ParameterFormatErr,
                       QStringLiteral("the form body is not properly encoded"));
    api.form = *form;

    const bool jsonShape = api.form.contains(kJsonField);
    if (jsonShape) {
        if (api.form.size() != 1)
            return refused(api, ServiceErrcode::ParameterFormatErr,
                           QStringLiteral("jsonStr must be the only form field"));
        QJsonParseError parseError;
        const QJsonDocument document =
            QJsonDocument::fromJson(api.form.value(kJsonField).toString().toUtf8(), &parseError);
        if (parseError.error != QJsonParseError::NoError || !document.isObject())
            return refused(api, ServiceErrcode::ParameterFormatErr,
                           QStringLiteral("jsonStr is not a JSON object"));
        api.members = document.object();
    } else {
        api.members = api.form;
    }

    const QJsonValue funType = api.members.value(kFunTypeField);
    if (!funType.isString() || funType.toString().isEmpty())
        return refused(api, ServiceErrcode::LostParameter, QStringLiteral("funType is missing"));
    api.funType = funType.toString();
    const CallSchema *schema = CallSchema::find(api.funType);
    if (!schema)
        return refused(api, ServiceErrcode::ParameterValueErr,
                       QStringLiteral("unknown funType \"%1\"").arg(api.funType));
    if (schema->plainForm == jsonShape)
        return refused(api, ServiceErrcode::ParameterFormatErr,
                       schema->plainForm
                           ? QStringLiteral("%1 takes plain form fields").arg(api.funType)
                           : QStringLiteral("%1 takes one jsonStr field").arg(api.funType));
    api.refusal = schema->check(api.members);
    return api;
}
