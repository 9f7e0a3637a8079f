#pragma once

// Decides where each document of a job's file begins and ends. For a job of several documents
// CUPS starts the backend once and hands it their PDFs back to back on one stream. A single PDF
// may hold an end marker followed by a header in its own bytes too (an attached PDF stored
// uncompressed, an incremental update), so a byte pattern alone never cuts a file:
// - a candidate boundary is where a "%PDF-" header follows an "%%EOF" end marker and PDF white
//   space (NUL bytes among it) of any length;
// - it is a boundary only when the bytes before it, from the previous boundary, hold as a PDF of
//   their own: their last "startxref", counted from their own first byte, leads a reader (past
//   white space) to a cross-reference table or stream inside them; and the last document must
//   hold the same way;
// - when the whole file also holds as one PDF, and the job names exactly one document, it stays
//   one. Documents of the same structure (copies of one PDF, pages of one template) hold both
//   ways, whereas a single PDF would need cross-reference sections at both its last offset and
//   that offset counted from the header: so without names, the documents are taken.
// The documents found must account for every byte of the job: a document that does not hold, or
// a header inside a document from which the rest of it holds as a PDF of its own (a PDF after a
// raw text file, which no boundary can place), refuses the job, so that no document is lost
// without a word. Fewer documents than named is fine where each holds (the filters leave a
// document empty when a page range has no pages in it). A job that names one document is
// published as it came where it is not several whole PDFs; so is a file that does not begin with
// a PDF header, for the completeness check to refuse, and one document that does not hold where
// the job names none. The job's options name its documents (CUPS adds "document-name-supplied"
// once for each named document; banner pages are documents without a name).
//
// Reads the file once, front to back, in blocks (PdfStructureScan): time grows with the file's
// size alone and memory with neither, whatever the bytes. Plain functions, any thread; the cancel
// check is made before each block.

#include "DocumentRange.h"

#include "foundation/Error.h"

#include <QList>

#include <functional>

class DocumentBoundaries
{
public:
    // A document's last "startxref" lies this close to its end marker.
    static constexpr qint64 kTrailerWindow = 1024;
    // More documents than any real job holds; a job of more is refused.
    static constexpr qsizetype kMaxDocuments = 1000;

    // The documents of the file open on the descriptor, in order, covering it whole.
    // namedDocuments: how many documents the job's options name (0 where they name none). An
    // error of CompletePdfCheck::kRefusalDomain refuses the job; a cancel ends it with
    // DescriptorBytes::cancelled().
    static Result<QList<DocumentRange>> find(int descriptor, int namedDocuments,
                                             const std::function<bool()> &isCancelled);
};
