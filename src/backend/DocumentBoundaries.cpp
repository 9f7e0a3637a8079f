#include "DocumentBoundaries.h"

#include "CompletePdfCheck.h"
#include "DescriptorBytes.h"

#include "foundation/PdfEndRule.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QRegularExpression>

#include <algorithm>

namespace {

constexpr QByteArrayView kHeader("%PDF-");
constexpr QByteArrayView kEndMarker(PdfEndRule::kEndMarker.data(), PdfEndRule::kEndMarker.size());
constexpr QByteArrayView kStartXref("startxref");
constexpr QByteArrayView kXrefTable("xref");
constexpr QByteArrayView kStreamKeyword("stream");
// Enough of a cross-reference section to see what it is: a table's keyword, or an xref stream's
// object header and dictionary.
constexpr qint64 kSectionProbe = 1024;
// More digits than any offset of a file this size has.
constexpr qsizetype kMaxOffsetDigits = 15;

// Whether the bytes, after any white space, end with the end marker.
bool endsWithEndMarker(const QByteArray &bytes)
{
    const auto last = std::find_if_not(bytes.crbegin(), bytes.crend(), DescriptorBytes::isBlank);
    return QByteArrayView(bytes.constData(), bytes.crend() - last).endsWith(kEndMarker);
}

// The offset a trailer's "startxref" gives, or -1 when the text after it is no offset.
qint64 offsetAfter(const QByteArray &tail, qsizetype keyword)
{
    qsizetype at = keyword + kStartXref.size();
    while (at < tail.size() && DescriptorBytes::isBlank(tail.at(at)))
        ++at;
    const qsizetype digits = at;
    while (at < tail.size() && at - digits < kMaxOffsetDigits && tail.at(at) >= '0' &&
           tail.at(at) <= '9')
        ++at;
    if (at == digits || (at < tail.size() && !DescriptorBytes::isBlank(tail.at(at)) &&
                         tail.at(at) != kEndMarker.front()))
        return -1;
    return tail.mid(digits, at - digits).toLongLong();
}

// A cross-reference table ("xref" and a line end) or an xref stream ("12 0 obj" and a dictionary
// of /Type /XRef).
bool isCrossReferenceSection(const QByteArray &probe)
{
    if (probe.startsWith(kXrefTable))
        return probe.size() > kXrefTable.size() &&
               DescriptorBytes::isBlank(probe.at(kXrefTable.size()));
    static const QRegularExpression objectHeader(
        QStringLiteral("^[0-9]+[\\x{0}\\t\\n\\f\\r ]+[0-9]+[\\x{0}\\t\\n\\f\\r ]+obj"));
    static const QRegularExpression xrefType(QStringLiteral("/Type[\\x{0}\\t\\n\\f\\r ]*/XRef\\b"));
    const QString text = QString::fromLatin1(probe);
    const qsizetype stream = probe.indexOf(kStreamKeyword);
    return objectHeader.match(text).hasMatch() && stream > 0 &&
           xrefType.match(QStringView(text).left(stream)).hasMatch();
}

// Whether the bytes [start, end) hold as a PDF of their own: their last "startxref", counted from
// start, points at a cross-reference section that lies inside them.
Result<bool> holdsAlone(int descriptor, qint64 start, qint64 end)
{
    const Result<qint64> contentEnd = DescriptorBytes::endOfContent(descriptor, start, end);
    if (!contentEnd)
        return contentEnd.error();
    const qint64 tailStart =
        std::max(start, contentEnd.value() - DocumentBoundaries::kTrailerWindow);
    const Result<QByteArray> tail =
        DescriptorBytes::readAt(descriptor, tailStart, contentEnd.value() - tailStart);
    if (!tail)
        return tail.error();
    const qsizetype keyword = tail->lastIndexOf(kStartXref);
    if (keyword < 0 || !tail->endsWith(kEndMarker))
        return false;
    const qint64 offset = offsetAfter(tail.value(), keyword);
    const qint64 section = start + offset;
    if (offset < 0 || section >= tailStart + keyword)
        return false;
    const Result<QByteArray> probe = DescriptorBytes::readAt(
        descriptor, section, std::min(kSectionProbe, contentEnd.value() - section));
    if (!probe)
        return probe.error();
    return isCrossReferenceSection(probe.value());
}

// Whether a header at the offset follows an end marker and white space only.
Result<bool> followsEndMarker(int descriptor, qint64 header)
{
    const qint64 from =
        std::max<qint64>(0, header - DocumentBoundaries::kGapLimit - kEndMarker.size());
    const Result<QByteArray> before = DescriptorBytes::readAt(descriptor, from, header - from);
    if (!before)
        return before.error();
    return endsWithEndMarker(before.value());
}

// Every header after the first byte that follows an end marker. Blocks overlap by less than a
// header, so that one across two blocks is found whole in one of them.
Result<QList<qint64>> candidateBoundaries(int descriptor, qint64 size)
{
    QList<qint64> candidates;
    const qint64 overlap = kHeader.size() - 1;
    for (qint64 start = 1; start + kHeader.size() <= size;) {
        const qint64 length = std::min(DescriptorBytes::kBlockSize, size - start);
        const Result<QByteArray> block = DescriptorBytes::readAt(descriptor, start, length);
        if (!block)
            return block.error();
        for (qsizetype at = block->indexOf(kHeader); at >= 0;
             at = block->indexOf(kHeader, at + 1)) {
            const Result<bool> follows = followsEndMarker(descriptor, start + at);
            if (!follows)
                return follows.error();
            if (follows.value())
                candidates << start + at;
        }
        if (start + length >= size)
            break;
        start += length - overlap;
    }
    return candidates;
}

// Whether the bytes up to the end close the last document that starts lists. Where they hold only
// from the start before it, that last start was a header inside the document before (an update
// that begins with one), and it is dropped.
Result<bool> closesDocument(int descriptor, QList<qint64> &starts, qint64 end)
{
    const Result<bool> holds = holdsAlone(descriptor, starts.last(), end);
    if (!holds || holds.value() || starts.size() < 2)
        return holds;
    const Result<bool> holdsWithPrevious =
        holdsAlone(descriptor, starts.at(starts.size() - 2), end);
    if (holdsWithPrevious && holdsWithPrevious.value())
        starts.removeLast();
    return holdsWithPrevious;
}

Result<QList<qint64>> boundaries(int descriptor, qint64 size, int namedDocuments)
{
    // A job of one named document that holds as one PDF stays one, whatever headers it holds: the
    // common job is decided from its trailer alone, without reading it through.
    if (namedDocuments == 1) {
        const Result<bool> wholeHolds = holdsAlone(descriptor, 0, size);
        if (!wholeHolds)
            return wholeHolds.error();
        if (wholeHolds.value())
            return QList<qint64>{0};
    }
    const Result<QList<qint64>> candidates = candidateBoundaries(descriptor, size);
    if (!candidates)
        return candidates.error();
    QList<qint64> starts{0};
    for (const qint64 candidate : candidates.value()) {
        const Result<bool> closes = closesDocument(descriptor, starts, candidate);
        if (!closes)
            return closes.error();
        if (closes.value())
            starts << candidate;
    }
    // The last document must hold too; where it does not, its header began none.
    while (starts.size() > 1) {
        const Result<bool> closes = closesDocument(descriptor, starts, size);
        if (!closes)
            return closes.error();
        if (closes.value())
            break;
        starts.removeLast();
    }
    return starts;
}

} // namespace

