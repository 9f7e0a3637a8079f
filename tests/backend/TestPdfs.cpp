#include "TestPdfs.h"

#include "support/TestSupport.h"

#include <qpdf/Buffer.hh>
#include <qpdf/Pl_Buffer.hh>
#include <qpdf/Pl_Discard.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFEFStreamObjectHelper.hh>
#include <qpdf/QPDFEmbeddedFileDocumentHelper.hh>
#include <qpdf/QPDFFileSpecObjectHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <gtest/gtest.h>

#include <string>

namespace TestPdfs {

namespace {

QByteArray written(QPDF &document, const Shape &shape)
{
    QPDFWriter writer(document);
    writer.setOutputMemory();
    writer.setStaticID(true);
    writer.setCompressStreams(false);
    writer.setObjectStreamMode(shape.objectStreams ? qpdf_o_generate : qpdf_o_disable);
    writer.setLinearization(shape.linearized);
    if (!shape.headerComment.isEmpty())
        writer.setExtraHeaderText(shape.headerComment.toStdString());
    writer.write();
    const std::unique_ptr<Buffer> buffer(writer.getBuffer());
    return QByteArray(reinterpret_cast<const char *>(buffer->getBuffer()),
                      qsizetype(buffer->getSize()));
}

} // namespace

QByteArray make(const QByteArray &label, int pages, const Shape &shape)
{
    QPDF document;
    document.emptyPDF();
    const QPDFObjectHandle font = document.makeIndirectObject(
        QPDFObjectHandle::parse("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"));
    for (int number = 1; number <= pages; ++number) {
        const std::string text = "BT /F1 24 Tf 72 720 Td (" + label.toStdString() + " page " +
                                 std::to_string(number) + ") Tj ET";
        QPDFObjectHandle page = document.makeIndirectObject(QPDFObjectHandle::parse(
            shape.inheritedMediaBox ? "<< /Type /Page >>"
                                    : "<< /Type /Page /MediaBox [0 0 595 842] >>"));
        QPDFObjectHandle resources = QPDFObjectHandle::parse("<< /Font << >> >>");
        resources.getKey("/Font").replaceKey("/F1", font);
        page.replaceKey("/Resources", resources);
        page.replaceKey("/Contents", QPDFObjectHandle::newStream(&document, text));
        document.addPage(page, false);
    }
    if (shape.inheritedMediaBox)
        document.getRoot().getKey("/Pages").replaceKey("/MediaBox",
                                                       QPDFObjectHandle::parse("[0 0 420 595]"));
    if (!shape.attachment.isEmpty()) {
        QPDFEmbeddedFileDocumentHelper attachments(document);
        const QPDFEFStreamObjectHelper file =
            QPDFEFStreamObjectHelper::createEFStream(document, shape.attachment.toStdString());
        attachments.replaceEmbeddedFile("attached.pdf", QPDFFileSpecObjectHelper::createFileSpec(
                                                            document, "attached.pdf", file));
    }
    return written(document, shape);
}

QByteArray handMade(const QByteArrayList &bodies)
{
    constexpr int kOffsetDigits = 10;
    QByteArray pdf = "%PDF-1.7\n";
    QByteArray table =
        "xref\n0 " + QByteArray::number(bodies.size() + 1) + "\n0000000000 65535 f \n";
    for (qsizetype i = 0; i < bodies.size(); ++i) {
        table += QByteArray::number(pdf.size()).rightJustified(kOffsetDigits, '0') + " 00000 n \n";
        pdf += QByteArray::number(i + 1) + " 0 obj\n" + bodies.at(i) + "\nendobj\n";
    }
    const qsizetype section = pdf.size();
    return pdf + table + "trailer\n<< /Size " + QByteArray::number(bodies.size() + 1) +
           " /Root 1 0 R >>\nstartxref\n" + QByteArray::number(section) + "\n%%EOF\n";
}

QByteArray withPageTreeDepth(int levels)
{
    QByteArrayList bodies{"<< /Type /Catalog /Pages 2 0 R >>"};
    for (int level = 1; level <= levels; ++level) {
        const QByteArray parent =
            level == 1 ? QByteArray() : " /Parent " + QByteArray::number(level) + " 0 R";
        bodies << "<< /Type /Pages /Kids [" + QByteArray::number(level + 2) + " 0 R] /Count 1" +
                      parent + " >>";
    }
    bodies << "<< /Type /Page /Parent " + QByteArray::number(levels + 1) +
                  " 0 R /MediaBox [0 0 595 842] >>";
    return handMade(bodies);
}

qint64 startXrefOf(const QByteArray &pdf)
{
    constexpr QByteArrayView kKeyword("startxref");
    return pdf.mid(pdf.lastIndexOf(kKeyword) + kKeyword.size())
        .trimmed()
        .split('\n')
        .first()
        .toLongLong();
}

QByteArray withUpdateStartingWithHeader(const QByteArray &pdf)
{
    const qsizetype keyword = pdf.lastIndexOf("startxref");
    const QByteArray previous = pdf.mid(keyword + 9).trimmed().split('\n').first().trimmed();
    QPDF original;
    original.processMemoryFile("original", pdf.constData(), size_t(pdf.size()));
    const int size = original.getTrailer().getKey("/Size").getIntValueAsInt();
    const QByteArray root =
        QByteArray::fromStdString(original.getTrailer().getKey("/Root").unparse());

    QByteArray update = pdf + "%PDF-1.7\n";
    const qsizetype object = update.size();
    update += QByteArray::number(size) + " 0 obj\n<< /Updated true >>\nendobj\n";
    const qsizetype section = update.size();
    update += "xref\n" + QByteArray::number(size) + " 1\n" +
              QByteArray::number(object).rightJustified(10, '0') + " 00000 n \n" +
              "trailer\n<< /Size " + QByteArray::number(size + 1) + " /Root " + root + " /Prev " +
              previous + " >>\nstartxref\n" + QByteArray::number(section) + "\n%%EOF\n";
    return update;
}

QByteArrayList pageContents(const QByteArray &pdf)
{
    QPDF document;
    document.setSuppressWarnings(true);
    document.processMemoryFile("read back", pdf.constData(), size_t(pdf.size()));
    QByteArrayList contents;
    for (QPDFPageObjectHelper &page : QPDFPageDocumentHelper(document).getAllPages()) {
        Pl_Buffer data("page contents");
        page.pipeContents(&data);
        const std::unique_ptr<Buffer> bytes(data.getBuffer());
        contents << QByteArray(reinterpret_cast<const char *>(bytes->getBuffer()),
                               qsizetype(bytes->getSize()))
                        .trimmed();
    }
    // Every object read, as qpdf --check does, so that any damage shows as a warning.
    QPDFWriter check(document);
    Pl_Discard discard;
    check.setOutputPipeline(&discard);
    check.write();
    EXPECT_FALSE(document.anyWarnings()) << "qpdf warned reading the PDF";
    return contents;
}

QByteArray recorded(const char *name)
{
    return TestSupport::readFile(QStringLiteral(VQM_BACKEND_TEST_DOCUMENTS "/") +
                                 QLatin1String(name));
}

} // namespace TestPdfs
