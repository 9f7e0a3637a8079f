#pragma once

#include "foundation/Error.h"

#include <QCommandLineOption>
#include <QString>

#include <functional>

class QCommandLineParser;

// The port option of a simulator component: "--NAME-port", a well-known default, 0 for a free
// port. A port given on the command line must be had; the default is only taken when it is free,
// so that several simulators (parallel test runs) can start side by side: when it is taken the
// component listens on a free port instead, says so on standard error, and the listening line
// names the port it got.
class PortChoice
{
public:
    PortChoice(QString optionName, quint16 defaultPort, QString description);

    QCommandLineOption option() const;
    Result<Done> configure(const QCommandLineParser &parser);

    // Listens through the function (port in, bound port or error out) as chosen above.
    Result<quint16> listen(const std::function<Result<quint16>(quint16)> &listenOn) const;

    quint16 port() const { return m_port; }
    bool isExplicit() const { return m_explicit; }

private:
    QString m_optionName;
    quint16 m_defaultPort;
    QString m_description;
    quint16 m_port;
    bool m_explicit = false;
};
