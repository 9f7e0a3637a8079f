#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <optional>

// The shape of each of the service's five calls: whether it comes as plain form fields or as one
// "jsonStr" object, which members it must and may carry, and which of them are JSON numbers (all
// others are texts). check() refuses a request that does not fit, with the code a strict service
// gives: an unknown member or a wrong type is a format error, a missing or empty required member a
// lost parameter.
struct CallSchema
{
    QString funType;
    bool plainForm = false;
    QStringList required;
    QStringList optional;
    QStringList numbers;

    static const CallSchema *find(const QString &funType);

    // The refusal for members that do not fit, or nullopt.
    std::optional<QJsonObject> check(const QJsonObject &members) const;
};
