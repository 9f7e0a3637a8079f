#pragma once

// One event of a ping run. Every field starts empty; timeMilliseconds is set for didReceivePacket
// only. A plain value, copied freely.

#include "client/tools/JFPingStatus.h"

#include <QString>

#include <optional>

class JFPingItem
{
public:
    QString hostName; // null when none
    std::optional<double> timeMilliseconds;
    std::optional<JFPingStatus> status;
};
