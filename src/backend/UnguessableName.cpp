#include "UnguessableName.h"

#include <QRandomGenerator>

QString UnguessableName::make(const QString &prefix, const QString &suffix)
{
    constexpr int kHexBase = 16;
    const quint64 random = QRandomGenerator::system()->generate64();
    return prefix + QStringLiteral("%1").arg(random, kRandomDigits, kHexBase, QLatin1Char('0')) +
           suffix;
}
