#pragma once

#include "PortChoice.h"
#include "PushControlApi.h"
#include "PushServer.h"
#include "SimComponent.h"

#include <memory>

// The push server as a part of the simulator ("push" in the listening line, --push-port), with
// its control routes on the API port (PushControlApi). Main thread only.
class PushComponent : public SimComponent
{
public:
    PushComponent();

    QString name() const override { return QStringLiteral("push"); }
    QList<QCommandLineOption> options() const override { return {m_port.option()}; }
    Result<Done> configure(const QCommandLineParser &parser) override;
    Result<quint16> start(SimContext &context) override;
    void stop() override;

    PushServer &server() { return m_server; }

private:
    PortChoice m_port;
    PushServer m_server;
    std::unique_ptr<PushControlApi> m_control;
};
