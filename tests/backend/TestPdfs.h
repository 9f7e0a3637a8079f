#pragma once

// PDFs for the backend's document tests, made with qpdf in memory: pages that each show a text of
// their own, in the shapes a job's documents take (cross-reference tables or streams, linearized,
// with a file attached as it stands), and the job files CUPS makes of them; also reading back
// what each page shows, to check pages and their order.

#include <QByteArray>
#include <QByteArrayList>
#include <QList>

#include <functional>

namespace TestPdfs {

struct Shape
{
    // Objects in object streams, found through a cross-reference stream.
    bool objectStreams = false;
    bool linearized = false;
    // Attached to the document uncompressed; empty: nothing attached.
    QByteArray attachment = {};
    // The page tree gives the pages their size, which they inherit.
    bool inheritedMediaBox = false;
    // Comment lines after the header, which move every object that many bytes on.
    QByteArray headerComment = {};
};

// A PDF whose pages show "<label> page <n>" in their content stream.
QByteArray make(const QByteArray &label, int pages, const Shape &shape = {});

// A PDF written as given, object n being bodies[n - 1] and the catalog object 1, with a
// cross-reference table that gives each object's offset.
QByteArray handMade(const QByteArrayList &bodies);

// A one-page PDF whose page lies the given number of page tree levels below the catalog's.
QByteArray withPageTreeDepth(int levels);

// The offset the PDF's last "startxref" gives.
qint64 startXrefOf(const QByteArray &pdf);

// The document with an incremental update appended that starts with a header comment line, as
// some tools write: a single PDF with an end marker followed by a header.
QByteArray withUpdateStartingWithHeader(const QByteArray &pdf);

// The content streams of the file's pages in order ("<label> page <n>" for make()'s); fails the
// calling test when qpdf reads the file with a warning.
QByteArrayList pageContents(const QByteArray &pdf);

// The cancel check of a job nobody cancels, for the document steps.
inline const std::function<bool()> kNotCancelled = [] { return false; };

// The bytes of a file the tests keep as CUPS delivered it.
QByteArray recorded(const char *name);

} // namespace TestPdfs
