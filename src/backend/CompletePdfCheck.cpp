#include "CompletePdfCheck.h"

#include "DescriptorBytes.h"

#include "foundation/PdfEndRule.h"
#include "foundation/SharedFolderFiles.h"

#include <QByteArray>
#include <QByteArrayView>

#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace {

constexpr QByteArrayView kHeader("%PDF-");
constexpr QByteArrayView kEndMarker(PdfEndRule::kEndMarker.data(), PdfEndRule::kEndMarker.size());
constexpr QByteArrayView kCrLf("\r\n");

// Whether the end marker stands anywhere in the first `end` bytes. Blocks overlap by less than a
// marker, so that a marker across two blocks is found whole in one of them.
Result<bool> hasMarkerBefore(int descriptor, qint64 end, const std::function<bool()> &isCancelled)
{
    const qint64 overlap = kEndMarker.size() - 1;
    for (qint64 blockEnd = end; blockEnd > overlap;) {
        if (isCancelled())
            return DescriptorBytes::cancelled();
        const qint64 start = std::max<qint64>(0, blockEnd - CompletePdfCheck::kBlockSize);
        const Result<QByteArray> block =
            DescriptorBytes::readAt(descriptor, start, blockEnd - start);
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
        DescriptorBytes::readAt(descriptor, offset, std::min<qint64>(kCrLf.size(), size - offset));
    if (!next)
        return next.error();
    if (next->startsWith(kCrLf))
        return kCrLf.size();
    if (next->startsWith('\n') || next->startsWith('\r'))
        return qint64(1);
    return qint64(0);
}

} // namespace

Result<Done> CompletePdfCheck::check(int descriptor, const std::function<bool()> &isCancelled)
{
    const Result<qint64> fileSize = DescriptorBytes::sizeOf(descriptor);
    if (!fileSize)
        return fileSize.error();
    const qint64 size = fileSize.value();
    if (size == 0)
        return refusal(QStringLiteral("the document is empty"));

    const Result<QByteArray> head =
        DescriptorBytes::readAt(descriptor, 0, std::min<qint64>(size, kHeader.size()));
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
    const Result<qint64> contentEnd =
        DescriptorBytes::endOfContent(descriptor, 0, size, isCancelled);
    if (!contentEnd)
        return contentEnd.error();
    const Result<QByteArray> last = DescriptorBytes::readAt(
        descriptor, contentEnd.value() - kEndMarker.size(), kEndMarker.size());
    if (!last)
        return last.error();
    if (last.value() != kEndMarker) {
        const Result<bool> marked = hasMarkerBefore(descriptor, contentEnd.value(), isCancelled);
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

Error CompletePdfCheck::refusal(const QString &reason)
{
    return Error{QString::fromLatin1(kRefusalDomain), EINVAL, reason};
}
