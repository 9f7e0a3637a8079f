#pragma once

// JSON conversions of dictionaries and texts. Stateless; callable from any thread.

#include <QByteArray>
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
};
