#include "RoadFiles.h"

#include <QFile>
#include <QJsonDocument>

namespace RoadFiles {

namespace {

constexpr qsizetype kTailLength = 3000;

} // namespace

QString tail(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("(no %1)").arg(path);
    return QString::fromUtf8(file.readAll().right(kTailLength));
}

bool writeText(const QString &path, const QString &text)
{
    QFile file(path);
    const QByteArray bytes = text.toUtf8();
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

QList<QJsonObject> jsonLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<QJsonObject> objects;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (const QJsonObject object = QJsonDocument::fromJson(line).object(); !object.isEmpty())
            objects << object;
    }
    return objects;
}

} // namespace RoadFiles
