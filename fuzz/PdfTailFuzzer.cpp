// The monitor's test whether a spool PDF is completely written, on whatever the print backend
// (or anyone who can write the spool folder) leaves there.
//
// Properties, checked on every input written as a file:
// - no crash and no read beyond the file;
// - a file of 7 bytes or less is never complete;
// - the verdict depends on the last 7 bytes alone: the same verdict whatever bytes precede the
//   tail, however many (also across the file's read buffers);
// - the verdict is that those 7 bytes are valid UTF-8 holding "%%EOF".

#include "FuzzSupport.h"

#include "foundation/SharedFolderFiles.h"
#include "monitor/MonitorFileManager.h"

#include <QFile>
#include <QStringDecoder>

namespace {

constexpr qsizetype kTailLength = 7;
// Long enough to cross the buffers in which files are read.
constexpr qsizetype kLongPrefix = 64 * 1024 + 3;

const QString kPdfName = QStringLiteral("1234.pdf");

QString pdfPath()
{
    return FuzzSupport::scratchFolder() + QLatin1Char('/') + kPdfName;
}

// The monitor reads the spool folder through the descriptor it opened once.
int scratchFolderDescriptor()
{
    static const FileDescriptor folder = [] {
        Result<FileDescriptor> opened = SharedFolderFiles::openFolder(FuzzSupport::scratchFolder());
        FuzzSupport::require(bool(opened), "the scratch folder can be opened");
        return std::move(opened.value());
    }();
    return folder.get();
}

bool verdictOn(const QByteArray &content)
{
    QFile file(pdfPath());
    FuzzSupport::require(file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                             file.write(content) == content.size(),
                         "the PDF can be written");
    file.close();
    return MonitorFileManager::readFileEOF(scratchFolderDescriptor(), kPdfName);
}

bool tailHoldsMarker(const QByteArray &tail)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(tail);
    return !decoder.hasError() && text.contains(QLatin1String("%%EOF"));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    FuzzSupport::initialize(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray content(reinterpret_cast<const char *>(data), qsizetype(size));
    const bool verdict = verdictOn(content);
    if (content.size() <= kTailLength) {
        FuzzSupport::require(!verdict, "a file of 7 bytes or less is never complete");
        return 0;
    }
    const QByteArray tail = content.right(kTailLength);
    FuzzSupport::require(verdict == tailHoldsMarker(tail),
                         "complete means the last 7 bytes are UTF-8 holding the marker");

    QByteArray otherPrefix = content.left(content.size() - kTailLength);
    std::reverse(otherPrefix.begin(), otherPrefix.end());
    FuzzSupport::require(verdictOn(otherPrefix + '\xff' + tail) == verdict,
                         "other bytes before the tail give the same verdict");
    FuzzSupport::require(verdictOn(QByteArray(kLongPrefix, '%') + tail) == verdict,
                         "a long file with the same tail gives the same verdict");
    return 0;
}
