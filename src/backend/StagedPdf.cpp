#include "StagedPdf.h"

#include "SharedAccess.h"

#include <QFile>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

StagedPdf::StagedPdf(FileDescriptor folder, QString folderPath, QString partialName,
                     QString jobName, FileDescriptor file)
    : m_folder(std::move(folder))
    , m_folderPath(std::move(folderPath))
    , m_partialName(std::move(partialName))
    , m_jobName(std::move(jobName))
    , m_file(std::move(file))
{}

StagedPdf::~StagedPdf()
{
    // A moved-from one no longer holds the folder.
    if (m_folder.valid() && !m_published)
        ::unlinkat(m_folder.get(), QFile::encodeName(m_partialName).constData(), 0);
}

Result<Done> StagedPdf::publish()
{
    // The monitor finds a file that is closed and whole.
    m_file.reset();
    if (::renameat(m_folder.get(), QFile::encodeName(m_partialName).constData(), m_folder.get(),
                   QFile::encodeName(m_jobName).constData()) != 0) {
        return SharedAccess::inFolder(
            m_folderPath, SharedFolderFiles::systemError(
                              QStringLiteral("cannot move the PDF to %1").arg(m_jobName), errno));
    }
    m_published = true;
    return Done{};
}
