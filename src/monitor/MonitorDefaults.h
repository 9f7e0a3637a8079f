#pragma once

// The fixed folders, limits and names of vqmmonitor. The program has no configuration; classes
// take these values through their constructors so that tests can give them others.

#include "foundation/SpoolLayout.h"

#include <chrono>

namespace MonitorDefaults {

using namespace std::chrono_literals;

inline constexpr auto kSpoolFolder = SpoolLayout::kPdfFolder;
inline constexpr auto kLogFolder = SpoolLayout::kMonitorLogFolder;
inline constexpr auto kDatabaseFolder = SpoolLayout::kDatabaseFolder;
inline constexpr auto kLockFile = SpoolLayout::kMonitorLockFile;
inline constexpr auto kCopyFolder = "/tmp/vqmprinter";

// A job's PDF is named by its extension, "pdf" in any case. The spool file of a job and its copy
// are named by the job id or a UUID followed by it in lower case.
inline constexpr auto kPdfExtension = "pdf";
inline constexpr auto kPdfNameEnd = ".pdf";

// Spool PDFs older than this are deleted at start.
inline constexpr std::chrono::seconds kSpoolMaxAge = 600s;
// Log files whose name date lies before local midnight this long ago are deleted at start.
inline constexpr std::chrono::seconds kLogLookBack = 259200s;

// A new spool PDF is checked at once and then at this interval until it is complete ...
inline constexpr std::chrono::milliseconds kCompletenessInterval = 500ms;
// ... or until this much time has passed since the first check.
inline constexpr std::chrono::milliseconds kCompletenessLimit = 120s;

// A monitor that cannot take the lock (another one holds it, or the lock file is unusable) tries
// again at this interval.
inline constexpr std::chrono::milliseconds kLockRetryInterval = 500ms;

inline constexpr auto kVersion = "2.4.20";
inline constexpr auto kSyslogIdent = "vqmmonitor";

} // namespace MonitorDefaults
