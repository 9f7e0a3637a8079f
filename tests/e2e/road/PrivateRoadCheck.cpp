#include "PrivateRoadCheck.h"

#include <QFile>

#include <linux/magic.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <array>

namespace PrivateRoadCheck {

namespace {

constexpr auto kErrorDomain = "e2e.isolation";
constexpr auto kOwnMountNamespace = "/proc/self/ns/mnt";
constexpr auto kTemporaryFolder = "/tmp";

// "mnt:[<inode>]", which names the namespace.
QString ownMountNamespace()
{
    std::array<char, 256> target{};
    const ssize_t length = ::readlink(kOwnMountNamespace, target.data(), target.size() - 1);
    return length > 0 ? QString::fromLatin1(target.data(), length) : QString();
}

bool isTmpfs(const QString &folder)
{
    struct statfs facts = {};
    return statfs(QFile::encodeName(folder).constData(), &facts) == 0 &&
           facts.f_type == TMPFS_MAGIC;
}

} // namespace

Result<Done> verify(const QStringList &shadowedFolders)
{
    const auto refuse = [](const QString &why) {
        return Error{QString::fromLatin1(kErrorDomain), 1,
                     why + QStringLiteral("; run it through tests/e2e/private-road (ctest does)")};
    };
    const QString marker = qEnvironmentVariable(kMarkerVariable);
    if (marker.isEmpty() || marker != ownMountNamespace())
        return refuse(QStringLiteral("not in the print road's private mount namespace"));
    for (const QString &folder : QStringList{QLatin1String(kTemporaryFolder)} + shadowedFolders) {
        if (!isTmpfs(folder))
            return refuse(QStringLiteral("%1 is not a private tmpfs").arg(folder));
    }
    return Done{};
}

bool isInside(const QStringList &shadowedFolders)
{
    return verify(shadowedFolders).ok();
}

} // namespace PrivateRoadCheck
