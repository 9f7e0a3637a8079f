#include "UrlIntake.h"

#include "foundation/Dispatch.h"
#include "foundation/TextHelpers/HexDigit.h"
#include "foundation/logging/Log.h"

#include <QJsonDocument>
#include <QPointer>
#include <QStringDecoder>
#include <QStringList>

namespace {

constexpr char kQuerySeparator = '?';
constexpr auto kParamsName = "params=";
constexpr qsizetype kJobObjectPiece = 1;

// The pieces as the log shows a list of texts.
QString describe(const QStringList &pieces)
{
    QStringList quoted;
    for (const QString &piece : pieces)
        quoted << QStringLiteral("    \"%1\"").arg(piece);
    return QStringLiteral("(\n%1\n)").arg(quoted.join(QLatin1String(",\n")));
}

} // namespace

UrlIntake::UrlIntake(CopyFolderCheck check, JobSink sink, QObject *parent)
    : QObject(parent)
    , m_check(std::move(check))
    , m_sink(std::move(sink))
{}

QString UrlIntake::removingPercentEncoding(const QString &text)
{
    if (text.isNull())
        return {};
    const QByteArray bytes = text.toUtf8();
    QByteArray decoded;
    decoded.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '%') {
            decoded += bytes[i];
            continue;
        }
        if (i + 2 >= bytes.size())
            return {};
        const std::optional<int> high = HexDigit::value(QLatin1Char(bytes[i + 1]));
        const std::optional<int> low = HexDigit::value(QLatin1Char(bytes[i + 2]));
        if (!high || !low)
            return {};
        decoded += char(*high * HexDigit::kBase + *low);
        i += 2;
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString result = utf8(decoded);
    if (utf8.hasError())
        return {};
    // Empty text stays text, not nothing.
    return result.isNull() ? QStringLiteral("") : result;
}

std::optional<QJsonObject> UrlIntake::jobObject(const QString &urlText)
{
    const QString decoded = removingPercentEncoding(urlText);
    const QStringList pieces =
        decoded.isNull() ? QStringList() : decoded.split(QLatin1Char(kQuerySeparator));
    if (pieces.size() <= kJobObjectPiece) {
        Log::client(QStringLiteral("!!urls is empty"));
        return std::nullopt;
    }
    QString params = pieces.at(kJobObjectPiece);
    params.remove(QLatin1String(kParamsName));
    const QJsonDocument document = QJsonDocument::fromJson(params.toUtf8());
    // A top-level array parses but is no job.
    if (!document.isObject()) {
        Log::client(QStringLiteral("!!params is empty, %1").arg(describe(pieces)));
        return std::nullopt;
    }
    return document.object();
}

void UrlIntake::take(const QString &urlText, const UrlEventSource::Reply &givenReply)
{
    const UrlEventSource::Reply reply = givenReply ? givenReply : [] {};
    const std::optional<QJsonObject> object = jobObject(urlText);
    if (!object) {
        reply();
        return;
    }
    const QPointer<UrlIntake> self(this);
    // The conversion reads the file system, so it stays off the main thread.
    dispatchGlobal([self, check = m_check, object = *object, reply] {
        auto job = std::make_shared<PrnParameterModel>();
        job->dicCovertToModel(object);
        const QString refusal = check.refusal(job->pdfPath);
        if (!refusal.isNull())
            Log::client(QStringLiteral("!!job %1 dropped, nothing is uploaded: printjob \"%2\", %3")
                            .arg(job->jobId, job->pdfPath, refusal));
        dispatchMain([self, job, refused = !refusal.isNull(), reply] {
            if (self && !refused)
                self->m_sink(job);
            reply();
        });
    });
}
