#pragma once

// Writes real PDF files for the monitor's tests and benchmark.

#include <QString>

namespace PdfFixture {

// A valid PDF of the given number of empty pages, ending in "%%EOF" and a line feed.
void write(const QString &path, int pages);

} // namespace PdfFixture
