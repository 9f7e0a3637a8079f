#include "StagedPdf.h"

#include "BackendDefaults.h"
#include "SharedAccess.h"

#include <QFile>

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

namespace {

// What renameat reports when the entry at the new name is not one a file may replace.
bool isHeldNameError(int code)
{
    switch (code) {
    case EISDIR:
    case ENOTEMPTY:
    case EEXIST:
    case EBUSY:
    case EPERM:
    case EACCES:
        return true;
    default:
        return false;
    }
}

constexpr auto kHeldNameDomain = "vqmprinter.jobName";

} // namespace

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
    if (!m_folder.valid() || m_published)
        return;
    struct stat own = {};
    if (m_file.valid() && ::fstat(m_file.get(), &own) == 0)
        SharedFolderFiles::removeCheckedFile(m_folder.get(), m_partialName, own);
}

Result<Done> StagedPdf::publish()
{
    // Written with a narrow mode, so that no other user can open (or lock) it meanwhile; the
    // monitor of every user reads it once it has its job name.
    if (const Result<Done> shared =
            SharedFolderFiles::setMode(m_file.get(), BackendDefaults::kSharedFileMode);
        !shared)
        return SharedAccess::inFolder(m_folderPath, shared.error());
    if (::renameat(m_folder.get(), QFile::encodeName(m_partialName).constData(), m_folder.get(),
                   QFile::encodeName(m_jobName).constData()) != 0) {
        const int code = errno;
        Error error = SharedAccess::inFolder(
            m_folderPath, SharedFolderFiles::systemError(
                              QStringLiteral("cannot move the PDF to %1").arg(m_jobName), code));
        if (isHeldNameError(code))
            error.domain = QLatin1String(kHeldNameDomain);
        return error;
    }
    m_published = true;
    // Closed (and unlocked) only under its job name, so that no sweep can take it before.
    m_file.reset();
    return Done{};
}

bool StagedPdf::isNameHeld(const Error &error)
{
    return error.domain == QLatin1String(kHeldNameDomain);
}
