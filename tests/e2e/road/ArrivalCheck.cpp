#include "ArrivalCheck.h"

#include "PdfPages.h"

#include <QFile>

namespace ArrivalCheck {

namespace {

constexpr auto kErrorDomain = "e2e.arrival";

Error mismatch(const QString &description)
{
    return Error{QString::fromLatin1(kErrorDomain), 1, description};
}

Result<QByteArray> contentOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return mismatch(QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
    return file.readAll();
}

} // namespace

Result<Done> verify(const QString &storedFile, const QString &publishedFile,
                    const QList<PageTexts> &expectedPages)
{
    const Result<QByteArray> stored = contentOf(storedFile);
    if (!stored)
        return stored.error();
    const Result<QByteArray> published = contentOf(publishedFile);
    if (!published)
        return published.error();
    if (stored.value() != published.value())
        return mismatch(QStringLiteral("%1 (%2 bytes) is not the published %3 (%4 bytes)")
                            .arg(storedFile)
                            .arg(stored->size())
                            .arg(publishedFile)
                            .arg(published->size()));
    const Result<QStringList> pages = PdfPages::texts(publishedFile);
    if (!pages)
        return pages.error();
    if (pages->size() != expectedPages.size())
        return mismatch(QStringLiteral("the published %1 has %2 pages, not %3: %4")
                            .arg(publishedFile)
                            .arg(pages->size())
                            .arg(expectedPages.size())
                            .arg(pages->join(QStringLiteral(" | "))));
    for (qsizetype page = 0; page < pages->size(); ++page) {
        const QString expected = expectedPages[page].join(u' ');
        if (!expectedPages[page].isEmpty() && pages->at(page) != expected)
            return mismatch(QStringLiteral("page %1 of the published %2 shows \"%3\", not \"%4\"")
                                .arg(page + 1)
                                .arg(publishedFile, pages->at(page), expected));
    }
    return Done{};
}

Result<QList<PageTexts>> pagesOf(const QString &printedPdf, const QList<QList<int>> &layout)
{
    const Result<QStringList> printed = PdfPages::texts(printedPdf);
    if (!printed)
        return printed.error();
    QList<PageTexts> pages;
    for (const QList<int> &sheet : layout) {
        PageTexts texts;
        for (const int number : sheet) {
            if (number < 1 || number > printed->size())
                return mismatch(QStringLiteral("%1 has no page %2").arg(printedPdf).arg(number));
            texts << printed->at(number - 1);
        }
        pages << texts;
    }
    return pages;
}

Result<QList<PageTexts>> pagesOf(const QString &printedPdf)
{
    const Result<QStringList> printed = PdfPages::texts(printedPdf);
    if (!printed)
        return printed.error();
    QList<PageTexts> pages;
    for (const QString &text : printed.value())
        pages << PageTexts{text};
    return pages;
}

} // namespace ArrivalCheck
