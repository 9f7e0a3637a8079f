#include "CompletePdfCheck.h"

#include "BackendDefaults.h"

#include "foundation/PdfEndRule.h"
#include "foundation/SharedFolderFiles.h"

#include <QByteArray>
#include <QByteArrayView>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace {

constexpr QByteArrayView kHeader("%PDF-");
constexpr QByteArrayView kEndMarker(PdfEndRule::kEndMarker.data(), PdfEndRule::kEndMarker.size());
constexpr QByteArrayView kCrLf("\r\n");

// PDF white space, NUL among it.
bool isBlank(char byte)
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

Error refusal(const QString &reason)
{
    return Error{QString::fromLatin1(CompletePdfCheck::kRefusalDomain), EINVAL, reason};
}

// Exactly the bytes asked for; the file is the backend's own and does not shrink on its own.
Result<QByteArray> readAt(int descriptor, qint64 offset, qint64 length)
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

// The offset just after the last byte that is not blank (0 when there is none).
Result<qint64> endOfContent(int descriptor, qint64 size)
{
    for (qint64 end = size; end > 0;) {
        const qint64 start = std::max<qint64>(0, end - CompletePdfCheck::kBlockSize);
        const Result<QByteArray> block = readAt(descriptor, start, end - start);
        if (!block)
            return block.error();
        const auto last = std::find_if_not(block->crbegin(), block->crend(), isBlank);
        if (last != block->crend())
            return start + (block->crend() - last);
        end = start;
    }
    return qint64(0);
}

// Whether the end marker stands anywhere in the first `end` bytes. Blocks overlap by less than a
// marker, so that a marker across two blocks is found whole in one of them.
Result<bool> hasMarkerBefore(int descriptor, qint64 end)
{
    const qint64 overlap = kEndMarker.size() - 1;
    for (qint64 blockEnd = end; blockEnd > overlap;) {
        const qint64 start = std::max<qint64>(0, blockEnd - CompletePdfCheck::kBlockSize);
        const Result<QByteArray> block = readAt(descriptor, start, blockEnd - start);
        if (!block)
            return block.error();
        if (block->contains(kEndMarker))
            return true;
        if (start == 0)
            break;
        blockEnd = start + overlap;
    }
    return false;
}

// The length of the line end (CR LF, LF or CR) at the offset, within the file's size.
Result<qint64> lineEndAt(int descriptor, qint64 offset, qint64 size)
{
    const Result<QByteArray> next =
        readAt(descriptor, offset, std::min<qint64>(kCrLf.size(), size - offset));
    if (!next)
        return next.error();
    if (next->startsWith(kCrLf))
        return kCrLf.size();
    if (next->startsWith('\n') || next->startsWith('\r'))
        return qint64(1);
    return qint64(0);
}

} // namespace

Result<Done> CompletePdfCheck::check(int descriptor)
{
    struct stat status = {};
    if (::fstat(descriptor, &status) != 0)
        return SharedFolderFiles::systemError(QStringLiteral("cannot read the job's PDF"), errno);
    const qint64 size = status.st_size;
    if (size == 0)
        return refusal(QStringLiteral("the document is empty"));

    const Result<QByteArray> head = readAt(descriptor, 0, std::min<qint64>(size, kHeader.size()));
    if (!head)
        return head.error();
    if (head.value() != kHeader)
        return refusal(QStringLiteral("the document is not a PDF"));

    const Result<bool> complete = PdfEndRule::isMetBy(descriptor, size);
    if (!complete)
        return complete.error();
    if (complete.value())
        return Done{};

    // The header is not blank, so the content ends at least a marker's length in.
    const Result<qint64> contentEnd = endOfContent(descriptor, size);
    if (!contentEnd)
        return contentEnd.error();
    const Result<QByteArray> last =
        readAt(descriptor, contentEnd.value() - kEndMarker.size(), kEndMarker.size());
    if (!last)
        return last.error();
    if (last.value() != kEndMarker) {
        const Result<bool> marked = hasMarkerBefore(descriptor, contentEnd.value());
        if (!marked)
            return marked.error();
        return refusal(
            marked.value()
                ? QStringLiteral("the PDF does not end at its end marker: other data follows")
                : QStringLiteral("the PDF is incomplete: no end marker"));
    }

    const Result<qint64> lineEnd = lineEndAt(descriptor, contentEnd.value(), size);
    if (!lineEnd)
        return lineEnd.error();
    const qint64 kept = contentEnd.value() + lineEnd.value();
    const Result<bool> readable = PdfEndRule::isMetBy(descriptor, kept);
    if (!readable)
        return readable.error();
    if (!readable.value())
        return refusal(QStringLiteral("the bytes before the PDF's end marker are not text"));
    if (::ftruncate(descriptor, off_t(kept)) != 0) {
        return SharedFolderFiles::systemError(
            QStringLiteral("cannot cut the blank tail of the job's PDF"), errno);
    }
    return Done{};
}

bool CompletePdfCheck::isRefusal(const Error &error)
{
    return error.domain == QLatin1String(kRefusalDomain);
}
