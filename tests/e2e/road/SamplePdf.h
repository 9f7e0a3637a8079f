#pragma once

// Writes the documents the print road prints: real PDFs of a given number of pages, each page
// saying its number, optionally grown to a given size by an image that no page draws (random
// grey pixels, so that nothing on the way can compress it away).

#include "foundation/Error.h"

#include <QString>

namespace SamplePdf {

// minimumBytes 0: as small as the pages make it.
Result<Done> write(const QString &path, int pages, qint64 minimumBytes = 0);

} // namespace SamplePdf
