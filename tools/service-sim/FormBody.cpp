#include "FormBody.h"

#include "foundation/TextHelpers/HexDigit.h"

#include <QStringDecoder>

namespace {

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
            const std::optional<int> high = HexDigit::value(QLatin1Char(encoded[i + 1]));
            const std::optional<int> low = HexDigit::value(QLatin1Char(encoded[i + 2]));
            if (!high || !low)
                return std::nullopt;
            bytes.append(char(*high * HexDigit::kBase + *low));
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
