#pragma once

// Small helpers shared by the tests.

#include <QByteArray>
#include <QString>

#include <chrono>
#include <functional>

namespace TestSupport {

// Runs the event loop until the condition holds or the time limit passes; returns the condition.
bool waitUntil(const std::function<bool()> &condition,
               std::chrono::milliseconds limit = std::chrono::seconds(10));

// Runs the event loop for the given time.
void spin(std::chrono::milliseconds duration);

QByteArray readFile(const QString &path);
bool writeFile(const QString &path, const QByteArray &content);

} // namespace TestSupport
