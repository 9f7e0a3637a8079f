#pragma once

// Makes sure the print road runs where tests/e2e/private-road put it before anything writes to
// the programs' fixed folders: in the private mount namespace the script marked, with /tmp and
// every shadowed folder a tmpfs of that namespace. Outside it, the road would write into the
// machine's own spool, backend and temporary folders.

#include "foundation/Error.h"

#include <QStringList>

namespace PrivateRoadCheck {

// The variable private-road sets to its mount namespace.
inline constexpr auto kMarkerVariable = "VQM_PRIVATE_ROAD";

bool isInside(const QStringList &shadowedFolders);
Result<Done> verify(const QStringList &shadowedFolders);

} // namespace PrivateRoadCheck
