#pragma once

// What the pages of a PDF show, as poppler's pdftotext reads them: one text per page, with every
// run of white space made a single blank. The print road compares documents by it.

#include "foundation/Error.h"

#include <QString>
#include <QStringList>

namespace PdfPages {

// The text of each page, in page order; an error when the file is not a readable PDF.
Result<QStringList> texts(const QString &path);

} // namespace PdfPages
