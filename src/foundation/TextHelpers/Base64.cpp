#include "TextHelpers/Base64.h"

#include <QStringDecoder>

QString Base64::encode(const QString &text)
{
    return QString::fromLatin1(text.toUtf8().toBase64());
}

static bool isBase64Character(char16_t c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9')
           || c == u'+' || c == u'/' || c == u'=';
}

QString Base64::dencode(const QString &text)
{
    if (text.isNull())
        return {};
    QByteArray alphabetOnly;
    alphabetOnly.reserve(text.size());
    for (const QChar c : text) {
        if (isBase64Character(c.unicode()))
            alphabetOnly.append(char(c.unicode()));
    }
    const auto decoded = QByteArray::fromBase64Encoding(alphabetOnly,
                                                        QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return {};
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString result = utf8.decode(*decoded);
    if (utf8.hasError())
        return {};
    if (result.isNull())
        result = QStringLiteral("");
    return result;
}
