#pragma once

// Reads a job's bytes once, front to back, and notes the landmarks the splitter decides on: every
// "%PDF-" header (and whether it follows an end marker and white space only), the last
// "startxref" with the offset it gives, every place a cross-reference section begins (an "xref"
// table or an object whose dictionary is /Type /XRef) with the white space before it, where the
// content ends and whether it ends with the end marker. A byte at a time with a few bytes of
// memory, so bytes may come in blocks of any size and the cost is one pass whatever they hold:
// no landmark is ever read a second time. Plain object, used on one thread; onHeader is called
// from feed() as each header's last byte comes in, with the landmarks seen before it.

#include <QByteArrayView>
#include <QtGlobal>

#include <functional>
#include <vector>

class PdfStructureScan
{
public:
    struct Header
    {
        qint64 at = 0;
        // Where the content before it ends, and whether an end marker ends that content.
        qint64 contentBefore = 0;
        bool followsEndMarker = false;
    };
    struct Trailer
    {
        qint64 keyword = -1; // where "startxref" begins; -1: none seen
        qint64 offset = -1;  // the offset after it; -1: none, or not a number
    };
    struct Section
    {
        qint64 blankStart = 0; // where the white space before it begins
        qint64 start = 0;
    };

    // More digits than any offset of a file this backend takes has.
    static constexpr int kMaxOffsetDigits = 15;
    // An xref stream's /Type /XRef lies this close to its object's header.
    static constexpr qint64 kSectionProbe = 1024;

    // origin: the offset in the file of the first byte fed.
    explicit PdfStructureScan(qint64 origin, std::function<void(const Header &)> onHeader = {});

    void feed(QByteArrayView bytes);

    // The offset just after the last byte that is not blank; the origin while all are.
    qint64 contentEnd() const { return m_contentEnd; }
    bool endsWithEndMarker() const { return m_markerEnd >= 0 && m_markerEnd == m_contentEnd; }
    Trailer lastTrailer() const;

    // Whether a reader that goes to the offset finds a cross-reference section there, after white
    // space, that begins before `before`.
    bool sectionAt(qint64 offset, qint64 before) const;
    // Forgets the sections that begin before the offset (none is asked for there any more).
    void forgetSectionsBefore(qint64 offset);

private:
    enum class OffsetParse { None, Blanks, Digits };

    void onByte(char byte, qint64 at);
    void trackObjectHeader(char byte, qint64 at, bool blank, qint64 blankStart);
    void parseOffset(char byte, bool blank);

    std::function<void(const Header &)> m_onHeader;
    std::vector<Section> m_sections;
    qsizetype m_firstSection = 0;
    qint64 m_next;
    quint64 m_recent = 0;  // the last eight bytes, the newest lowest
    char m_shiftedOut = 0; // the byte before them
    qint64 m_contentEnd;
    qint64 m_markerEnd = -1;
    // White space start before the latest '%', '/' and 'x', and whether that '%' followed an end
    // marker: the headers and keywords that begin with them end a few bytes later.
    bool m_percentFollowsMarker = false;
    qint64 m_percentBlankStart = -1;
    qint64 m_slashBlankStart = -1;
    qint64 m_xBlankStart = -1;
    qint64 m_typeEnd = -1;
    Trailer m_trailer;
    OffsetParse m_offsetParse = OffsetParse::None;
    int m_offsetDigits = 0;
    qint64 m_offsetValue = 0;
    // "<number> <number> obj": the digit run under way, the two before it, with the white space
    // before each.
    qint64 m_run = -1;
    qint64 m_runBlankStart = -1;
    qint64 m_number = -1;
    qint64 m_numberBlankStart = -1;
    qint64 m_previousNumber = -1;
    qint64 m_previousBlankStart = -1;
    qint64 m_headerBeforeO = -1;
    qint64 m_headerBeforeOBlankStart = -1;
    // The latest object header whose dictionary is still open, with its white space start.
    qint64 m_objectHeader = -1;
    qint64 m_objectBlankStart = -1;
};
