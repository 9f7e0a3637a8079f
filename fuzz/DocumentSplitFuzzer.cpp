// The print backend's splitter and joiner, on the bytes of a job, which any local user can send
// with as many documents as he likes.
//
// The input's first bytes steer the harness (shape, split point, separator); the rest, the
// content, is cut at the split point into two parts, and each part becomes a PDF that qpdf reads
// without a warning: the part itself where it is one, else a PDF that qpdf writes with the part's
// bytes as its pages' content, uncompressed, so that the markers and headers among them lie in
// the file as they stand. A PDF here also begins with its header and ends with its end marker,
// as the backend takes a document.
//
// Properties:
// - the content as a job, named as up to three documents: no crash; the documents found cover the
//   job in order (the first from its start, each from where the one before ends, the last to its
//   end, and where there are several, each a header up to an end marker and blanks); joining them
//   gives a PDF or a refusal;
// - the two PDFs, blanks between them, named as two: split as those two, and joined into a PDF
//   with the pages of both, in order. Where one holds a header in its own bytes, the job may be
//   refused instead (never split otherwise): the splitter reads structure, not objects, and the
//   bytes from such a header on can look like a PDF after bytes of no PDF;
// - each PDF named once: never cut.
//
// qpdf's headers do not compile with clang in C++20 against this libstdc++ (JSON.hh destroys a
// vector of a type that is not complete yet, which clang checks at once for a constexpr
// destructor); this file and the joiner's are built as C++17 (see CMakeLists.txt).

#include "FuzzSupport.h"

#include "backend/CompletePdfCheck.h"
#include "backend/DescriptorBytes.h"
#include "backend/DocumentBoundaries.h"
#include "backend/DocumentJoiner.h"

#include "foundation/SharedFolderFiles.h"

#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <QByteArrayView>

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

// The bytes that steer the harness, before the content.
enum SteeringByte { kShapeByte, kSplitLowByte, kSplitHighByte, kSeparatorByte, kSteeringBytes };

// The shape byte's bits.
constexpr unsigned kFirstObjectStreams = 1U << 0;
constexpr unsigned kFirstLinearized = 1U << 1;
constexpr unsigned kSecondObjectStreams = 1U << 2;
constexpr unsigned kSecondLinearized = 1U << 3;
constexpr int kNamedShift = 4;
constexpr unsigned kNamedMask = 3U;
constexpr unsigned kTwoPages = 1U << 6;

constexpr int kBitsPerByte = 8;
// The separator byte: how many blanks lie between the two PDFs, and which.
constexpr unsigned kSeparatorLengthMask = 0x1fU;
constexpr int kSeparatorKindShift = 5;
constexpr std::string_view kBlanks("\n \r\t\f\0\n\r", 8);

constexpr std::string_view kHeader = "%PDF-";
constexpr std::string_view kEndMarker = "%%EOF";

const std::function<bool()> kNotCancelled = [] { return false; };

using PageContents = std::vector<std::string>;

std::string textOf(const Buffer &buffer)
{
    return std::string(reinterpret_cast<const char *>(buffer.getBuffer()), buffer.getSize());
}

// (std::string_view's own are C++20.)
bool startsWith(std::string_view bytes, std::string_view prefix)
{
    return bytes.substr(0, prefix.size()) == prefix;
}

bool endsWith(std::string_view bytes, std::string_view suffix)
{
    return bytes.size() >= suffix.size() && bytes.substr(bytes.size() - suffix.size()) == suffix;
}

// The stream data of each page's content, as it stands in the file, in page order.
PageContents contentsOf(QPDF &pdf)
{
    PageContents contents;
    for (QPDFPageObjectHelper &page : QPDFPageDocumentHelper(pdf).getAllPages()) {
        std::string data;
        for (QPDFObjectHandle &stream : page.getPageContents())
            data += textOf(*stream.getRawStreamData());
        contents.push_back(std::move(data));
    }
    return contents;
}

bool endsAsADocument(std::string_view pdf)
{
    std::string_view::size_type end = pdf.size();
    while (end > 0 && DescriptorBytes::isBlank(pdf[end - 1]))
        --end;
    return endsWith(pdf.substr(0, end), kEndMarker);
}

