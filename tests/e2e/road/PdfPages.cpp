#include "PdfPages.h"

#include "Tool.h"

namespace PdfPages {

namespace {

// pdftotext ends every page with a form feed.
constexpr char kPageEnd = '\f';

} // namespace

Result<QStringList> texts(const QString &path)
{
    const Result<QByteArray> text = Tool::run(QStringLiteral("pdftotext"),
                                              {QStringLiteral("-q"), QStringLiteral("-enc"),
                                               QStringLiteral("UTF-8"), path, QStringLiteral("-")});
    if (!text)
        return text.error();
    QStringList pages;
    const QList<QByteArray> parts = text->split(kPageEnd);
    // The part after the last page's form feed is empty.
    for (qsizetype page = 0; page + 1 < parts.size(); ++page)
        pages << QString::fromUtf8(parts[page]).simplified();
    return pages;
}

} // namespace PdfPages
