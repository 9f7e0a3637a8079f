#include "Record.h"

#include <QJsonArray>
#include <QJsonValue>

#include <cmath>

namespace Record {

// Enough digits to give a double back exactly.
static constexpr int kSignificantDigits = 17;

QList<QMetaProperty> allProperties(const QMetaObject &meta)
{
    QList<QMetaProperty> properties;
    properties.reserve(meta.propertyCount());
    for (int i = 0; i < meta.propertyCount(); ++i)
        properties.append(meta.property(i));
    return properties;
}

QList<QMetaProperty> ownProperties(const QMetaObject &meta)
{
    QList<QMetaProperty> properties;
    for (int i = meta.propertyOffset(); i < meta.propertyCount(); ++i)
        properties.append(meta.property(i));
    return properties;
}

QVariant read(const QMetaProperty &property, const void *gadget)
{
    return property.readOnGadget(gadget);
}

bool write(const QMetaProperty &property, void *gadget, const QVariant &value)
{
    return property.writeOnGadget(gadget, value);
}

static bool isIntegerType(int id)
{
    switch (id) {
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
        return true;
    default:
        return false;
    }
}

static QString decimalText(double number)
{
    // Integral values print without a fraction or exponent, as the service and the records
    // expect, also beyond the range of a 64-bit integer (a cast there would be undefined).
    if (std::isfinite(number) && std::trunc(number) == number)
        return QString::number(number == 0 ? 0.0 : number, 'f', 0); // -0 reads as "0"
    return QString::number(number, 'g', kSignificantDigits);
}

QVariant valueForType(const QJsonValue &value, QMetaType type)
{
    const int id = type.id();
    if (id == QMetaType::QString) {
        if (value.isString())
            return value.toString();
        if (value.isDouble())
            return decimalText(value.toDouble());
        if (value.isBool())
            return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
        return {};
    }
    if (id == QMetaType::Bool) {
        if (value.isBool())
            return value.toBool();
        if (value.isDouble())
            return value.toDouble() != 0;
        if (value.isString()) {
            const QString text = value.toString().trimmed().toLower();
            return text == u"true" || text == u"yes" || text.toLongLong() != 0;
        }
        return {};
    }
    if (isIntegerType(id) || id == QMetaType::Double || id == QMetaType::Float) {
        double number = 0;
        if (value.isDouble()) {
            number = value.toDouble();
        } else if (value.isBool()) {
            number = value.toBool() ? 1 : 0;
        } else if (value.isString()) {
            bool ok = false;
            number = value.toString().trimmed().toDouble(&ok);
            if (!ok)
                return {};
        } else {
            return {};
        }
        QVariant converted(number);
        if (!converted.convert(type))
            return {};
        return converted;
    }
    if (id == QMetaType::QJsonObject)
        return value.isObject() ? QVariant(value.toObject()) : QVariant();
    if (id == QMetaType::QJsonArray)
        return value.isArray() ? QVariant(value.toArray()) : QVariant();
    if (id == QMetaType::QJsonValue)
        return QVariant::fromValue(value);
    return {};
}

QJsonObject toJson(const QMetaObject &meta, const void *gadget)
{
    QJsonObject object;
    for (const QMetaProperty &property : allProperties(meta)) {
        const QVariant value = read(property, gadget);
        if (property.metaType().id() == QMetaType::QString && value.toString().isNull())
            continue;
        const QJsonValue json = QJsonValue::fromVariant(value);
        if (json.isUndefined())
            continue;
        object.insert(QString::fromLatin1(property.name()), json);
    }
    return object;
}

void fromJson(const QMetaObject &meta, void *gadget, const QJsonObject &object)
{
    for (const QMetaProperty &property : allProperties(meta)) {
        const auto member = object.constFind(QString::fromLatin1(property.name()));
        if (member == object.constEnd())
            continue;
        const QVariant value = valueForType(*member, property.metaType());
        if (value.isValid())
            write(property, gadget, value);
    }
}

} // namespace Record
