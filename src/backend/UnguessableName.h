#pragma once

// Names for the backend's own entries in folders every local user can write: a random part
// nobody can predict, so that no one can plant an entry at the name in advance. Plain functions,
// any thread.

#include <QString>

class UnguessableName
{
public:
    // prefix + 16 lower-case hex digits from the system's random source + suffix.
    static QString make(const QString &prefix, const QString &suffix);

    // The length of the random part.
    static constexpr int kRandomDigits = 16;
};
