#include "PdfStructureScan.h"

#include "DescriptorBytes.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

namespace {

constexpr int kBitsPerByte = 8;
constexpr int kRecentBytes = 8;

constexpr quint64 packed(std::string_view text)
{
    quint64 value = 0;
    for (const char byte : text)
        value = (value << kBitsPerByte) | quint8(byte);
    return value;
}

constexpr quint64 maskOf(std::size_t length)
{
    return length >= kRecentBytes ? ~quint64(0) : (quint64(1) << (kBitsPerByte * length)) - 1;
}

// Whether the bytes, newest lowest, end with the text (at most eight bytes).
constexpr bool endsWith(quint64 recent, std::string_view text)
{
    return (recent & maskOf(text.size())) == packed(text);
}

constexpr std::string_view kEndMarker = "%%EOF";
constexpr std::string_view kHeader = "%PDF-";
// "startxref" is one byte longer than the bytes kept; its first byte is checked apart.
constexpr std::string_view kStartXrefTail = "tartxref";
constexpr char kStartXrefFirst = 's';
constexpr std::string_view kXref = "xref";
constexpr std::string_view kStartXrefEnd = "artxref";
constexpr std::string_view kType = "/Type";
constexpr std::string_view kXrefType = "/XRef";
constexpr std::string_view kObject = "obj";
constexpr std::string_view kEndObject = "endobj";
constexpr std::string_view kStream = "stream";
constexpr int kDecimalBase = 10;

bool isDigit(char byte)
{
    return byte >= '0' && byte <= '9';
}

// A byte that continues a PDF name or keyword.
bool isRegular(char byte)
{
    return !DescriptorBytes::isBlank(byte) && std::strchr("()<>[]{}/%", byte) == nullptr;
}

constexpr std::size_t kByteValues = 256;

// The bytes that take part in no landmark: neither blank, digit nor delimiter, nor a letter
// that ends or begins a keyword looked for.
std::array<bool, kByteValues> plainBytes()
{
    std::array<bool, kByteValues> plain{};
    for (std::size_t value = 0; value < kByteValues; ++value) {
        const char byte = char(value);
        plain[value] =
            isRegular(byte) && !isDigit(byte) && std::strchr("xFfemobj-", byte) == nullptr;
    }
    return plain;
}

} // namespace

PdfStructureScan::PdfStructureScan(qint64 origin, std::function<void(const Header &)> onHeader)
    : m_onHeader(std::move(onHeader))
    , m_next(origin)
    , m_contentEnd(origin)
{}

void PdfStructureScan::feed(QByteArrayView bytes)
{
    static const std::array<bool, kByteValues> plain = plainBytes();
    for (const char byte : bytes) {
        // Most bytes of a PDF (stream data) only end the content and any number under way.
        if (plain[quint8(byte)] && m_offsetParse == OffsetParse::None) {
            m_recent = (m_recent << kBitsPerByte) | quint8(byte);
            m_contentEnd = ++m_next;
            m_run = m_number = m_previousNumber = m_headerBeforeO = -1;
            continue;
        }
        // A run of white space ends nothing after its first byte.
        if (DescriptorBytes::isBlank(byte) && DescriptorBytes::isBlank(char(m_recent)) &&
            m_offsetParse == OffsetParse::None && m_run < 0) {
            m_recent = (m_recent << kBitsPerByte) | quint8(byte);
            ++m_next;
            continue;
        }
        onByte(byte, m_next++);
    }
}

PdfStructureScan::Trailer PdfStructureScan::lastTrailer() const
{
    // Digits that run to the end of the bytes end there.
    if (m_offsetParse == OffsetParse::Digits)
        return Trailer{m_trailer.keyword, m_offsetValue};
    return m_trailer;
}

bool PdfStructureScan::sectionAt(qint64 offset, qint64 before) const
{
    const auto first = m_sections.begin() + m_firstSection;
    const auto found = std::lower_bound(
        first, m_sections.end(), offset,
        [](const Section &section, qint64 wanted) { return section.start < wanted; });
    return found != m_sections.end() && found->blankStart <= offset && found->start < before;
}

void PdfStructureScan::forgetSectionsBefore(qint64 offset)
{
    while (m_firstSection < qsizetype(m_sections.size()) &&
           m_sections[size_t(m_firstSection)].start < offset)
        ++m_firstSection;
    // Memory stays in proportion to the sections still asked for.
    if (m_firstSection > qsizetype(m_sections.size()) / 2) {
        m_sections.erase(m_sections.begin(), m_sections.begin() + m_firstSection);
        m_firstSection = 0;
    }
}

