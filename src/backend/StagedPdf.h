#pragma once

// A job's PDF in the spool folder under a hidden partial name (PartialFileName), where the monitor
// does not take it for a job. It stays open for reading and writing, so that it can be written,
// checked and mended through its own descriptor, and holds an exclusive flock for its whole life,
// which tells a later backend's StalePartialSweep that its writer is alive. publish() gives it the
// shared mode and renames it to its job name within the folder it was made in, replacing a file or
// a link standing there (the link itself, never its target). Until then the file is removed when
// this goes, so a job that is refused, fails or is cancelled leaves nothing behind. Runs on the
// calling thread.

#include "foundation/Error.h"
#include "foundation/SharedFolderFiles.h"

#include <QString>

class StagedPdf
{
public:
    // The file is open for reading and writing, and locked, at the partial name in the folder.
    StagedPdf(FileDescriptor folder, QString folderPath, QString partialName, QString jobName,
              FileDescriptor file);
    StagedPdf(StagedPdf &&other) noexcept = default;
    StagedPdf &operator=(StagedPdf &&) = delete;
    ~StagedPdf();

    int descriptor() const { return m_file.get(); }
    const QString &partialName() const { return m_partialName; }

    // Once published, the PDF is the monitor's: it is neither closed early nor removed here.
    Result<Done> publish();

    // Whether publish() failed because the job's name is held by an entry that cannot be replaced
    // (a folder): that job cannot be handed over, whereas other faults may pass.
    static bool isNameHeld(const Error &error);

private:
    FileDescriptor m_folder;
    QString m_folderPath;
    QString m_partialName;
    QString m_jobName;
    FileDescriptor m_file;
    bool m_published = false;
};
