#include "PdfDocument.h"

#include "foundation/SharedFolderFiles.h"

#include <QFile>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

#include <cstdio>
#include <exception>

#include <fcntl.h>

long PdfDocument::numberOfPages(const QString &path)
{
    // The file lies in a folder every user can write: a link or a FIFO put in its place is no PDF.
    Result<FileDescriptor> file = SharedFolderFiles::openRegularFile(path, O_RDONLY);
    if (!file)
        return 0;
    FILE *stream = ::fdopen(file->get(), "rb");
    if (!stream)
        return 0;
    file->release(); // the stream owns it now
    try {
        QPDF document;
        // Damaged files are repaired where qpdf can; its warnings are of no use to anyone here.
        document.setSuppressWarnings(true);
        document.processFile(QFile::encodeName(path).constData(), stream, true);
        return static_cast<long>(QPDFPageDocumentHelper(document).getAllPages().size());
    } catch (const std::exception &) {
        return 0;
    }
}
