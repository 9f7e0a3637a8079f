#pragma once

// The fixed texts and modes of the vqmprinter CUPS backend. Where it writes is the spool tree of
// foundation/SpoolLayout.h; classes take the spool root through their constructors so that tests
// can give them a folder of their own.

#include <sys/types.h>

namespace BackendDefaults {

inline constexpr auto kErrorDomain = "vqmprinter";

// The line CUPS shows when it asks the backend which devices it offers.
inline constexpr auto kDeviceListing = "direct vqmprinter:/ \"Tarvello\" \"Tarvello print client\"";

// Every user's monitor reads and rewrites these, whatever umask CUPS runs the backend with.
inline constexpr mode_t kSharedFolderMode = 0777;
// The spool root as the installation makes it: sticky, as /tmp is, so that only a folder's owner
// may rename or remove the folders in it.
inline constexpr mode_t kSpoolRootMode = 01777;
inline constexpr mode_t kSharedFileMode = 0666;

} // namespace BackendDefaults
