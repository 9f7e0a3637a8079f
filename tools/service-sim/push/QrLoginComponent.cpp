#include "QrLoginComponent.h"

#include "SimContext.h"

QrLoginComponent::QrLoginComponent(PushServer &push)
    : m_port(QStringLiteral("qr-port"), QrLoginPage::kDefaultPort,
             QStringLiteral("HTTP port of the QR-login page"))
    , m_push(push)
{}

Result<Done> QrLoginComponent::configure(const QCommandLineParser &parser)
{
    return m_port.configure(parser);
}

Result<quint16> QrLoginComponent::start(SimContext &context)
{
    m_page = std::make_unique<QrLoginPage>(context.accounts, m_push);
    m_endpoint = std::make_unique<HttpEndpoint>();
    m_endpoint->addRoute(QrLoginPage::kPath,
                         [this](const QHttpServerRequest &request, HttpReply reply) {
                             m_page->handle(request, reply);
                         });
    const QHostAddress address(context.bindAddress);
    return m_port.listen([&](quint16 port) { return m_endpoint->listen(address, port); });
}

void QrLoginComponent::stop()
{
    m_endpoint.reset();
    m_page.reset();
}
