#pragma once

#include "HttpEndpoint.h"
#include "PortChoice.h"
#include "QrLoginPage.h"
#include "SimComponent.h"

#include <memory>

class PushServer;

// The QR-login page as a part of the simulator ("qr" in the listening line, --qr-port), on an
// HTTP listener of its own: the client's QR code names the service's address without a port.
// Its confirmations go out through the given push server, which must outlive it.
// Main thread only.
class QrLoginComponent : public SimComponent
{
public:
    explicit QrLoginComponent(PushServer &push);

    QString name() const override { return QStringLiteral("qr"); }
    QList<QCommandLineOption> options() const override { return {m_port.option()}; }
    Result<Done> configure(const QCommandLineParser &parser) override;
    Result<quint16> start(SimContext &context) override;
    void stop() override;

private:
    PortChoice m_port;
    PushServer &m_push;
    std::unique_ptr<HttpEndpoint> m_endpoint;
    std::unique_ptr<QrLoginPage> m_page;
};
