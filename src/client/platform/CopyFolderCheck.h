#pragma once

// Decides whether the PDF that a hand-off URL names may be uploaded, and opens it for the upload.
// Any program or web page can open such a URL, and every local user can write the copy folder, so
// only a file where the monitor leaves its job copies is taken: the path is absolute and plain (no
// ".", "..", doubled or trailing "/", no NUL), its folder is the copy folder (the same folder,
// reached by any path), and the entry of that name, opened relative to the copy folder without
// following a link, is a regular file of this user's (another user's file there is never sent to
// this user's account). The copy folder itself must not be a link either (the folders above it
// may be).
//
// The check is made on the descriptor that is then read: a copy swapped for a link, a FIFO, a
// folder or another user's file after an earlier check is refused when it is opened, never read
// through.
//
// Holds only the folder; any thread (it examines the file system when asked).

#include "foundation/Error.h"
#include "foundation/SharedFolderFiles.h"

#include <QString>

class CopyFolderCheck
{
public:
    static constexpr auto kCopyFolder = "/tmp/vqmprinter";
    static constexpr auto kErrorDomain = "CopyFolderCheck";

    explicit CopyFolderCheck(QString copyFolder = QLatin1String(kCopyFolder));

    // The job copy the path names, open for reading; otherwise why it is refused. A copy that is
    // missing from the copy folder is refused with isMissing() true.
    Result<FileDescriptor> openCopy(const QString &pdfPath) const;
    static bool isMissing(const Error &refusal);

    // Whether a job may be queued for the path: null when taken, otherwise why it is refused. A
    // missing file inside the folder is taken; its upload then fails like any failed upload.
    QString refusal(const QString &pdfPath) const;

    QString copyFolder() const { return m_copyFolder; }

private:
    QString m_copyFolder;
};
