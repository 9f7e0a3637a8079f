#include "Record.h"

#include "foundation/TextHelpers/JsonHelpers.h"

#include <QJsonArray>
#include <QJsonValue>

namespace Record {

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

// A decimal text as a number: an integer exactly, anything else as a double; invalid when it
// is no number.
static QVariant numberFromText(const QString &text)
{
    bool ok = false;
    const qint64 whole = text.toLongLong(&ok);
    if (ok)
        return whole;
    const double number = text.toDouble(&ok);
    return ok ? QVariant(number) : QVariant();
}

QVariant valueForType(const QJsonValue &value, QMetaType type)
{
    const int id = type.id();
    if (id == QMetaType::QString) {
        const QString text = JsonHelpers::scalarText(value);
        return text.isNull() ? QVariant() : QVariant(text);
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
    if (JsonHelpers::isNumberType(type)) {
        QVariant number;
        if (value.isDouble())
            number = value.toVariant(); // a whole number within 64 bits stays an exact integer
        else if (value.isBool())
            number = value.toBool() ? 1 : 0;
        else if (value.isString())
            number = numberFromText(value.toString().trimmed());
        if (!number.isValid() || !number.convert(type))
            return {};
        return number;
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
