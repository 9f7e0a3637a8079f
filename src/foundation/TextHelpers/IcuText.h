#pragma once

// Conversions between Qt's and ICU's texts; both hold UTF-16 code units, so nothing is decoded.
// Stateless; callable from any thread.

#include <QString>

#include <unicode/unistr.h>

class IcuText
{
public:
    static icu::UnicodeString toIcu(const QString &text);
    static QString fromIcu(const icu::UnicodeString &text);
};
