#include "PushComponent.h"

#include "SimContext.h"

PushComponent::PushComponent()
    : m_port(QStringLiteral("push-port"), PushServer::kDefaultPort,
             QStringLiteral("Port of the push server"))
{}

Result<Done> PushComponent::configure(const QCommandLineParser &parser)
{
    return m_port.configure(parser);
}

Result<quint16> PushComponent::start(SimContext &context)
{
    const QHostAddress address(context.bindAddress);
    auto port = m_port.listen([&](quint16 port) { return m_server.listen(address, port); });
    if (!port)
        return port;
    m_control = std::make_unique<PushControlApi>(m_server);
    m_control->addRoutes(context.apiEndpoint);
    return port;
}

void PushComponent::stop()
{
    m_server.close();
}
