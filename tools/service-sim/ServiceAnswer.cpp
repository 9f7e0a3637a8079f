#include "ServiceAnswer.h"

#include "ServiceErrcode.h"

namespace ServiceAnswer {

QJsonObject success(QJsonObject members)
{
    members.insert("errcode", ServiceErrcode::Success);
    members.insert("errmsg", QStringLiteral("ok"));
    return members;
}

QJsonObject refusal(int errcode, const QString &errmsg)
{
    return {{"errcode", errcode}, {"errmsg", errmsg}};
}

int errcodeOf(const QJsonObject &answer)
{
    return answer.value("errcode").toInt();
}

} // namespace ServiceAnswer
