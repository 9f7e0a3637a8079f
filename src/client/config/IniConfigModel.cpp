#include "IniConfigModel.h"

QString IniConfigModel::entKey() const
{
    return m_entKey.isEmpty() ? QStringLiteral("") : m_entKey;
}
