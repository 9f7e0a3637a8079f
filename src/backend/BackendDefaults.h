#pragma once

// The fixed places and texts of the vqmprinter CUPS backend. Classes take the spool root through
// their constructors so that tests can give them a folder of their own.

#include <sys/types.h>

namespace BackendDefaults {

inline constexpr auto kErrorDomain = "vqmprinter";

// Shared with the monitor and the client: the job PDFs, the job table and both programs' logs.
inline constexpr auto kSpoolRoot = "/var/spool/vqmprinter";
inline constexpr auto kPdfFolderName = "pdf_out";
inline constexpr auto kDatabaseFolderName = "db";

// The line CUPS shows when it asks the backend which devices it offers.
inline constexpr auto kDeviceListing = "direct vqmprinter:/ \"Tarvello\" \"Tarvello print client\"";

// Every user's monitor reads and rewrites these, whatever umask CUPS runs the backend with.
inline constexpr mode_t kSharedFolderMode = 0777;
inline constexpr mode_t kSharedFileMode = 0666;

} // namespace BackendDefaults
