#include "DocumentBoundaries.h"

#include "CompletePdfCheck.h"
#include "DescriptorBytes.h"
#include "PdfStructureScan.h"

#include <QByteArray>
#include <QByteArrayView>

#include <algorithm>
#include <optional>
#include <vector>

namespace {

constexpr QByteArrayView kHeader("%PDF-");
// Enough past a startxref's offset to see the section there, after some white space.
constexpr qint64 kSectionWindow = 2 * PdfStructureScan::kSectionProbe;

// What the bytes up to a document's end give.
struct DocumentEnd
{
    qint64 contentEnd = 0;
    bool endsWithEndMarker = false;
    PdfStructureScan::Trailer trailer;
};

// Whether the bytes from start up to the end hold as a PDF of their own: their last "startxref",
// near their end marker, counted from start, leads to a cross-reference section inside them.
bool holds(qint64 start, const DocumentEnd &end, const PdfStructureScan &sections)
{
    const PdfStructureScan::Trailer &trailer = end.trailer;
    if (!end.endsWithEndMarker || trailer.offset < 0 ||
        trailer.keyword < std::max(start, end.contentEnd - DocumentBoundaries::kTrailerWindow))
        return false;
    return sections.sectionAt(start + trailer.offset, trailer.keyword);
}

// Whether the whole file holds as one PDF, from its trailer and the section it points at alone.
Result<bool> wholeHolds(int descriptor, qint64 size, const std::function<bool()> &isCancelled)
{
    const Result<qint64> contentEnd =
        DescriptorBytes::endOfContent(descriptor, 0, size, isCancelled);
    if (!contentEnd)
        return contentEnd.error();
    const qint64 tailStart =
        std::max<qint64>(0, contentEnd.value() - DocumentBoundaries::kTrailerWindow);
    const Result<QByteArray> tail =
        DescriptorBytes::readAt(descriptor, tailStart, contentEnd.value() - tailStart);
    if (!tail)
        return tail.error();
    PdfStructureScan tailScan(tailStart);
    tailScan.feed(tail.value());
    const DocumentEnd end{contentEnd.value(), tailScan.endsWithEndMarker(), tailScan.lastTrailer()};
    if (!end.endsWithEndMarker || end.trailer.offset < 0 ||
        end.trailer.offset >= end.trailer.keyword)
        return false;
    const qint64 section = end.trailer.offset;
    const Result<QByteArray> probe = DescriptorBytes::readAt(
        descriptor, section, std::min(kSectionWindow, end.trailer.keyword - section));
    if (!probe)
        return probe.error();
    PdfStructureScan sectionScan(section);
    sectionScan.feed(probe.value());
    return holds(0, end, sectionScan);
}

// Takes the documents as the scan meets their headers. A document is settled once no later
// boundary can take it in: then each header inside it is checked against its end.
class DocumentSplit
{
public:
    DocumentSplit()
        : m_scan(0, [this](const PdfStructureScan::Header &header) { onHeader(header); })
    {}

    PdfStructureScan &scan() { return m_scan; }
    const std::optional<QString> &refusal() const { return m_refusal; }

    // The documents once every byte was fed; a refusal where they do not account for the file.
    Result<QList<qint64>> finish()
    {
        const DocumentEnd last{m_scan.contentEnd(), m_scan.endsWithEndMarker(),
                               m_scan.lastTrailer()};
        m_lastHolds = holds(m_starts.last(), last, m_scan);
        if (!m_lastHolds && lastStartIsUpdateOfDocumentBefore(last)) {
            dropLastStart();
            m_lastHolds = true;
        }
        m_ends << last;
        settle(m_starts.size());
        if (m_refusal)
            return CompletePdfCheck::refusal(*m_refusal);
        return m_starts;
    }

    bool lastHolds() const { return m_lastHolds; }

private:
    void onHeader(const PdfStructureScan::Header &header)
    {
        if (m_refusal || header.at == 0)
            return;
        if (!header.followsEndMarker) {
            m_strays.push_back(header.at);
            return;
        }
        const DocumentEnd end{header.contentBefore, true, m_scan.lastTrailer()};
        if (holds(m_starts.last(), end, m_scan)) {
            close(header.at, end);
        } else if (lastStartIsUpdateOfDocumentBefore(end)) {
            dropLastStart();
            close(header.at, end);
        } else {
            m_strays.push_back(header.at);
        }
    }

