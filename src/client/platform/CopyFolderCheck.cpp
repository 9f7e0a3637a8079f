#include "CopyFolderCheck.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>

CopyFolderCheck::CopyFolderCheck(QString copyFolder)
    : m_copyFolder(std::move(copyFolder))
{}

QString CopyFolderCheck::refusal(const QString &pdfPath) const
{
    if (pdfPath.isEmpty())
        return QStringLiteral("no file is named");
    if (!QDir::isAbsolutePath(pdfPath) || QDir::cleanPath(pdfPath) != pdfPath ||
        pdfPath.contains(QChar(0)))
        return QStringLiteral("the path is not plain and absolute");

    const QString folder = QFileInfo(pdfPath).path();
    const QString resolvedCopyFolder = QFileInfo(m_copyFolder).canonicalFilePath();
    if (resolvedCopyFolder.isEmpty())
        return QStringLiteral("the copy folder %1 does not exist").arg(m_copyFolder);
    if (QFileInfo(folder).canonicalFilePath() != resolvedCopyFolder)
        return QStringLiteral("the file is not in the copy folder %1").arg(m_copyFolder);

    struct stat status = {};
    if (::lstat(QFile::encodeName(pdfPath).constData(), &status) != 0) {
        if (errno == ENOENT)
            return {};
        return QStringLiteral("the file cannot be examined: %1")
            .arg(QString::fromLocal8Bit(std::strerror(errno)));
    }
    if (S_ISLNK(status.st_mode))
        return QStringLiteral("the path is a link");
    if (!S_ISREG(status.st_mode))
        return QStringLiteral("the path is not a regular file");
    return {};
}
