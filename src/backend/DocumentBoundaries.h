#pragma once

// Decides where each document of a job's file begins and ends. For a job of several documents
// CUPS starts the backend once and hands it their PDFs back to back on one stream. A single PDF
// may hold an end marker followed by a header in its own bytes too (an attached PDF stored
// uncompressed, an incremental update), so a byte pattern alone never cuts a file:
// - a candidate boundary is where a "%PDF-" header follows an "%%EOF" end marker and at most
//   kGapLimit bytes of PDF white space;
// - it is a boundary only when the bytes before it, from the previous boundary, hold as a PDF of
//   their own: their last "startxref", counted from their own first byte, points at a
//   cross-reference table or stream inside them; and the last document must hold the same way;
// - when the whole file also holds as one PDF, and the job names exactly one document, it stays
//   one. Documents of the same structure (copies of one PDF, pages of one template) hold both
//   ways, whereas a single PDF would need cross-reference sections at both its last offset and
//   that offset counted from the header: so without names, the documents are taken.
// The job's options name its documents (CUPS adds "document-name-supplied" once for each named
// document; banner pages are documents without a name). Fewer documents than named is fine where
// each holds (the filters leave a document empty when a page range has no pages in it); where one
// does not, it was taken together with what is not a whole PDF (a raw text file among raw PDFs, a
// document that ends too early), and the job is refused, so that no document is lost without a
// word. A file that does not begin with a PDF header is one document, for the completeness check
// to refuse.
//
// Reads through the descriptor in blocks: memory does not grow with the file. Plain functions,
// any thread.

#include "DocumentRange.h"

#include "foundation/Error.h"

#include <QList>

class DocumentBoundaries
{
public:
    // The most white space between one document's end marker and the next one's header.
    static constexpr qint64 kGapLimit = 1024;
    // A document's last "startxref" lies this close to its end marker.
    static constexpr qint64 kTrailerWindow = 1024;

    // The documents of the file open on the descriptor, in order, covering it whole.
    // namedDocuments: how many documents the job's options name (0 where they name none). An
    // error of CompletePdfCheck::kRefusalDomain refuses the job.
    static Result<QList<DocumentRange>> find(int descriptor, int namedDocuments);
};
