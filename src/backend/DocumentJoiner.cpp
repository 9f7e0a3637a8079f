#include "DocumentJoiner.h"

#include "CompletePdfCheck.h"
#include "DescriptorPipeline.h"
#include "RangeInputSource.h"

#include "foundation/SharedFolderFiles.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <exception>
#include <memory>
#include <string>
#include <vector>

namespace {

std::string nameOf(qsizetype index)
{
    return "document " + std::to_string(index + 1);
}

std::unique_ptr<QPDF> readerOf(int source, const DocumentRange &range, qsizetype index)
{
    auto document = std::make_unique<QPDF>();
    // qpdf's warnings would reach CUPS's log as lines without a prefix.
    document->setSuppressWarnings(true);
    document->processInputSource(std::make_shared<RangeInputSource>(source, range, nameOf(index)));
    // Each page then carries the attributes it inherited from its old page tree.
    document->pushInheritedAttributesToPage();
    return document;
}

} // namespace

Result<Done> DocumentJoiner::join(int source, const QList<DocumentRange> &documents, int target)
{
    DescriptorPipeline output(target);
    // The joined PDF reads its pages' streams from these while it is written.
    std::vector<std::unique_ptr<QPDF>> readers;
    try {
        QPDF joined;
        joined.setSuppressWarnings(true);
        joined.emptyPDF();
        QPDFPageDocumentHelper pages(joined);
        for (qsizetype i = 0; i < documents.size(); ++i) {
            readers.push_back(readerOf(source, documents.at(i), i));
            for (QPDFPageObjectHelper &page : QPDFPageDocumentHelper(*readers.back()).getAllPages())
                pages.addPage(page, false);
        }
        QPDFWriter writer(joined);
        writer.setOutputPipeline(&output);
        writer.setDecodeLevel(qpdf_dl_none);
        writer.setCompressStreams(false);
        writer.write();
    } catch (const std::exception &failure) {
        if (output.failed() != 0) {
            return SharedFolderFiles::systemError(QStringLiteral("cannot write the joined PDF"),
                                                  output.failed());
        }
        return CompletePdfCheck::refusal(
            QStringLiteral("a document of the job is not a whole PDF: %1")
                .arg(QString::fromStdString(failure.what())));
    }
    if (output.failed() != 0)
        return SharedFolderFiles::systemError(QStringLiteral("cannot write the joined PDF"),
                                              output.failed());
    return Done{};
}
