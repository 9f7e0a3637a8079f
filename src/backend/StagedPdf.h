#pragma once

// A job's PDF while the backend writes, checks and mends it through its own descriptor, open for
// reading and writing: an unnamed file of the spool folder (O_TMPFILE) that nobody else can see,
// or, where the file system has none, a file at a hidden partial name (PartialFileName), where the
// monitor does not take it for a job, locked (flock) for its whole life so that a later backend's
// StalePartialSweep knows its writer is alive. publish() gives it the published mode and links
// that very file, through its descriptor, at its job name: whatever stands at the name (a file, a
// folder, a link, a FIFO another user planted) is moved aside first (EntryMover), never followed
// or emptied. Until then nothing of it is left when this goes, so a job that is refused, fails or
// is cancelled leaves nothing behind. Runs on the calling thread.

#include "foundation/Error.h"
#include "foundation/SharedFolderFiles.h"

#include <QString>

class StagedPdf
{
public:
    // Rounds of moving an entry aside and linking, for a name that is planted again meanwhile.
    static constexpr int kPublishAttempts = 8;

    // The file is open for reading and writing in the folder: unnamed when partialName is null,
    // otherwise at that name and locked.
    StagedPdf(FileDescriptor folder, QString folderPath, QString jobName, FileDescriptor file,
              QString partialName = QString());
    StagedPdf(StagedPdf &&other) noexcept = default;
    StagedPdf &operator=(StagedPdf &&) = delete;
    ~StagedPdf();

    int descriptor() const { return m_file.get(); }
    // What messages call the file.
    QString description() const;

    // Once published, the PDF is the monitor's: it is neither closed early nor removed here. Fails
    // only for a fault of the folder (or of its file system), never for an entry at the job name.
    Result<Done> publish();

private:
    Result<Done> linkAtJobName();
    // Removes an earlier PDF of this backend's own that was moved aside from the job's name; what
    // another user planted stays where it was moved.
    void removeOwnStale(const QString &asideName) const;
    // Takes the published name back, as when another user holds a name of the file (a partial
    // name renamed away): the monitor would never take a file of two names for a job.
    Result<Done> unpublish(const struct stat &own);
    Error inFolder(const Error &error) const;

    FileDescriptor m_folder;
    QString m_folderPath;
    QString m_jobName;
    FileDescriptor m_file;
    QString m_partialName;
    bool m_published = false;
};
