#pragma once

// Decides whether the PDF that a hand-off URL names may be uploaded. Any program or web page can
// open such a URL, so only a file where the monitor leaves its job copies is taken: the path is
// absolute and plain (no ".", "..", doubled or trailing "/", no NUL), its folder with links
// resolved is the copy folder with links resolved, and whatever is at the path is a regular file,
// not a link. A missing file inside the folder is taken; its upload then fails and is reported
// like any failed upload.
//
// Holds only the folder; any thread (it examines the file system when asked).

#include <QString>

class CopyFolderCheck
{
public:
    static constexpr auto kCopyFolder = "/tmp/vqmprinter";

    explicit CopyFolderCheck(QString copyFolder = QLatin1String(kCopyFolder));

    // Null when the path is taken; otherwise why it is refused.
    QString refusal(const QString &pdfPath) const;

    QString copyFolder() const { return m_copyFolder; }

private:
    QString m_copyFolder;
};
