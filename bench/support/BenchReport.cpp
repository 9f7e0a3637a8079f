#include "BenchReport.h"

#include <QFileInfo>

#include <cstdio>

namespace {

void printLine(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

} // namespace

std::optional<BenchReport::Length> BenchReport::lengthOf(const QStringList &arguments)
{
    const QStringList options = arguments.mid(1);
    if (options.isEmpty())
        return Length::Full;
    if (options == QStringList{QLatin1String(kShortOption)})
        return Length::Short;
    std::fprintf(stderr, "usage: %s [%s]   (%s: small sizes, one run)\n",
                 qPrintable(QFileInfo(arguments.value(0)).fileName()), kShortOption, kShortOption);
    return std::nullopt;
}

void BenchReport::figure(const QString &name, double value, const char *unit, int decimals)
{
    printLine(QStringLiteral("%1 = %2 %3")
                  .arg(name)
                  .arg(value, 0, 'f', decimals)
                  .arg(QLatin1String(unit)));
}

void BenchReport::goal(bool met, const QString &which)
{
    if (!met)
        m_missed << which;
}

int BenchReport::finish() const
{
    if (m_missed.isEmpty()) {
        printLine(QStringLiteral("goal met"));
        return kExitGoalMet;
    }
    return abandon(m_missed.join(QStringLiteral(", ")));
}

int BenchReport::abandon(const QString &why)
{
    printLine(QStringLiteral("goal missed: ") + why);
    return kExitGoalMissed;
}
