#include "JobArguments.h"

#include "BackendDefaults.h"

#include <QFile>
#include <QRegularExpression>

#include <cerrno>
#include <limits>
#include <optional>

namespace {

// Digits only: no sign, no blanks, no other base.
template <typename Number>
std::optional<Number> positiveNumber(const QByteArray &text)
{
    static const QRegularExpression digits(QStringLiteral("\\A[0-9]+\\z"));
    if (!digits.match(QString::fromLatin1(text)).hasMatch())
        return std::nullopt;
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok);
    if (!ok || value <= 0 || value > std::numeric_limits<Number>::max())
        return std::nullopt;
    return Number(value);
}

Error invalid(const QString &description)
{
    return Error{QString::fromLatin1(BackendDefaults::kErrorDomain), EINVAL, description};
}

} // namespace

Result<JobArguments> JobArguments::parse(const QByteArrayList &arguments)
{
    if (arguments.size() != kCountWithoutFile && arguments.size() != kCountWithFile)
        return invalid(
            QStringLiteral("expected the arguments job-id user title copies options [file]"));
    JobArguments job;
    const auto jobId = positiveNumber<qint64>(arguments.at(0));
    if (!jobId)
        return invalid(
            QStringLiteral("invalid job id \"%1\"").arg(QString::fromUtf8(arguments.at(0))));
    const auto copies = positiveNumber<int>(arguments.at(3));
    if (!copies)
        return invalid(
            QStringLiteral("invalid copies \"%1\"").arg(QString::fromUtf8(arguments.at(3))));
    job.jobId = *jobId;
    job.title = QString::fromUtf8(arguments.at(2));
    job.copies = *copies;
    job.options = arguments.at(4);
    if (arguments.size() == kCountWithFile)
        job.file = QFile::decodeName(arguments.at(5));
    return job;
}
