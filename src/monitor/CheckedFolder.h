#pragma once

// A folder the monitor works in (the spool folder, the copy folder), opened once without following
// a link and used only when it is a folder that root or this user owns. Every later step reaches
// its entries through this descriptor, so a link or another folder put at the path afterwards is
// never used. Immutable once opened; any thread.

#include "foundation/Error.h"
#include "foundation/SharedFolderFiles.h"

#include <QString>

#include <sys/types.h>

class CheckedFolder
{
public:
    // The folder at the path; why not, when it is missing, a link, not a folder or another
    // user's.
    static Result<CheckedFolder> open(const QString &path);
    // As open; a missing folder is made first, with the mode.
    static Result<CheckedFolder> openOrMake(const QString &path, mode_t mode);

    const QString &path() const { return m_path; }
    int descriptor() const { return m_descriptor.get(); }
    // The path of an entry, for messages and for the programs that are told where a file is.
    QString filePath(const QString &name) const;

private:
    CheckedFolder(QString path, FileDescriptor descriptor);
    static Result<CheckedFolder> checked(const QString &path, Result<FileDescriptor> opened);

    QString m_path;
    FileDescriptor m_descriptor;
};
