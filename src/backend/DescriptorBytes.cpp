#include "DescriptorBytes.h"

#include "BackendDefaults.h"

#include "foundation/SharedFolderFiles.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

Result<QByteArray> DescriptorBytes::readAt(int descriptor, qint64 offset, qint64 length)
{
    QByteArray bytes(length, Qt::Uninitialized);
    qint64 done = 0;
    while (done < length) {
        const ssize_t count =
            ::pread(descriptor, bytes.data() + done, size_t(length - done), off_t(offset + done));
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return SharedFolderFiles::systemError(QStringLiteral("cannot read the job's PDF"),
                                                  errno);
        if (count == 0) {
            return Error{QString::fromLatin1(BackendDefaults::kErrorDomain), EIO,
                         QStringLiteral("the job's PDF shrank while it was checked")};
        }
        done += count;
    }
    return bytes;
}

Result<qint64> DescriptorBytes::sizeOf(int descriptor)
{
    struct stat status = {};
    if (::fstat(descriptor, &status) != 0)
        return SharedFolderFiles::systemError(QStringLiteral("cannot read the job's PDF"), errno);
    return qint64(status.st_size);
}

Result<qint64> DescriptorBytes::endOfContent(int descriptor, qint64 from, qint64 end,
                                             const std::function<bool()> &isCancelled)
{
    while (end > from) {
        if (isCancelled())
            return cancelled();
        const qint64 start = std::max(from, end - kBlockSize);
        const Result<QByteArray> block = readAt(descriptor, start, end - start);
        if (!block)
            return block.error();
        const auto last = std::find_if_not(block->crbegin(), block->crend(), isBlank);
        if (last != block->crend())
            return start + (block->crend() - last);
        end = start;
    }
    return from;
}

Error DescriptorBytes::cancelled()
{
    return Error{QString::fromLatin1(BackendDefaults::kErrorDomain), ECANCELED,
                 QStringLiteral("the job was cancelled")};
}

bool DescriptorBytes::isBlank(char byte)
{
    switch (byte) {
    case '\0':
    case '\t':
    case '\n':
    case '\f':
    case '\r':
    case ' ':
        return true;
    default:
        return false;
    }
}
