#include "ServiceText.h"

#include "foundation/Record.h"

QString latin1(const char *text)
{
    return QString::fromLatin1(text);
}

QString textMember(const QJsonObject &reply, const char *name)
{
    return Record::valueForType(reply.value(latin1(name)), QMetaType::fromType<QString>())
        .toString();
}
