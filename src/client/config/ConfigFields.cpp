#include "ConfigFields.h"

QString ConfigFields::textOrNull(const QString &text)
{
    return text.isNull() ? QStringLiteral("(null)") : text;
}

QString ConfigFields::describe(const QString &entKey) const
{
    return QStringLiteral("printerName: %1, serviceIP: %2, servicePort: %3, enableHttps: %4, "
                          "entKey: %5")
        .arg(textOrNull(printerName), textOrNull(serviceIP), textOrNull(servicePort),
             QString::number(enableHttps ? 1 : 0), textOrNull(entKey));
}
