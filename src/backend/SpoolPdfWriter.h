#pragma once

// Copies a job's data into the spool folder as a StagedPdf: a hidden partial file, mode 0666, that
// the monitor does not take for a job, to be checked and then published as "<job id>.pdf". The
// monitor reacts to entries appearing, so it never sees a PDF that is still being written: a PDF
// with incremental updates carries an earlier "%%EOF" that a half-written file could end on. Every
// local user can write to the spool folder, so whatever stands at the partial name (a stale
// partial file, or a link another user planted) is removed and a new file made in its place;
// nothing is ever opened or changed through a link. Runs on the calling thread; the cancel check
// is made after every block read.

#include "StagedPdf.h"

#include "foundation/Error.h"

#include <QString>

#include <functional>

class QIODevice;

class SpoolPdfWriter
{
public:
    static constexpr qint64 kBlockSize = 64 * 1024;

    SpoolPdfWriter(QString folder, std::function<bool()> isCancelled);

    // Copies the source to the end. A cancelled or failed copy leaves nothing in the folder.
    Result<StagedPdf> stage(qint64 jobId, QIODevice &source) const;

private:
    Result<Done> copy(QIODevice &source, int target, const QString &targetName) const;

    QString m_folder;
    std::function<bool()> m_isCancelled;
};
