#pragma once

#include "AccountStore.h"
#include "ClosedPort.h"
#include "FaultPlan.h"
#include "FtpServerProcess.h"
#include "HttpEndpoint.h"
#include "JobRegistry.h"
#include "KeyPairIssuer.h"
#include "RequestLog.h"
#include "SimComponent.h"
#include "SimContext.h"
#include "SimOptions.h"

#include <QObject>

#include <QTemporaryDir>

#include <memory>
#include <optional>
#include <vector>

class ControlApi;
class ServiceApi;
class ServiceCalls;

// The stand-in for the printing service. It owns the service's state (accounts, key pairs, jobs),
// the request record, the faults, the FTP server (a child process, or an external one named by
// the options), the HTTP endpoint with the API and control routes, and any further components.
// start() brings everything up in that order; stop() (also run on destruction) ends components
// and the FTP child, then removes the FTP root if the simulator made it (never one it was given).
// Main thread only.
class ServiceSimulator : public QObject
{
    Q_OBJECT

public:
    explicit ServiceSimulator(SimOptions options, QObject *parent = nullptr);
    ~ServiceSimulator() override;

    // Before start().
    void addComponent(std::unique_ptr<SimComponent> component);

    Result<Done> start();
    void stop();

    quint16 httpPort() const { return m_api.port(); }
    quint16 ftpPort() const { return m_ftpTargets.jobServer.port; }
    QString ftpRoot() const { return m_ftpRoot; }
    const FtpTargets &ftpTargets() const { return m_ftpTargets; }
    qint64 ftpProcessId() const { return m_ftpProcess.processId(); }
    // "vqm-service-sim listening http=PORT ftp=PORT [component=PORT ...] [ftp-root=DIR]"
    QString listeningLine() const;

    SimContext &context() { return m_context; }

private:
    Result<Done> loadAccounts();
    Result<Done> startFtp();
    void removeMadeFtpRoot(bool ftpServerEnded);

    SimOptions m_options;
    AccountStore m_accounts;
    KeyPairIssuer m_keys;
    JobRegistry m_jobs;
    RequestLog m_requests;
    FaultPlan m_faults;
    ClosedPort m_closedPort;
    FtpServerProcess m_ftpProcess;
    FtpTargets m_ftpTargets;
    QString m_ftpRoot;
    // The temporary FTP root made when none was given.
    std::optional<QTemporaryDir> m_madeFtpRoot;
    HttpEndpoint m_api;
    std::unique_ptr<ServiceCalls> m_calls;
    std::unique_ptr<ServiceApi> m_serviceApi;
    std::unique_ptr<ControlApi> m_controlApi;
    SimContext m_context;
    struct RunningComponent
    {
        std::unique_ptr<SimComponent> component;
        quint16 port = 0;
        bool running = false;
    };
    std::vector<RunningComponent> m_components;
};
