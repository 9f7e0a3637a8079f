#pragma once

// Reader of PostScript files: not provided; the operation answers no text and sets no error.

#include "foundation/Error.h"

#include <QString>

class PRFileReader
{
public:
    static QString readLoadAndConvertPSFile(const QString &path, Error *error);
};
