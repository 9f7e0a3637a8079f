#include "Base64.h"

#include "Utf8.h"

#include <optional>

namespace {

constexpr qsizetype kQuantum = 4;
constexpr qsizetype kMaximumPadding = 2;

bool isAlphabet(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
           c == '/';
}

// The alphabet characters and padding of the text, or nothing when they do not form whole,
// correctly padded quanta.
std::optional<QByteArray> canonicalBase64(const QString &text)
{
    QByteArray kept;
    kept.reserve(text.size());
    qsizetype padding = 0;
    for (const QChar ch : text) {
        const char c = ch.toLatin1();
        if (ch.unicode() > 0x7f)
            continue;
        if (c == '=') {
            ++padding;
            kept.append(c);
        } else if (isAlphabet(c)) {
            if (padding > 0)
                return std::nullopt; // data after padding
            kept.append(c);
        }
    }
    if (kept.size() % kQuantum != 0 || padding > kMaximumPadding)
        return std::nullopt;
    return kept;
}

} // namespace

QString Base64::encode(const QString &text)
{
    if (text.isNull())
        return QString();
    return QString::fromLatin1(text.toUtf8().toBase64());
}

QString Base64::dencode(const QString &text)
{
    if (text.isNull())
        return QString();
    const std::optional<QByteArray> canonical = canonicalBase64(text);
    if (!canonical)
        return QString();
    const auto decoded =
        QByteArray::fromBase64Encoding(*canonical, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return QString();
    return Utf8::strictString(*decoded);
}
