#include "HandoffUrl.h"

#include <QJsonDocument>

QString HandoffUrl::build(const QJsonObject &job)
{
    return QLatin1String(prefix) + escape(compactJsonText(job));
}

QString HandoffUrl::compactJsonText(const QJsonObject &job)
{
    QString text = QString::fromUtf8(QJsonDocument(job).toJson(QJsonDocument::Compact));
    text.remove(u' ');
    text.remove(u'\n');
    return text;
}

QString HandoffUrl::escape(const QString &text)
{
    // toPercentEncoding leaves exactly the unreserved characters (letters, digits, "-._~") and
    // writes upper-case hex.
    return QString::fromLatin1(text.toUtf8().toPercentEncoding());
}
