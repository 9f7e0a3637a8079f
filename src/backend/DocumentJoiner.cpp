#include "DocumentJoiner.h"

#include "CompletePdfCheck.h"
#include "DescriptorBytes.h"
#include "DescriptorPipeline.h"
#include "RangeInputSource.h"

#include "foundation/SharedFolderFiles.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <exception>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

std::string nameOf(qsizetype index)
{
    return "document " + std::to_string(index + 1);
}

// Whether no path from the page tree's root goes deeper than the limit, walked with a stack of
// our own so that the depth costs no program stack.
bool hasShallowPageTree(QPDF &document)
{
    std::vector<std::pair<QPDFObjectHandle, int>> pending{{document.getRoot().getKey("/Pages"), 1}};
    std::set<QPDFObjGen> seen;
    while (!pending.empty()) {
        auto [node, depth] = std::move(pending.back());
        pending.pop_back();
        if (depth > DocumentJoiner::kMaxPageTreeDepth)
            return false;
        if (!node.isDictionary() || (node.isIndirect() && !seen.insert(node.getObjGen()).second))
            continue;
        QPDFObjectHandle kids = node.getKey("/Kids");
        if (!kids.isArray())
            continue;
        for (int i = 0; i < kids.getArrayNItems(); ++i)
            pending.emplace_back(kids.getArrayItem(i), depth + 1);
    }
    return true;
}

Result<std::unique_ptr<QPDF>> readerOf(int source, const DocumentRange &range, qsizetype index)
{
    auto document = std::make_unique<QPDF>();
    // qpdf's warnings would reach CUPS's log as lines without a prefix.
    document->setSuppressWarnings(true);
    document->processInputSource(std::make_shared<RangeInputSource>(source, range, nameOf(index)));
    if (!hasShallowPageTree(*document)) {
        return CompletePdfCheck::refusal(
            QStringLiteral("%1 of the job has a page tree more than %2 levels deep")
                .arg(QString::fromStdString(nameOf(index)))
                .arg(DocumentJoiner::kMaxPageTreeDepth));
    }
    // Each page then carries the attributes it inherited from its old page tree.
    document->pushInheritedAttributesToPage();
    return document;
}

Error writeFailure(int errorNumber)
{
    return SharedFolderFiles::systemError(QStringLiteral("cannot write the joined PDF"),
                                          errorNumber);
}

} // namespace

Result<Done> DocumentJoiner::join(int source, const QList<DocumentRange> &documents, int target,
                                  const std::function<bool()> &isCancelled)
{
    DescriptorPipeline output(target, isCancelled);
    try {
        QPDF joined;
        joined.setSuppressWarnings(true);
        joined.emptyPDF();
        QPDFPageDocumentHelper pages(joined);
        for (qsizetype i = 0; i < documents.size(); ++i) {
            if (isCancelled())
                return DescriptorBytes::cancelled();
            // The copied pages read their streams' data from the job's file itself, not through
            // the reader, which goes once they are copied.
            const Result<std::unique_ptr<QPDF>> reader = readerOf(source, documents.at(i), i);
            if (!reader)
                return reader.error();
            for (QPDFPageObjectHelper &page : QPDFPageDocumentHelper(*reader.value()).getAllPages())
                pages.addPage(page, false);
        }
        QPDFWriter writer(joined);
        writer.setOutputPipeline(&output);
        writer.setDecodeLevel(qpdf_dl_none);
        writer.setCompressStreams(false);
        writer.write();
    } catch (const std::exception &failure) {
        if (output.cancelled())
            return DescriptorBytes::cancelled();
        if (output.failed() != 0)
            return writeFailure(output.failed());
        return CompletePdfCheck::refusal(
            QStringLiteral("a document of the job is not a whole PDF: %1")
                .arg(QString::fromStdString(failure.what())));
    }
    if (output.failed() != 0)
        return writeFailure(output.failed());
    return Done{};
}
