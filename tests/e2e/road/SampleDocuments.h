#pragma once

// Documents in the other formats the queue takes, which CUPS's filters turn into PDF before the
// backend: plain text, and an image and a PostScript file made from a sample PDF (SamplePdf) with
// poppler's pdftoppm and pdftops.

#include "foundation/Error.h"

#include <QString>
#include <QStringList>

namespace SampleDocuments {

// UTF-8 text, one line each.
Result<Done> writeText(const QString &path, const QStringList &lines);
// The first page of the PDF as a PNG image.
Result<Done> writeImage(const QString &path, const QString &fromPdf);
// The PDF as PostScript, page for page.
Result<Done> writePostScript(const QString &path, const QString &fromPdf);

} // namespace SampleDocuments