Result<QList<DocumentRange>> DocumentBoundaries::find(int descriptor, int namedDocuments)
{
    const Result<qint64> size = DescriptorBytes::sizeOf(descriptor);
    if (!size)
        return size.error();
    const QList<DocumentRange> whole{DocumentRange{0, size.value()}};
    if (size.value() < kHeader.size())
        return whole;
    const Result<QByteArray> head = DescriptorBytes::readAt(descriptor, 0, kHeader.size());
    if (!head)
        return head.error();
    if (head.value() != kHeader)
        return whole;

    const Result<QList<qint64>> starts = boundaries(descriptor, size.value(), namedDocuments);
    if (!starts)
        return starts.error();
    QList<DocumentRange> documents;
    for (qsizetype i = 0; i < starts->size(); ++i)
        documents << DocumentRange{starts->at(i),
                                   i + 1 < starts->size() ? starts->at(i + 1) : size.value()};
    // Fewer documents than named: the filters may have left one empty (a page range it has no
    // pages in), which is fine while every document holds; one that does not hold was taken
    // together with what is not a whole PDF.
    if (namedDocuments > documents.size()) {
        for (const DocumentRange &document : std::as_const(documents)) {
            const Result<bool> holds = holdsAlone(descriptor, document.start, document.end);
            if (!holds)
                return holds.error();
            if (!holds.value())
                return CompletePdfCheck::refusal(
                    QStringLiteral(
                        "a document of the job is not a whole PDF (%1 of its %2 documents found)")
                        .arg(documents.size())
                        .arg(namedDocuments));
        }
    }
    return documents;
}
