#include "NoFollowPath.h"

#include <QFile>
#include <QStringList>

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

namespace {

constexpr int kFolderOpenFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

struct Components
{
    bool absolute = false;
    QStringList names;
};

Result<Components> componentsOf(const QString &path)
{
    if (path.isEmpty() || path.contains(QChar(0)))
        return SharedFolderFiles::systemError(
            QStringLiteral("the path \"%1\" names nothing").arg(path), EINVAL);
    Components components;
    components.absolute = path.startsWith(QLatin1Char('/'));
    for (const QString &name : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (name == QLatin1String("."))
            continue;
        if (name == QLatin1String(".."))
            return SharedFolderFiles::systemError(
                QStringLiteral("the path %1 climbs with \"..\", which is never walked").arg(path),
                EINVAL);
        components.names.append(name);
    }
    return components;
}

Result<FileDescriptor> startOf(const Components &components)
{
    const char *start = components.absolute ? "/" : ".";
    FileDescriptor folder(::open(start, kFolderOpenFlags & ~O_NOFOLLOW));
    if (!folder.valid())
        return SharedFolderFiles::systemError(QStringLiteral("cannot open %1").arg(start), errno);
    return folder;
}

Result<FileDescriptor> walk(const Components &components, qsizetype count,
                            NoFollowPath::Missing missing)
{
    Result<FileDescriptor> folder = startOf(components);
    for (qsizetype index = 0; folder && index < count; ++index)
        folder = NoFollowPath::openChildFolder(folder->get(), components.names.at(index), missing);
    return folder;
}

} // namespace

Result<NoFollowPath::Place> NoFollowPath::placeOf(const QString &path, Missing missing)
{
    const Result<Components> components = componentsOf(path);
    if (!components)
        return components.error();
    if (components->names.isEmpty())
        return SharedFolderFiles::systemError(
            QStringLiteral("the path %1 has no last component").arg(path), EINVAL);
    Result<FileDescriptor> folder = walk(components.value(), components->names.size() - 1, missing);
    if (!folder)
        return folder.error();
    return Place{std::move(folder.value()), components->names.last()};
}

Result<FileDescriptor> NoFollowPath::openFolder(const QString &path, Missing missing)
{
    const Result<Components> components = componentsOf(path);
    if (!components)
        return components.error();
    return walk(components.value(), components->names.size(), missing);
}

Result<FileDescriptor> NoFollowPath::openChildFolder(int folder, const QString &name,
                                                     Missing missing)
{
    if (!SharedFolderFiles::isPlainName(name))
        return SharedFolderFiles::systemError(QStringLiteral("cannot open the folder %1").arg(name),
                                              EINVAL);
    const QByteArray encoded = QFile::encodeName(name);
    int opened = ::openat(folder, encoded.constData(), kFolderOpenFlags);
    // mkdirat never follows a link at the name; another process may make it at the same moment.
    if (opened < 0 && errno == ENOENT && missing == Missing::Make &&
        (::mkdirat(folder, encoded.constData(), kMadeFolderMode) == 0 || errno == EEXIST))
        opened = ::openat(folder, encoded.constData(), kFolderOpenFlags);
    if (opened >= 0)
        return FileDescriptor(opened);

    const int code = errno;
    struct stat status = {};
    if ((code == ENOTDIR || code == ELOOP) &&
        ::fstatat(folder, encoded.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISLNK(status.st_mode))
        return SharedFolderFiles::systemError(
            QStringLiteral("%1 is a symbolic link, which is never followed").arg(name), ELOOP);
    return SharedFolderFiles::systemError(QStringLiteral("cannot open the folder %1").arg(name),
                                          code);
}
