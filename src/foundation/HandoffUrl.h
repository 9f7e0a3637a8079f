#pragma once

// The hand-off URL that carries one print job from the monitor to the client:
// "vandrix://?params=" + the percent-escaped compact JSON text of the hand-off job object.

#include <QJsonObject>
#include <QString>

class HandoffUrl
{
public:
    static constexpr const char *prefix = "vandrix://?params=";

    // Serialised JSON with every blank and line feed deleted from the whole text.
    static QString compactJsonText(const QJsonObject &object);
    // Every UTF-8 byte but ASCII letters, digits, "-", ".", "_" and "~" as "%XX" (upper case).
    static QString escape(const QString &text);
    static QString build(const QJsonObject &object);
};
