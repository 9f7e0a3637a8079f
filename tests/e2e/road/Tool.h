#pragma once

// A command-line tool the print road runs to its end (cmake, cp, lpstat, scripts/add-printer),
// on the calling thread, for at most two minutes.

#include "foundation/Error.h"

#include <QByteArray>
#include <QProcessEnvironment>
#include <QStringList>

namespace Tool {

// Its output (standard output and error together) when it succeeded; otherwise an error that
// quotes it.
Result<QByteArray>
run(const QString &program, const QStringList &arguments,
    const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());

} // namespace Tool
