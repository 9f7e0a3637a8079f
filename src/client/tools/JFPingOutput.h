#pragma once

// Where the ping runs and the address ping manager write their progress lines. Each call is one
// line, without its line break.

#include <QString>

#include <functional>

using JFPingOutput = std::function<void(const QString &line)>;

// Writes each line, UTF-8 and followed by a line break, to the process's standard output.
JFPingOutput standardOutputLines();
