#include "PdfDocument.h"

#include <QFile>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

#include <exception>

long PdfDocument::numberOfPages(const QString &path)
{
    try {
        QPDF document;
        // Damaged files are repaired where qpdf can; its warnings are of no use to anyone here.
        document.setSuppressWarnings(true);
        document.processFile(QFile::encodeName(path).constData());
        return static_cast<long>(QPDFPageDocumentHelper(document).getAllPages().size());
    } catch (const std::exception &) {
        return 0;
    }
}
