#pragma once

#include <QJsonObject>
#include <QString>

// The JSON objects the service answers with: a success carries "errcode" 0 and "errmsg" "ok"
// beside the call's members; a refusal carries only its code and a message saying why.
namespace ServiceAnswer {

QJsonObject success(QJsonObject members = {});
QJsonObject refusal(int errcode, const QString &errmsg);
int errcodeOf(const QJsonObject &answer);

} // namespace ServiceAnswer