    // Whether the last start was a header inside the document before, an update that begins with
    // one: the bytes from that document's start hold up to the end, through the update's own
    // trailer and cross-reference section, both after the header. A trailer before it is the
    // document before's own; one that leads back before it is no update's: the header, with the
    // end marker ahead of it, then lies in the last document's bytes (an attachment stored as it
    // stands).
    bool lastStartIsUpdateOfDocumentBefore(const DocumentEnd &end) const
    {
        if (m_starts.size() < 2)
            return false;
        const qint64 before = m_starts.at(m_starts.size() - 2);
        return end.trailer.keyword > m_starts.last() &&
               before + end.trailer.offset > m_starts.last() && holds(before, end, m_scan);
    }

    void dropLastStart()
    {
        m_strays.push_back(m_starts.takeLast());
        m_ends.removeLast();
    }

    void close(qint64 next, const DocumentEnd &end)
    {
        m_ends << end;
        m_starts << next;
        if (m_starts.size() > DocumentBoundaries::kMaxDocuments) {
            m_refusal = QStringLiteral("the job holds more than %1 documents")
                            .arg(DocumentBoundaries::kMaxDocuments);
            return;
        }
        // The document before the last may still take the last in.
        settle(m_starts.size() - 2);
    }

    // Checks the headers inside the documents before the index, which no boundary moves any more.
    void settle(qsizetype documents)
    {
        if (documents <= m_settled)
            return;
        const qint64 settledEnd =
            documents < m_starts.size() ? m_starts.at(documents) : m_scan.contentEnd() + 1;
        std::vector<qint64> pending;
        for (const qint64 stray : m_strays) {
            if (stray >= settledEnd) {
                pending.push_back(stray);
                continue;
            }
            const qsizetype document =
                std::upper_bound(m_starts.cbegin(), m_starts.cend(), stray) - m_starts.cbegin() - 1;
            if (!m_refusal && holds(stray, m_ends.at(document), m_scan))
                m_refusal = QStringLiteral("a document of the job is not a whole PDF: the one at "
                                           "byte %1 follows bytes that are not part of any PDF")
                                .arg(stray);
        }
        m_strays.swap(pending);
        m_settled = documents;
        if (documents < m_starts.size())
            m_scan.forgetSectionsBefore(m_starts.at(documents));
    }

    PdfStructureScan m_scan;
    QList<qint64> m_starts{0};
    // The end of each document but the last, while the scan goes on.
    QList<DocumentEnd> m_ends;
    // Headers that began no document, in the documents not settled yet.
    std::vector<qint64> m_strays;
    qsizetype m_settled = 0;
    std::optional<QString> m_refusal;
    bool m_lastHolds = false;
};

QString notWhole(qsizetype found, int named)
{
    return named > 0
               ? QStringLiteral("a document of the job is not a whole PDF (%1 of its %2 "
                                "documents found)")
                     .arg(found)
                     .arg(named)
               : QStringLiteral("a document of the job is not a whole PDF (%1 found)").arg(found);
}

Result<QList<qint64>> boundaries(int descriptor, qint64 size, int namedDocuments,
                                 const std::function<bool()> &isCancelled)
{
    // A job of one named document that holds as one PDF stays one, whatever headers it holds: the
    // common job is decided from its trailer alone, without reading it through.
    const QList<qint64> whole{0};
    if (namedDocuments == 1) {
        const Result<bool> holdsWhole = wholeHolds(descriptor, size, isCancelled);
        if (!holdsWhole)
            return holdsWhole.error();
        if (holdsWhole.value())
            return whole;
    }
    DocumentSplit split;
    for (qint64 start = 0; start < size && !split.refusal();) {
        if (isCancelled())
            return DescriptorBytes::cancelled();
        const qint64 length = std::min(DescriptorBytes::kBlockSize, size - start);
        const Result<QByteArray> block = DescriptorBytes::readAt(descriptor, start, length);
        if (!block)
            return block.error();
        split.scan().feed(block.value());
        start += length;
    }
    const Result<QList<qint64>> starts = split.finish();
    // One named document is published as it came unless it is several whole PDFs.
    if (namedDocuments == 1 && (!starts || !split.lastHolds()))
        return whole;
    if (!starts)
        return starts;
    if (!split.lastHolds() && (starts->size() > 1 || namedDocuments > 1))
        return CompletePdfCheck::refusal(notWhole(starts->size(), namedDocuments));
    return starts;
}

} // namespace

Result<QList<DocumentRange>> DocumentBoundaries::find(int descriptor, int namedDocuments,
                                                      const std::function<bool()> &isCancelled)
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

    const Result<QList<qint64>> starts =
        boundaries(descriptor, size.value(), namedDocuments, isCancelled);
    if (!starts)
        return starts.error();
    QList<DocumentRange> documents;
    for (qsizetype i = 0; i < starts->size(); ++i)
        documents << DocumentRange{starts->at(i),
                                   i + 1 < starts->size() ? starts->at(i + 1) : size.value()};
    return documents;
}
