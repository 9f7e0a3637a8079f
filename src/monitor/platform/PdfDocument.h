#pragma once

// PDF facts the hand-off needs, read with qpdf. Stateless; any thread (each call opens its own
// document).

#include <QString>

class PdfDocument
{
public:
    // The number of pages of the PDF file; 0 when the file is missing, not a regular file (a link,
    // a FIFO) or not a readable PDF.
    static long numberOfPages(const QString &path);
};
