#pragma once

// Joins the documents of a job's file into one PDF with every page of every document, in order,
// with qpdf: each document is read as a PDF of its own (RangeInputSource), its pages are copied
// into a new PDF, and that PDF is written to the target. Stream data is copied as it stands, never
// decoded or compressed again, and read from the job's file only while it is written, so memory
// does not grow with the documents' size beyond what qpdf holds of one stream; each document's
// reader is let go once its pages are copied, so memory does not grow with their count either
// beyond the pages themselves. A page tree deeper than kMaxPageTreeDepth is refused before qpdf
// walks it (its walks recurse). Plain functions; runs on the calling thread, checking the cancel
// before each document and each block written.

#include "DocumentRange.h"

#include "foundation/Error.h"

#include <QList>

#include <functional>

class DocumentJoiner
{
public:
    // Deeper than any real document's page tree.
    static constexpr int kMaxPageTreeDepth = 256;

    // Reads the documents from the source file and writes the joined PDF to the target, an empty
    // file open for writing. A document qpdf cannot read gives an error of
    // CompletePdfCheck::kRefusalDomain naming it; a target that cannot be written, one of the
    // system's domain; a cancel, DescriptorBytes::cancelled().
    static Result<Done> join(int source, const QList<DocumentRange> &documents, int target,
                             const std::function<bool()> &isCancelled);
};
