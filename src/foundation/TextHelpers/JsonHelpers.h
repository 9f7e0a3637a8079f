#pragma once

// JSON conversions of dictionaries and texts. Stateless; callable from any thread.

#include <QByteArray>
#include <QJsonValue>
#include <QMetaType>
#include <QString>
#include <QVariant>
#include <QVariantMap>

class JsonHelpers
{
public:
    // The dictionary as compact JSON. Values that JSON cannot hold are converted as Qt converts
    // them; callers pass valid JSON objects.
    static QByteArray JSONData(const QVariantMap &dictionary);

    // The pretty-printed JSON text, or "" when the dictionary holds a value that is not a text,
    // number, boolean, list, dictionary or null (a date, for example).
    static QString JSONString(const QVariantMap &dictionary);

    // The parsed object or array (QVariantMap / QVariantList); an invalid QVariant on failure.
    static QVariant objectFromJSONString(const QString &text);
    static QVariant objectFromJSONData(const QByteArray &data);

    // Like objectFromJSONString, but a null text gives an invalid QVariant without a line, and a
    // parse error writes "json解析失败：<error>" to the process log. The result is not checked to
    // be a dictionary.
    static QVariant dictionaryWithJsonString(const QString &text);

    // Whether the value is a text, number, boolean, null, or a list or dictionary of such values.
    static bool isValidJsonValue(const QVariant &value);

    // A JSON text, number or boolean as a form field or a text property carries it: a whole
    // number as its exact decimal digits (all 64 bits of an integer, and without fraction or
    // exponent beyond), a fraction in the shortest form that reads back the same number, a
    // boolean as "1" or "0". Null for JSON null, objects and arrays.
    static QString scalarText(const QJsonValue &value);

    // Whether values of the type are numbers: integers of any width (characters included),
    // floating point or booleans.
    static bool isNumberType(QMetaType type);
};