void PdfStructureScan::onByte(char byte, qint64 at)
{
    const bool blank = DescriptorBytes::isBlank(byte);
    const qint64 blankStart = m_contentEnd;

    // "/XRef" ends where a byte that cannot continue the name comes.
    if (endsWith(m_recent, kXrefType) && !isRegular(byte) && m_slashBlankStart == m_typeEnd &&
        m_objectHeader >= 0 && at - qint64(kXrefType.size()) - m_objectHeader < kSectionProbe) {
        const Section section{m_objectBlankStart, m_objectHeader};
        m_sections.insert(std::upper_bound(m_sections.begin() + m_firstSection, m_sections.end(),
                                           section.start,
                                           [](qint64 start, const Section &other) {
                                               return start < other.start;
                                           }),
                          section);
        m_objectHeader = -1;
    }
    if (byte == '%') {
        m_percentFollowsMarker = endsWithEndMarker();
        m_percentBlankStart = blankStart;
    } else if (byte == '/')
        m_slashBlankStart = blankStart;
    else if (byte == 'x')
        m_xBlankStart = blankStart;

    m_shiftedOut = char(m_recent >> (kBitsPerByte * (kRecentBytes - 1)));
    m_recent = (m_recent << kBitsPerByte) | quint8(byte);
    if (!blank)
        m_contentEnd = at + 1;

    parseOffset(byte, blank);
    trackObjectHeader(byte, at, blank, blankStart);

    if (blank && endsWith(m_recent >> kBitsPerByte, kXref) &&
        !endsWith(m_recent >> kBitsPerByte, kStartXrefEnd))
        m_sections.push_back(Section{m_xBlankStart, at - qint64(kXref.size())});

    switch (byte) {
    case 'F':
        if (endsWith(m_recent, kEndMarker))
            m_markerEnd = at + 1;
        break;
    case '-':
        if (endsWith(m_recent, kHeader) && m_onHeader)
            m_onHeader(Header{at + 1 - qint64(kHeader.size()), m_percentBlankStart,
                              m_percentFollowsMarker});
        break;
    case 'f':
        if (endsWith(m_recent, kStartXrefTail) && m_shiftedOut == kStartXrefFirst) {
            m_trailer = Trailer{at - qint64(kStartXrefTail.size()), -1};
            m_offsetParse = OffsetParse::Blanks;
        }
        break;
    case 'e':
        if (endsWith(m_recent, kType))
            m_typeEnd = at + 1;
        break;
    case 'm':
        if (endsWith(m_recent, kStream))
            m_objectHeader = -1;
        break;
    default:
        break;
    }
}

void PdfStructureScan::trackObjectHeader(char byte, qint64 at, bool blank, qint64 blankStart)
{
    if (isDigit(byte)) {
        if (m_run < 0) {
            m_run = at;
            m_runBlankStart = blankStart;
        }
        return;
    }
    if (blank) {
        if (m_run >= 0) {
            m_previousNumber = m_number;
            m_previousBlankStart = m_numberBlankStart;
            m_number = m_run;
            m_numberBlankStart = m_runBlankStart;
            m_run = -1;
        }
        return;
    }
    if (byte == kObject.front()) {
        const bool afterTwoNumbers = m_run < 0 && m_number >= 0 && m_previousNumber >= 0;
        m_headerBeforeO = afterTwoNumbers ? m_previousNumber : -1;
        m_headerBeforeOBlankStart = m_previousBlankStart;
    } else if (byte == kObject.back() && endsWith(m_recent, kObject)) {
        if (endsWith(m_recent, kEndObject)) {
            m_objectHeader = -1;
        } else if (m_headerBeforeO >= 0) {
            m_objectHeader = m_headerBeforeO;
            m_objectBlankStart = m_headerBeforeOBlankStart;
        }
    }
    if (byte != kObject.front() && byte != kObject.at(1))
        m_headerBeforeO = -1;
    m_run = -1;
    m_number = -1;
    m_previousNumber = -1;
}

void PdfStructureScan::parseOffset(char byte, bool blank)
{
    switch (m_offsetParse) {
    case OffsetParse::None:
        return;
    case OffsetParse::Blanks:
        if (blank)
            return;
        if (isDigit(byte)) {
            m_offsetParse = OffsetParse::Digits;
            m_offsetDigits = 1;
            m_offsetValue = byte - '0';
            return;
        }
        break;
    case OffsetParse::Digits:
        if (isDigit(byte) && m_offsetDigits < kMaxOffsetDigits) {
            ++m_offsetDigits;
            m_offsetValue = m_offsetValue * kDecimalBase + (byte - '0');
            return;
        }
        if (blank || byte == kEndMarker.front()) {
            m_trailer.offset = m_offsetValue;
            m_offsetParse = OffsetParse::None;
            return;
        }
        break;
    }
    // Not an offset.
    m_trailer.offset = -1;
    m_offsetParse = OffsetParse::None;
}
