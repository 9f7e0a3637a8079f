#pragma once

// The fixed texts and modes of the vqmprinter CUPS backend. Where it writes is the spool tree of
// foundation/SpoolLayout.h; classes take the spool root through their constructors so that tests
// can give them a folder of their own.

#include <sys/types.h>

namespace BackendDefaults {

inline constexpr auto kErrorDomain = "vqmprinter";

// The line CUPS shows when it asks the backend which devices it offers.
inline constexpr auto kDeviceListing = "direct vqmprinter:/ \"Tarvello\" \"Tarvello print client\"";

// Set explicitly, whatever umask CUPS runs the backend with. Every user's monitor writes into the
// shared folders.
inline constexpr mode_t kSharedFolderMode = 0777;
// The spool root as the installation makes it: sticky, as /tmp is, so that only a folder's owner
// may rename or remove the folders in it.
inline constexpr mode_t kSpoolRootMode = 01777;
// The job table, which every user's monitor rewrites.
inline constexpr mode_t kDatabaseFileMode = 0666;
// A published job's PDF: every user's monitor reads it and removes it through the shared folder,
// and nobody but the backend can rewrite it.
inline constexpr mode_t kPublishedPdfMode = 0644;
// A job's PDF while it is staged: only the backend may open (or lock) it.
inline constexpr mode_t kStagingFileMode = 0600;

} // namespace BackendDefaults
