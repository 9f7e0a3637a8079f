#pragma once

// Case-insensitive regular-expression replace (ICU syntax; "$1" in the template is group 1, a
// backslash quotes the next character). Stateless; callable from any thread.

#include <QString>

class PRRegexHandle
{
public:
    // Every match in searchStr replaced by the template; null when the pattern does not compile
    // or the template names a group the pattern lacks.
    static QString searchFormatWithSearchStr(const QString &searchStr, const QString &regExpStr,
                                             const QString &replacement);
};