// The pages of the bytes where they are a PDF as the backend takes one and qpdf reads them
// without a warning.
std::optional<PageContents> pagesOfCleanPdf(const std::string &pdf)
{
    if (!startsWith(pdf, kHeader) || !endsAsADocument(pdf))
        return std::nullopt;
    try {
        QPDF reader;
        reader.setSuppressWarnings(true);
        reader.processMemoryFile("document", pdf.data(), pdf.size());
        PageContents contents = contentsOf(reader);
        if (reader.anyWarnings())
            return std::nullopt;
        return contents;
    } catch (const std::exception &) {
        return std::nullopt;
    }
}

// A PDF whose pages' content is the bytes as they stand.
std::string pdfShowing(const std::string &content, bool objectStreams, bool linearized, int pages)
{
    QPDF pdf;
    pdf.emptyPDF();
    QPDFPageDocumentHelper pageTree(pdf);
    for (int i = 0; i < pages; ++i) {
        QPDFObjectHandle page = pdf.makeIndirectObject(
            QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 612 792] >>"));
        page.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, content));
        pageTree.addPage(QPDFPageObjectHelper(page), false);
    }
    QPDFWriter writer(pdf);
    writer.setOutputMemory();
    writer.setStaticID(true);
    writer.setCompressStreams(false);
    writer.setObjectStreamMode(objectStreams ? qpdf_o_generate : qpdf_o_disable);
    writer.setLinearization(linearized);
    writer.write();
    return textOf(*writer.getBufferSharedPointer());
}

struct CleanPdf
{
    std::string bytes;
    PageContents pages;
};

CleanPdf cleanPdfOf(const std::string &part, bool objectStreams, bool linearized, int pages)
{
    if (std::optional<PageContents> asItStands = pagesOfCleanPdf(part))
        return CleanPdf{part, std::move(*asItStands)};
    std::string written = pdfShowing(part, objectStreams, linearized, pages);
    std::optional<PageContents> writtenPages = pagesOfCleanPdf(written);
    FuzzSupport::require(bool(writtenPages), "qpdf reads the PDF it wrote without a warning");
    return CleanPdf{std::move(written), std::move(*writtenPages)};
}

// A file in memory holding the bytes, at its start.
FileDescriptor memoryFile(std::string_view bytes)
{
    FileDescriptor file(memfd_create("job", MFD_CLOEXEC));
    FuzzSupport::require(file.valid(), "a file in memory can be made");
    FuzzSupport::require(bytes.empty() || pwrite(file.get(), bytes.data(), bytes.size(), 0) ==
                                              ssize_t(bytes.size()),
                         "the job can be written");
    return file;
}

QList<DocumentRange> requireFound(int job, int named)
{
    Result<QList<DocumentRange>> found = DocumentBoundaries::find(job, named, kNotCancelled);
    if (!found)
        std::fprintf(stderr, "%s\n", qUtf8Printable(found.error().description));
    FuzzSupport::require(bool(found), "the splitter takes clean PDFs");
    return std::move(found.value());
}

void requireCoversInOrder(std::string_view job, const QList<DocumentRange> &documents)
{
    FuzzSupport::require(!documents.isEmpty(), "a job holds a document");
    FuzzSupport::require(documents.first().start == 0, "the first document begins the job");
    FuzzSupport::require(documents.last().end == qint64(job.size()),
                         "the last document ends the job");
    for (qsizetype i = 1; i < documents.size(); ++i)
        FuzzSupport::require(documents.at(i).start == documents.at(i - 1).end &&
                                 documents.at(i - 1).start < documents.at(i - 1).end,
                             "each document begins where the one before ends");
    if (documents.size() == 1)
        return;
    for (const DocumentRange &document : documents) {
        const std::string_view bytes =
            job.substr(size_t(document.start), size_t(document.length()));
        FuzzSupport::require(startsWith(bytes, kHeader) && endsAsADocument(bytes),
                             "each of several documents runs from a header to an end marker");
    }
}

