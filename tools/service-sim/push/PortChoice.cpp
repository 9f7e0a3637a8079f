#include "PortChoice.h"

#include "SimCommandLine.h"

#include <QCommandLineParser>

PortChoice::PortChoice(QString optionName, quint16 defaultPort, QString description)
    : m_optionName(std::move(optionName))
    , m_defaultPort(defaultPort)
    , m_description(std::move(description))
    , m_port(defaultPort)
{}

QCommandLineOption PortChoice::option() const
{
    return {m_optionName,
            QStringLiteral("%1; 0 picks a free one (default: %2, or a free one when %2 is "
                           "taken).")
                .arg(m_description)
                .arg(m_defaultPort),
            QStringLiteral("port"), QString::number(m_defaultPort)};
}

Result<Done> PortChoice::configure(const QCommandLineParser &parser)
{
    m_explicit = parser.isSet(m_optionName);
    auto port =
        SimCommandLine::parsePort(QStringLiteral("--") + m_optionName, parser.value(m_optionName));
    if (!port)
        return port.error();
    m_port = port.value();
    return Done{};
}

Result<quint16> PortChoice::listen(const std::function<Result<quint16>(quint16)> &listenOn) const
{
    auto bound = listenOn(m_port);
    if (bound || m_explicit || m_port == 0)
        return bound;
    qWarning("vqm-service-sim: --%s: port %u is taken (%s); listening on a free port",
             qPrintable(m_optionName), unsigned(m_port), qPrintable(bound.error().description));
    return listenOn(0);
}
