#pragma once

// A job's PDF written into the spool folder under its hidden partial name, where the monitor does
// not take it for a job. It stays open, so that it can be checked and mended through its own
// descriptor. publish() closes it and renames it to its job name within the folder it was made
// in, replacing whatever has that name (a link itself rather than its target); until then the file
// is removed when this goes, so a job that is refused, fails or is cancelled leaves nothing behind.
// Runs on the calling thread.

#include "foundation/Error.h"
#include "foundation/SharedFolderFiles.h"

#include <QString>

class StagedPdf
{
public:
    // The file is open for reading and writing at the partial name in the folder.
    StagedPdf(FileDescriptor folder, QString folderPath, QString partialName, QString jobName,
              FileDescriptor file);
    StagedPdf(StagedPdf &&other) noexcept = default;
    StagedPdf &operator=(StagedPdf &&) = delete;
    ~StagedPdf();

    int descriptor() const { return m_file.get(); }

    Result<Done> publish();

private:
    FileDescriptor m_folder;
    QString m_folderPath;
    QString m_partialName;
    QString m_jobName;
    FileDescriptor m_file;
    bool m_published = false;
};
