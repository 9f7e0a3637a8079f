#include "HandoffUrl.h"

#include <QJsonDocument>

QString HandoffUrl::compactJsonText(const QJsonObject &object)
{
    QString text = QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
    text.remove(QLatin1Char(' '));
    text.remove(QLatin1Char('\n'));
    return text;
}

QString HandoffUrl::escape(const QString &text)
{
    // toPercentEncoding leaves exactly the unreserved characters alone and writes upper-case hex.
    return QString::fromLatin1(text.toUtf8().toPercentEncoding());
}

QString HandoffUrl::build(const QJsonObject &object)
{
    return QLatin1String(prefix) + escape(compactJsonText(object));
}
