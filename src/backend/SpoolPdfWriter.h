#pragma once

// Stages a job's PDF in the spool folder as a StagedPdf, to be checked and then published as
// "<job id>.pdf". The monitor reacts to entries appearing, so it never sees a PDF that is still
// being written: a PDF with incremental updates carries an earlier "%%EOF" that a half-written
// file could end on. Every local user can write to the spool folder, so the file is unnamed
// (O_TMPFILE), where nobody can watch for it or swap it. Where the file system has no unnamed
// files (or the staging asks for it), each staged file gets a new unguessable hidden name
// (PartialFileName) made with O_CREAT|O_EXCL|O_NOFOLLOW: nothing planted in advance stands in its
// way, and nothing is ever opened or changed through a link. Runs on the calling thread; the
// cancel check is made after every block read.

#include "PdfStaging.h"
#include "StagedPdf.h"

#include "foundation/Error.h"

#include <QString>

#include <functional>

class QIODevice;

class SpoolPdfWriter
{
public:
    static constexpr qint64 kBlockSize = 64 * 1024;
    // New names tried when one is taken (or its file lost to a sweep) before it was locked.
    static constexpr int kNameAttempts = 8;

    SpoolPdfWriter(QString folder, std::function<bool()> isCancelled,
                   PdfStaging staging = PdfStaging::Unnamed);

    // Copies the source to the end. A cancelled or failed copy leaves nothing in the folder.
    Result<StagedPdf> stage(qint64 jobId, QIODevice &source) const;

    // An empty staged file for the job, for the caller to write through its descriptor (a PDF
    // made of the job's documents, say); published or removed as stage()'s.
    Result<StagedPdf> stageEmpty(qint64 jobId) const;

    // Removes partial files in the folder whose writers are gone (StalePartialSweep).
    void removeStalePartials() const;

private:
    // A file at a new hidden name of the opened folder, locked.
    Result<StagedPdf> stageAtHiddenName(qint64 jobId, FileDescriptor folder) const;
    Result<Done> copy(QIODevice &source, const StagedPdf &target) const;

    QString m_folder;
    std::function<bool()> m_isCancelled;
    PdfStaging m_staging;
};
