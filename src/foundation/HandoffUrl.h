#pragma once

// The hand-off URL that carries a job from the monitor to the client:
// "vandrix://?params=" + the percent-escaped compact JSON text of the job object. Stateless.

#include <QJsonObject>
#include <QString>

class HandoffUrl
{
public:
    static constexpr const char *prefix = "vandrix://?params=";

    static QString build(const QJsonObject &job);

    // The compact JSON text with every blank and line feed removed, values included.
    static QString compactJsonText(const QJsonObject &job);

    // Every UTF-8 byte as "%XX" (upper-case hex) except ASCII letters, digits, "-", ".", "_", "~".
    static QString escape(const QString &text);
};
