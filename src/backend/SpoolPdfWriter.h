#pragma once

// Leaves a job's PDF in the spool folder as "<job id>.pdf", mode 0666. The data goes to a hidden
// partial file first and is renamed into place once complete, so the monitor, which reacts to
// entries appearing, never sees a PDF that is still being written: a PDF with incremental updates
// carries an earlier "%%EOF" that a half-written file could end on. Every local user can write to
// the spool folder, so whatever stands at the partial name (a stale partial file, or a link another
// user planted) is removed and a new file made in its place, and the file is renamed within the
// folder it was made in; nothing is ever opened or changed through a link. Runs on the calling
// thread; the cancel check is made after every block read.

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
    Result<Done> write(qint64 jobId, QIODevice &source) const;

private:
    Result<Done> copy(QIODevice &source, int target, const QString &targetName) const;
    Error inFolder(const Error &error) const;

    QString m_folder;
    std::function<bool()> m_isCancelled;
};
