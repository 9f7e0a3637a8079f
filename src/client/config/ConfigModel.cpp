#include "ConfigModel.h"

QString ConfigModel::entKey() const
{
    return m_entKey.isEmpty() ? QString() : m_entKey;
}
