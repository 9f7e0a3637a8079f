#include "JsonHelpers.h"

#include <QDebug>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QJsonValue>
#include <QLocale>

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

QString numberText(const QJsonValue &number)
{
    // A whole number within 64 bits is held as an integer: its digits, never through a double.
    const QVariant held = number.toVariant();
    if (held.typeId() == QMetaType::LongLong)
        return QString::number(held.toLongLong());
    // Beyond 64 bits a whole number still has no fraction or exponent (and a cast to an
    // integer there would be undefined); -0 reads as "0".
    const double value = number.toDouble();
    if (std::isfinite(value) && std::trunc(value) == value)
        return QString::number(value == 0 ? 0.0 : value, 'f', 0);
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
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
    if (isNumberType(value.metaType()))
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

QString JsonHelpers::scalarText(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::String:
        return value.toString();
    case QJsonValue::Bool:
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case QJsonValue::Double:
        return numberText(value);
    default:
        return {};
    }
}

bool JsonHelpers::isNumberType(QMetaType type)
{
    switch (type.id()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Float:
    case QMetaType::Double:
        return true;
    default:
        return false;
    }
}
