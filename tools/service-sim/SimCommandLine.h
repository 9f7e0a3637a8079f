#pragma once

#include "SimOptions.h"

#include "foundation/Error.h"

class QCommandLineParser;

// The simulator's own command-line options: declares them (with their --help texts) and reads
// them into SimOptions. Components declare theirs beside these.
class SimCommandLine
{
public:
    static void addOptions(QCommandLineParser &parser);
    // programDir: where the FTP server script is looked for by default.
    static Result<SimOptions> read(const QCommandLineParser &parser, const QString &programDir);

    static Result<FtpTargets::Server> parseExternalFtp(const QString &text);
    static Result<quint16> parsePort(const QString &name, const QString &text);
};
