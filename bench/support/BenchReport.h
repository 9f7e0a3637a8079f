#pragma once

// What every benchmark prints and how it ends, so that any two runs can be compared: one figure a
// line as "name = value unit", then a last line "goal met" or "goal missed: <which>", and exit
// status 0 or 1 to match. Each line is flushed at once: a run that dies still shows what it got.
//
// A benchmark's command line is empty (the full run, which judges the goals) or "--short": small
// sizes, one run, for checking that the benchmark still completes and prints its figures. The
// goal line of a short run says little (a shared machine's timings are noise).

#include <QString>
#include <QStringList>

#include <optional>

class BenchReport
{
public:
    enum class Length { Full, Short };
    static constexpr auto kShortOption = "--short";
    static constexpr int kExitGoalMet = 0;
    static constexpr int kExitGoalMissed = 1;
    static constexpr int kExitUsage = 2;

    // The run length the arguments (the program's name first) ask for; none, after a usage line on
    // standard error, when they ask for something else.
    static std::optional<Length> lengthOf(const QStringList &arguments);

    void figure(const QString &name, double value, const char *unit, int decimals = 2);
    // Notes `which` among the missed goals unless `met`.
    void goal(bool met, const QString &which);
    // Prints the goal line; the exit status.
    int finish() const;

    // For a run that cannot go on: prints "goal missed: <why>"; the exit status.
    static int abandon(const QString &why);

private:
    QStringList m_missed;
};
