#include "SampleDocuments.h"

#include "RoadFiles.h"
#include "Tool.h"

namespace SampleDocuments {

namespace {

constexpr auto kErrorDomain = "e2e.documents";
constexpr auto kImageExtension = ".png";
// Small, and still a page's worth of pixels.
constexpr int kImageResolution = 36;

} // namespace

Result<Done> writeText(const QString &path, const QStringList &lines)
{
    if (!RoadFiles::writeText(path, lines.join(u'\n') + u'\n'))
        return Error{QString::fromLatin1(kErrorDomain), 1,
                     QStringLiteral("cannot write %1").arg(path)};
    return Done{};
}

Result<Done> writeImage(const QString &path, const QString &fromPdf)
{
    // pdftoppm names its output after a root to which it adds the extension.
    if (!path.endsWith(QLatin1String(kImageExtension)))
        return Error{
            QString::fromLatin1(kErrorDomain), 1,
            QStringLiteral("%1 does not end in %2").arg(path, QLatin1String(kImageExtension))};
    const QString root = path.chopped(qsizetype(qstrlen(kImageExtension)));
    const Result<QByteArray> made =
        Tool::run(QStringLiteral("pdftoppm"),
                  {QStringLiteral("-png"), QStringLiteral("-singlefile"), QStringLiteral("-r"),
                   QString::number(kImageResolution), fromPdf, root});
    if (!made)
        return made.error();
    return Done{};
}

Result<Done> writePostScript(const QString &path, const QString &fromPdf)
{
    const Result<QByteArray> made = Tool::run(QStringLiteral("pdftops"), {fromPdf, path});
    if (!made)
        return made.error();
    return Done{};
}

} // namespace SampleDocuments
