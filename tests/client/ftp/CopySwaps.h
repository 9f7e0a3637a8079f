#pragma once

// What another user may put in place of a job copy between its intake and its upload.

#include "support/OtherUser.h"

#include <ostream>

namespace CopySwaps {

// A script for OtherUser::runScript: $1 is the copy and $2 a secret file of the user elsewhere.
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
    // His own document under the copy's name: it must never reach the desktop user's account.
    {"AnotherUsersFile", R"(rm -f "$1" && echo 'his document' > "$1")"},
};

inline void PrintTo(const CopySwap &swap, std::ostream *out)
{
    *out << swap.name;
}

} // namespace CopySwaps
