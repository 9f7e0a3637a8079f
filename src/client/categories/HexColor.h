#pragma once

// Colours from hexadecimal texts such as "#92AAAE", "92aaae" or "0x92AAAE". Stateless; any thread.

#include <QColor>
#include <QString>

class HexColor
{
public:
    // Surrounding blanks and line breaks are ignored, as are a leading "0x"/"0X" and then a "#".
    // Anything but six characters left gives the clear colour. A pair that does not begin with a
    // hexadecimal digit reads as 0; otherwise its leading hexadecimal digits are read.
    static QColor colorWithHexString(const QString &text, float alpha);
    static QColor colorWithHexString(const QString &text);
};
