#pragma once

// Hexadecimal digits, as the percent-escapes, hex byte texts and colour texts write them.
// Stateless; callable from any thread.

#include <QChar>

#include <optional>

class HexDigit
{
public:
    static constexpr int kBase = 16;

    // The value of 0-9, a-f or A-F; nullopt for any other character.
    static std::optional<int> value(QChar digit);
};
