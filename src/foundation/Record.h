#pragma once

// Reflection over Q_GADGET records. A record's properties, in the order of their Q_PROPERTY
// declarations and with their declared types, drive its JSON form, its table-row form and its
// packet form. Superclass gadgets come first in the full list; "own" properties are the ones the
// class itself declares (from propertyOffset() on).
//
// JSON rules: a null QString member is left out, an empty one is written as ""; numbers and
// booleans are written as such. On reading, unknown members are ignored, a JSON number or boolean
// read into a text property becomes its text (JsonHelpers::scalarText), a decimal text read into a
// number property becomes the number (an integer exactly, all 64 bits), and a member of any other
// unsuitable type leaves the property untouched.

#include <QJsonObject>
#include <QList>
#include <QMetaObject>
#include <QMetaProperty>
#include <QVariant>

namespace Record {

QList<QMetaProperty> allProperties(const QMetaObject &meta);
QList<QMetaProperty> ownProperties(const QMetaObject &meta);

QVariant read(const QMetaProperty &property, const void *gadget);
bool write(const QMetaProperty &property, void *gadget, const QVariant &value);

QJsonObject toJson(const QMetaObject &meta, const void *gadget);
void fromJson(const QMetaObject &meta, void *gadget, const QJsonObject &object);

// Converts one JSON value to what a property of the given meta type expects; an invalid
// QVariant when the value does not fit.
QVariant valueForType(const QJsonValue &value, QMetaType type);

template <typename T>
QJsonObject toJson(const T &record)
{
    return toJson(T::staticMetaObject, &record);
}

template <typename T>
T fromJson(const QJsonObject &object)
{
    T record;
    fromJson(T::staticMetaObject, &record, object);
    return record;
}

template <typename T>
void fillFromJson(T &record, const QJsonObject &object)
{
    fromJson(T::staticMetaObject, &record, object);
}

} // namespace Record
