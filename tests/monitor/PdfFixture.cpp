#include "PdfFixture.h"

#include <QFile>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFWriter.hh>

namespace PdfFixture {

void write(const QString &path, int pages)
{
    QPDF document;
    document.emptyPDF();
    for (int i = 0; i < pages; ++i) {
        QPDFObjectHandle page = document.makeIndirectObject(
            QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 595 842] /Resources << >> >>"));
        document.addPage(page, false);
    }
    const QByteArray fileName = QFile::encodeName(path);
    QPDFWriter writer(document, fileName.constData());
    writer.setStaticID(true);
    writer.write();
}

} // namespace PdfFixture
