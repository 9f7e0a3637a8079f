#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <optional>

class QHttpServerRequest;

// One request to the service's API, read the way a strict service reads it: a POST with a
// form-encoded body, either the plain fields of "getKeys" or the one field "jsonStr" holding a
// JSON object with "funType" and the call's members, each shaped as its call wants. A request
// that fails any of this carries the refusal to answer with.
struct ApiRequest
{
    QString funType; // empty when it could not be read
    QJsonObject form;
    QJsonObject members;
    std::optional<QJsonObject> refusal;

    static ApiRequest read(const QHttpServerRequest &request);
};
