#include "FormBody.h"

#include <QStringDecoder>

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::optional<QString> decodeComponent(QByteArrayView encoded)
{
    QByteArray bytes;
    bytes.reserve(encoded.size());
    for (qsizetype i = 0; i < encoded.size(); ++i) {
        const char c = encoded[i];
        if (c == '+') {
            bytes.append(' ');
        } else if (c == '%') {
            if (i + 2 >= encoded.size())
                return std::nullopt;
            const int high = hexValue(encoded[i + 1]);
            const int low = hexValue(encoded[i + 2]);
            if (high < 0 || low < 0)
                return std::nullopt;
            bytes.append(char(high * 16 + low));
            i += 2;
        } else {
            bytes.append(c);
        }
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(bytes);
    if (utf8.hasError())
        return std::nullopt;
    return text;
}

} // namespace

std::optional<QJsonObject> FormBody::decode(const QByteArray &body)
{
    QJsonObject fields;
    for (const QByteArray &pair : body.split('&')) {
        if (pair.isEmpty())
            continue;
        const qsizetype equals = pair.indexOf('=');
        const QByteArrayView whole(pair);
        const auto name = decodeComponent(equals < 0 ? whole : whole.first(equals));
        const auto value =
            decodeComponent(equals < 0 ? QByteArrayView() : whole.sliced(equals + 1));
        if (!name || !value)
            return std::nullopt;
        fields.insert(*name, *value);
    }
    return fields;
}
