#include "SamplePdf.h"

#include <QFile>
#include <QRandomGenerator>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFWriter.hh>

#include <exception>
#include <string>

namespace SamplePdf {

namespace {

constexpr auto kErrorDomain = "e2e.pdf";
constexpr qint64 kFillerWidth = 1024;
// Fixed, so that a document of the same size has the same bytes in every run.
constexpr quint32 kFillerSeed = 20240;

std::string randomBytes(qint64 length)
{
    std::string bytes(size_t(length), '\0');
    QRandomGenerator generator(kFillerSeed);
    for (char &byte : bytes)
        byte = char(generator.bounded(256));
    return bytes;
}

QPDFObjectHandle fillerImage(QPDF &document, qint64 bytes)
{
    const qint64 height = (bytes + kFillerWidth - 1) / kFillerWidth;
    QPDFObjectHandle image = QPDFObjectHandle::newStream(&document);
    image.replaceStreamData(randomBytes(kFillerWidth * height), QPDFObjectHandle::newNull(),
                            QPDFObjectHandle::newNull());
    QPDFObjectHandle dictionary = image.getDict();
    dictionary.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
    dictionary.replaceKey("/Subtype", QPDFObjectHandle::newName("/Image"));
    dictionary.replaceKey("/Width", QPDFObjectHandle::newInteger(kFillerWidth));
    dictionary.replaceKey("/Height", QPDFObjectHandle::newInteger(height));
    dictionary.replaceKey("/ColorSpace", QPDFObjectHandle::newName("/DeviceGray"));
    dictionary.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(8));
    return image;
}

} // namespace

Result<Done> write(const QString &path, int pages, qint64 minimumBytes)
{
    try {
        QPDF document;
        document.emptyPDF();
        const QPDFObjectHandle font = document.makeIndirectObject(
            QPDFObjectHandle::parse("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"));
        QPDFObjectHandle resources = QPDFObjectHandle::parse("<< /Font << >> >>");
        resources.getKey("/Font").replaceKey("/F1", font);
        if (minimumBytes > 0) {
            QPDFObjectHandle images = QPDFObjectHandle::newDictionary();
            images.replaceKey("/Filler", fillerImage(document, minimumBytes));
            resources.replaceKey("/XObject", images);
        }
        for (int number = 1; number <= pages; ++number) {
            const std::string text =
                "BT /F1 24 Tf 72 770 Td (Tarvello test page " + std::to_string(number) + ") Tj ET";
            QPDFObjectHandle page = document.makeIndirectObject(
                QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 595 842] >>"));
            page.replaceKey("/Resources", resources);
            page.replaceKey("/Contents", QPDFObjectHandle::newStream(&document, text));
            document.addPage(page, false);
        }
        const QByteArray fileName = QFile::encodeName(path);
        QPDFWriter writer(document, fileName.constData());
        writer.setStaticID(true);
        writer.setCompressStreams(false);
        writer.write();
    } catch (const std::exception &failure) {
        return Error{
            QString::fromLatin1(kErrorDomain), 1,
            QStringLiteral("cannot write %1: %2").arg(path, QString::fromUtf8(failure.what()))};
    }
    return Done{};
}

} // namespace SamplePdf
