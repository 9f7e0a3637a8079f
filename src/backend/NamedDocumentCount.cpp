#include "NamedDocumentCount.h"

#include <QByteArrayView>

namespace {

bool isSpace(char byte)
{
    return byte == ' ' || byte == '\t' || byte == '\n' || byte == '\r' || byte == '\f' ||
           byte == '\v';
}

// The end of the option that starts at the offset: the first white space outside quotes,
// collection braces and backslash escapes, as cupsParseOptions reads them.
qsizetype endOfOption(QByteArrayView text, qsizetype at)
{
    char quote = 0;
    int braces = 0;
    for (; at < text.size(); ++at) {
        const char byte = text.at(at);
        if (byte == '\\') {
            // A lone backslash at the end escapes nothing.
            if (at + 1 < text.size())
                ++at;
        } else if (quote != 0) {
            if (byte == quote)
                quote = 0;
        } else if (byte == '\'' || byte == '"') {
            quote = byte;
        } else if (byte == '{') {
            ++braces;
        } else if (byte == '}' && braces > 0) {
            --braces;
        } else if (braces == 0 && isSpace(byte)) {
            break;
        }
    }
    return at;
}

} // namespace

int NamedDocumentCount::of(const QByteArray &optionText)
{
    const QByteArray prefix = QByteArray(kOptionName) + '=';
    int count = 0;
    for (qsizetype at = 0; at < optionText.size();) {
        if (isSpace(optionText.at(at))) {
            ++at;
            continue;
        }
        const qsizetype end = endOfOption(optionText, at);
        if (QByteArrayView(optionText).sliced(at, end - at).startsWith(prefix))
            ++count;
        at = end;
    }
    return count;
}
