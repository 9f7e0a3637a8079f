#include "JsonHelpers.h"

#include <QDebug>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QJsonValue>

#include <cmath>

namespace {

// Parses an object or array; an invalid QVariant (and the error) otherwise.
QVariant parse(const QByteArray &data, QJsonParseError *error)
{
    const QJsonDocument document = QJsonDocument::fromJson(data, error);
    if (error->error != QJsonParseError::NoError)
        return QVariant();
    return document.toVariant();
}

bool isNumber(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Float:
    case QMetaType::Double:
        return true;
    default:
        return false;
    }
}

} // namespace

QByteArray JsonHelpers::JSONData(const QVariantMap &dictionary)
{
    return QJsonDocument::fromVariant(dictionary).toJson(QJsonDocument::Compact);
}

QString JsonHelpers::JSONString(const QVariantMap &dictionary)
{
    if (!isValidJsonValue(dictionary))
        return QStringLiteral("");
    return QString::fromUtf8(
        QJsonDocument::fromVariant(dictionary).toJson(QJsonDocument::Indented));
}

QVariant JsonHelpers::objectFromJSONString(const QString &text)
{
    if (text.isNull())
        return QVariant();
    return objectFromJSONData(text.toUtf8());
}

QVariant JsonHelpers::objectFromJSONData(const QByteArray &data)
{
    QJsonParseError error;
    return parse(data, &error);
}

QVariant JsonHelpers::dictionaryWithJsonString(const QString &text)
{
    if (text.isNull())
        return QVariant();
    QJsonParseError error;
    const QVariant object = parse(text.toUtf8(), &error);
    if (!object.isValid())
        qInfo().noquote() << QStringLiteral("json解析失败：%1").arg(error.errorString());
    return object;
}

bool JsonHelpers::isValidJsonValue(const QVariant &value)
{
    if (value.isNull() || value.typeId() == QMetaType::QString)
        return true;
    if (isNumber(value))
        return std::isfinite(value.toDouble());
    if (value.typeId() == QMetaType::QVariantList) {
        const QVariantList list = value.toList();
        return std::all_of(list.begin(), list.end(), isValidJsonValue);
    }
    if (value.typeId() == QMetaType::QVariantMap) {
        const QVariantMap map = value.toMap();
        return std::all_of(map.begin(), map.end(), isValidJsonValue);
    }
    return false;
}
