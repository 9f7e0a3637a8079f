#pragma once

// The spool tree where the print queue's backend leaves its jobs and both programs keep their
// logs. Its root is sticky (mode 1777), so that no user renames or replaces another's folders in
// it; every folder of it is writable by every local user (mode 0777): the backend and each
// desktop user's programs write there. Constant data.

#include <algorithm>
#include <array>
#include <cstddef>

namespace SpoolLayout {

namespace Detail {

// The parts one after the other as one constant, zero-terminated text.
template <std::size_t... Sizes>
constexpr auto joined(const char (&...parts)[Sizes])
{
    std::array<char, (Sizes + ...) - sizeof...(Sizes) + 1> text{};
    auto end = text.begin();
    ((end = std::copy_n(parts, Sizes - 1, end)), ...);
    return text;
}

} // namespace Detail

inline constexpr char kRoot[] = "/var/spool/vqmprinter";

// The folders below the root.
inline constexpr char kPdfFolderName[] = "pdf_out";     // one PDF per job, named by its id
inline constexpr char kDatabaseFolderName[] = "db";     // the job database
inline constexpr char kClientLogFolderName[] = "alog";  // the client's log files
inline constexpr char kMonitorLogFolderName[] = "mlog"; // the monitor's log files
// The file whose lock makes one monitor the machine's only one that takes jobs; beside the
// folders, so that taking it raises no events in the spool folder.
inline constexpr char kMonitorLockFileName[] = "vqmmonitor.lock";

namespace Detail {
inline constexpr auto kPdfFolder = joined(kRoot, "/", kPdfFolderName);
inline constexpr auto kDatabaseFolder = joined(kRoot, "/", kDatabaseFolderName);
inline constexpr auto kClientLogFolder = joined(kRoot, "/", kClientLogFolderName);
inline constexpr auto kMonitorLogFolder = joined(kRoot, "/", kMonitorLogFolderName);
inline constexpr auto kMonitorLockFile = joined(kRoot, "/", kMonitorLockFileName);
} // namespace Detail

// The same entries as full paths.
inline constexpr const char *kPdfFolder = Detail::kPdfFolder.data();
inline constexpr const char *kDatabaseFolder = Detail::kDatabaseFolder.data();
inline constexpr const char *kClientLogFolder = Detail::kClientLogFolder.data();
inline constexpr const char *kMonitorLogFolder = Detail::kMonitorLogFolder.data();
inline constexpr const char *kMonitorLockFile = Detail::kMonitorLockFile.data();

} // namespace SpoolLayout
