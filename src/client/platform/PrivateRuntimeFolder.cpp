#include "PrivateRuntimeFolder.h"

#include <QFile>

#include <cerrno>

#include <sys/stat.h>

namespace {

constexpr mode_t kWritableByOthers = S_IWGRP | S_IWOTH;
constexpr mode_t kPermissionBits = 07777;
constexpr int kOctal = 8;
constexpr auto kDescriptorPath = "/proc/self/fd/%1";

Error refusal(const QString &description)
{
    return Error{QString::fromLatin1(PrivateRuntimeFolder::kErrorDomain), EPERM, description};
}

} // namespace

PrivateRuntimeFolder::PrivateRuntimeFolder(FileDescriptor folder)
    : m_folder(std::move(folder))
{}

Result<PrivateRuntimeFolder> PrivateRuntimeFolder::open(const QString &path, uid_t user)
{
    // Whatever stands there already is judged below, through the descriptor.
    if (::mkdir(QFile::encodeName(path).constData(), kMode) != 0 && errno != EEXIST)
        return SharedFolderFiles::systemError(QStringLiteral("cannot make the folder %1").arg(path),
                                              errno);
    Result<FileDescriptor> folder = SharedFolderFiles::openFolder(path);
    if (!folder)
        return folder.error();
    struct stat status = {};
    if (::fstat(folder->get(), &status) != 0)
        return SharedFolderFiles::systemError(QStringLiteral("cannot read the folder %1").arg(path),
                                              errno);
    if (status.st_uid != user)
        return refusal(QStringLiteral("the folder %1 belongs to user %2, not to user %3")
                           .arg(path)
                           .arg(status.st_uid)
                           .arg(user));
    if (status.st_mode & kWritableByOthers)
        return refusal(QStringLiteral("the folder %1 can be written by others (mode %2)")
                           .arg(path)
                           .arg(status.st_mode & kPermissionBits, 0, kOctal));
    return PrivateRuntimeFolder(std::move(folder).value());
}

QString PrivateRuntimeFolder::path() const
{
    return QString::fromLatin1(kDescriptorPath).arg(m_folder.get());
}
