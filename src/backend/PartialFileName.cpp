#include "PartialFileName.h"

#include "UnguessableName.h"

#include <QRegularExpression>

namespace {

constexpr auto kSuffix = ".partial";

} // namespace

QString PartialFileName::make(qint64 jobId)
{
    return UnguessableName::make(QStringLiteral(".%1.").arg(jobId), QLatin1String(kSuffix));
}

bool PartialFileName::isPartial(const QString &name)
{
    static const QRegularExpression pattern(
        QStringLiteral("\\A\\.[0-9]+(\\.[0-9a-f]{%1})?\\.partial\\z")
            .arg(UnguessableName::kRandomDigits));
    return pattern.match(name).hasMatch();
}
