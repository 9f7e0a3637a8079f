#include "TreeRemoval.h"

#include "NoFollowPath.h"
#include "foundation/SharedFolderFiles.h"

#include <QFile>
#include <QStringList>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <vector>

namespace {

// A folder being emptied, and the names of its entries still to remove.
struct Level
{
    FileDescriptor folder;
    QString name;
    QStringList remaining;
};

Result<Done> unlinkEntry(int folder, const QString &name, int flags)
{
    if (::unlinkat(folder, QFile::encodeName(name).constData(), flags) != 0 && errno != ENOENT)
        return SharedFolderFiles::systemError(QStringLiteral("cannot remove %1").arg(name), errno);
    return Done{};
}

// Opens the entry as a folder to empty; anything that is not a folder (a link to one included)
// is unlinked at once, and nullopt tells that nothing is left to descend into.
Result<std::optional<Level>> descendOrUnlink(int folder, const QString &name)
{
    Result<FileDescriptor> opened = NoFollowPath::openChildFolder(folder, name);
    if (!opened) {
        const int code = opened.error().code;
        if (code == ENOENT)
            return std::optional<Level>();
        if (code != ENOTDIR && code != ELOOP)
            return opened.error();
        if (const Result<Done> unlinked = unlinkEntry(folder, name, 0); !unlinked)
            return unlinked.error();
        return std::optional<Level>();
    }
    Result<QStringList> names = SharedFolderFiles::entryNames(opened->get());
    if (!names)
        return names.error();
    return std::optional<Level>(Level{std::move(opened.value()), name, std::move(names.value())});
}

} // namespace

Result<Done> TreeRemoval::removeEntry(int folder, const QString &name)
{
    Result<std::optional<Level>> top = descendOrUnlink(folder, name);
    if (!top)
        return top.error();
    std::vector<Level> levels;
    if (top.value())
        levels.push_back(std::move(*top.value()));
    while (!levels.empty()) {
        Level &current = levels.back();
        if (current.remaining.isEmpty()) {
            const QString emptied = current.name;
            levels.pop_back();
            const int parent = levels.empty() ? folder : levels.back().folder.get();
            if (const Result<Done> removed = unlinkEntry(parent, emptied, AT_REMOVEDIR); !removed)
                return removed;
            continue;
        }
        const QString entry = current.remaining.takeLast();
        Result<std::optional<Level>> below = descendOrUnlink(current.folder.get(), entry);
        if (!below)
            return below.error();
        if (!below.value())
            continue;
        if (levels.size() >= std::size_t(kMaximumDepth))
            return SharedFolderFiles::systemError(
                QStringLiteral("cannot remove %1: folders nested deeper than %2")
                    .arg(name)
                    .arg(kMaximumDepth),
                ELOOP);
        levels.push_back(std::move(*below.value()));
    }
    return Done{};
}
