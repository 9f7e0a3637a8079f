#pragma once

// Plants entries in the shared folders as another local user would: as the user nobody when the
// tests run as root (as they do in CI), else as the tests' own user.

#include <QString>
#include <QStringList>

#include <ostream>

namespace OtherUser {

// Runs `sh -c script` with the arguments as $1, $2, ...; true when it ended with status 0.
bool run(const QString &script, const QStringList &arguments);

// What another user may put in place of a job copy between its intake and its upload; in the
// scripts, $1 is the copy and $2 a secret file of the user elsewhere.
struct CopySwap
{
    const char *name;
    const char *script;
};

inline const CopySwap kCopySwaps[] = {
    {"LinkToASecretFile", R"(rm -f "$1" && ln -s "$2" "$1")"},
    {"DanglingLink", R"(rm -f "$1" && ln -s "$2.missing" "$1")"},
    {"Fifo", R"(rm -f "$1" && mkfifo "$1")"},
    {"Folder", R"(rm -f "$1" && mkdir "$1")"},
};

inline void PrintTo(const CopySwap &swap, std::ostream *out)
{
    *out << swap.name;
}

} // namespace OtherUser
