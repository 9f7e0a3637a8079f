#pragma once

// A test's spool or copy folder, opened as the monitor opens its own: made (with mode 0777) when
// missing; null when it cannot be had.

#include "monitor/CheckedFolder.h"

#include <memory>

namespace OpenedFolder {

inline std::unique_ptr<CheckedFolder> open(const QString &path)
{
    constexpr mode_t kSharedMode = 0777;
    Result<CheckedFolder> folder = CheckedFolder::openOrMake(path, kSharedMode);
    return folder ? std::make_unique<CheckedFolder>(std::move(folder.value())) : nullptr;
}

} // namespace OpenedFolder
