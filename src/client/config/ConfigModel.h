#pragma once

// A second configuration record with the same values as IniConfigModel, except that its company
// key reads nil (a null QString) when unset or empty. A plain value; any thread.

#include "ConfigFields.h"

class ConfigModel : public ConfigFields
{
    Q_GADGET
    Q_PROPERTY(QString entKey READ entKey WRITE setEntKey)

public:
    QString entKey() const;
    void setEntKey(const QString &entKey) { m_entKey = entKey; }

    QString description() const { return describe(entKey()); }

private:
    QString m_entKey;
};