// The joined PDF of the documents, or nothing when the joiner refuses them.
std::optional<std::string> joined(int job, const QList<DocumentRange> &documents)
{
    const FileDescriptor target = memoryFile({});
    const Result<Done> done = DocumentJoiner::join(job, documents, target.get(), kNotCancelled);
    if (!done) {
        FuzzSupport::require(CompletePdfCheck::isRefusal(done.error()),
                             "the joiner either joins the documents or refuses them");
        return std::nullopt;
    }
    const Result<qint64> size = DescriptorBytes::sizeOf(target.get());
    FuzzSupport::require(bool(size), "the joined PDF has a size");
    const Result<QByteArray> bytes = DescriptorBytes::readAt(target.get(), 0, size.value());
    FuzzSupport::require(bool(bytes), "the joined PDF can be read");
    return bytes->toStdString();
}

void checkAnyJob(const std::string &content, int named)
{
    const FileDescriptor job = memoryFile(content);
    const Result<QList<DocumentRange>> found =
        DocumentBoundaries::find(job.get(), named, kNotCancelled);
    if (!found) {
        FuzzSupport::require(CompletePdfCheck::isRefusal(found.error()),
                             "the splitter either finds the documents or refuses the job");
        return;
    }
    requireCoversInOrder(content, found.value());
    if (found->size() > 1)
        joined(job.get(), found.value());
}

// Whether a header lies in the PDF's bytes past its own.
bool holdsInnerHeader(std::string_view pdf)
{
    return pdf.find(kHeader, 1) != std::string_view::npos;
}

void checkTwoPdfs(const CleanPdf &first, const std::string &separator, const CleanPdf &second)
{
    const std::string content = first.bytes + separator + second.bytes;
    const FileDescriptor job = memoryFile(content);
    if (holdsInnerHeader(first.bytes) || holdsInnerHeader(second.bytes)) {
        const Result<QList<DocumentRange>> found =
            DocumentBoundaries::find(job.get(), 2, kNotCancelled);
        if (!found && CompletePdfCheck::isRefusal(found.error()))
            return;
    }
    const QList<DocumentRange> found = requireFound(job.get(), 2);
    const qint64 secondStart = qint64(first.bytes.size() + separator.size());
    FuzzSupport::require(
        found == QList<DocumentRange>{{0, secondStart}, {secondStart, qint64(content.size())}},
        "two clean PDFs named as two are split as those two");

    const std::optional<std::string> pdf = joined(job.get(), found);
    FuzzSupport::require(bool(pdf), "two clean PDFs are joined");
    PageContents expected = first.pages;
    expected.insert(expected.end(), second.pages.begin(), second.pages.end());
    const std::optional<PageContents> pages = pagesOfCleanPdf(*pdf);
    FuzzSupport::require(bool(pages), "the joined PDF is clean");
    FuzzSupport::require(*pages == expected, "the joined PDF has every page of both, in order");
}

void checkNamedOnce(const CleanPdf &pdf)
{
    const FileDescriptor job = memoryFile(pdf.bytes);
    FuzzSupport::require(requireFound(job.get(), 1) ==
                             QList<DocumentRange>{{0, qint64(pdf.bytes.size())}},
                         "a clean PDF named once is never cut");
}

std::string separatorOf(unsigned steering)
{
    std::string separator;
    const size_t kind = steering >> kSeparatorKindShift;
    for (size_t i = 0; i < (steering & kSeparatorLengthMask); ++i)
        separator += kBlanks[(kind + i) % kBlanks.size()];
    return separator;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    FuzzSupport::initialize(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < kSteeringBytes)
        return 0;
    const unsigned shape = data[kShapeByte];
    const std::string content(reinterpret_cast<const char *>(data) + kSteeringBytes,
                              size - kSteeringBytes);
    checkAnyJob(content, int((shape >> kNamedShift) & kNamedMask));

    const size_t split =
        (size_t(data[kSplitLowByte]) | size_t(data[kSplitHighByte]) << kBitsPerByte) %
        (content.size() + 1);
    const int pages = (shape & kTwoPages) != 0 ? 2 : 1;
    const CleanPdf first = cleanPdfOf(content.substr(0, split), (shape & kFirstObjectStreams) != 0,
                                      (shape & kFirstLinearized) != 0, pages);
    const CleanPdf second = cleanPdfOf(content.substr(split), (shape & kSecondObjectStreams) != 0,
                                       (shape & kSecondLinearized) != 0, pages);
    checkTwoPdfs(first, separatorOf(data[kSeparatorByte]), second);
    checkNamedOnce(first);
    checkNamedOnce(second);
    return 0;
}
