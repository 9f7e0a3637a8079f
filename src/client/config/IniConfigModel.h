#pragma once

// The site configuration read from the INI file beside the print backend: service address and
// port, https flag, preset company key, FTP storage name, QR flag, printer name, and the HTTP API's
// base URL derived from them. A plain value; copies are independent. Any thread (read-only after
// start-up).

#include "ConfigFields.h"

class IniConfigModel : public ConfigFields
{
    Q_GADGET
    Q_PROPERTY(QString entKey READ entKey WRITE setEntKey)

public:
    // Never nil: an unset key reads as "", so callers test for the empty text.
    QString entKey() const;
    void setEntKey(const QString &entKey) { m_entKey = entKey; }

    QString description() const { return describe(entKey()); }

private:
    QString m_entKey;
};
