#pragma once

#include "foundation/Error.h"

#include <QCommandLineOption>
#include <QList>
#include <QString>

class QCommandLineParser;
struct SimContext;

// A further part of the simulator with a listener of its own, such as a push server or a page on
// another HTTP port. main() declares its options and configures it; ServiceSimulator starts it
// after the API and FTP server, puts "name=port" into the listening line and stops it first.
// Runs on the main thread.
class SimComponent
{
public:
    virtual ~SimComponent() = default;

    // The key of its port in the listening line, e.g. "push".
    virtual QString name() const = 0;
    virtual QList<QCommandLineOption> options() const { return {}; }
    virtual Result<Done> configure(const QCommandLineParser &) { return Done{}; }
    // Starts listening; returns the bound port.
    virtual Result<quint16> start(SimContext &context) = 0;
    virtual void stop() = 0;
};
