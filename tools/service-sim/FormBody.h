#pragma once

#include <QByteArray>
#include <QJsonObject>

#include <optional>

// Decodes an "application/x-www-form-urlencoded" body the way the service's PHP front end reads
// it: "+" is a blank, "%XX" is one byte, the bytes are UTF-8, a repeated field keeps its last
// value and a field without "=" has the empty value. Stricter than PHP, a broken escape or invalid
// UTF-8 refuses the whole body (nullopt), so that a client's encoding slip shows at once.
class FormBody
{
public:
    static std::optional<QJsonObject> decode(const QByteArray &body);
};
