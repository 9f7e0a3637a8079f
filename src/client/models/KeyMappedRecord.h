#pragma once

// Reads a record whose custom key mapping names, for some properties, another JSON member than
// the property's own name: T::modelCustomPropertyMapper() maps property name to member name. A
// mapped property reads only its member; every other property reads the member of its own name,
// by the rules of Record::fromJson.

#include "foundation/Record.h"

#include <QHash>
#include <QJsonObject>
#include <QString>

namespace KeyMappedRecord {

template <typename T>
T fromJson(const QJsonObject &object)
{
    QJsonObject renamed = object;
    const QHash<QString, QString> mapping = T::modelCustomPropertyMapper();
    for (auto entry = mapping.cbegin(); entry != mapping.cend(); ++entry) {
        renamed.remove(entry.key());
        const auto member = object.constFind(entry.value());
        if (member != object.constEnd())
            renamed.insert(entry.key(), *member);
    }
    return Record::fromJson<T>(renamed);
}

} // namespace KeyMappedRecord
