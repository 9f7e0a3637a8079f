#include "ServiceSimulator.h"

#include "ControlApi.h"
#include "RestRoutes.h"
#include "ServiceApi.h"
#include "ServiceCalls.h"

#include <QDir>
#include <QFileInfo>
#include <QHostAddress>
#include <QUuid>

namespace {

const QString kErrorDomain = QStringLiteral("vqm-service-sim");
const QString kJobFtpUser = QStringLiteral("vqmjob");
const QString kPublicFtpUser = QStringLiteral("vqmpublic");
constexpr int kPasswordLength = 12;

Error simError(const QString &description)
{
    return Error{kErrorDomain, 1, description};
}

// A fresh password per run, so that a client can only log in with what the answers gave it.
QString newPassword()
{
    return QUuid::createUuid().toString(QUuid::Id128).left(kPasswordLength);
}

// Answers name the address the servers listen on, or the loopback one when they listen on all.
QString answerHost(const QHostAddress &bound)
{
    const bool any = bound == QHostAddress::Any || bound == QHostAddress::AnyIPv4 ||
                     bound == QHostAddress::AnyIPv6;
    return any ? QString::fromLatin1(FtpTargets::kLoopbackHost) : bound.toString();
}

} // namespace

ServiceSimulator::ServiceSimulator(SimOptions options, QObject *parent)
    : QObject(parent)
    , m_options(std::move(options))
    , m_requests(m_options.recordFile)
    , m_context{m_options.bindAddress, m_accounts, m_keys, m_jobs, m_requests, m_faults, m_api}
{
    m_faults.setRules(m_options.faults);
}

ServiceSimulator::~ServiceSimulator()
{
    stop();
}

void ServiceSimulator::addComponent(std::unique_ptr<SimComponent> component)
{
    m_components.push_back({std::move(component), 0});
}

Result<Done> ServiceSimulator::start()
{
    QHostAddress bindAddress;
    if (!bindAddress.setAddress(m_options.bindAddress))
        return simError(
            QStringLiteral("--bind needs an IP address, got \"%1\"").arg(m_options.bindAddress));
    if (auto loaded = loadAccounts(); !loaded)
        return loaded;
    if (auto opened = m_requests.open(); !opened)
        return opened;
    if (auto reserved = m_closedPort.open(); !reserved)
        return reserved;
    if (auto ftp = startFtp(); !ftp)
        return ftp;

    m_ftpTargets.unreachablePort = m_closedPort.port();
    m_calls = std::make_unique<ServiceCalls>(m_accounts, m_keys, m_jobs, m_ftpTargets);
    m_serviceApi =
        std::make_unique<ServiceApi>(*m_calls, m_faults, m_requests, m_options.contentType);
    m_controlApi = std::make_unique<ControlApi>(m_faults, m_requests, *m_serviceApi);
    m_api.addRoute(ServiceApi::kPath, [this](const QHttpServerRequest &request, HttpReply reply) {
        m_serviceApi->handle(request, reply);
    });
    m_api.setFallback([this](const QHttpServerRequest &request, HttpReply reply) {
        m_serviceApi->handleUnknownPath(request, reply);
    });
    m_controlApi->addRoutes(m_api);
    RestRoutes::addTo(m_api, m_accounts, m_ftpTargets, m_requests);
    if (auto listening = m_api.listen(bindAddress, m_options.httpPort); !listening)
        return listening.error();

    for (RunningComponent &part : m_components) {
        auto port = part.component->start(m_context);
        if (!port)
            return simError(
                QStringLiteral("%1: %2").arg(part.component->name(), port.error().description));
        part.port = port.value();
        part.running = true;
    }
    return Done{};
}

void ServiceSimulator::stop()
{
    for (auto part = m_components.rbegin(); part != m_components.rend(); ++part) {
        if (part->running)
            part->component->stop();
        part->running = false;
    }
    removeMadeFtpRoot(m_ftpProcess.stop());
}

void ServiceSimulator::removeMadeFtpRoot(bool ftpServerEnded)
{
    if (!m_madeFtpRoot)
        return;
    // A server still running could be writing there.
    if (!ftpServerEnded) {
        qWarning("vqm-service-sim: the FTP server did not end; its root %s is kept",
                 qPrintable(m_madeFtpRoot->path()));
        m_madeFtpRoot->setAutoRemove(false);
    }
    m_madeFtpRoot.reset();
}

QString ServiceSimulator::listeningLine() const
{
    QString line =
        QStringLiteral("vqm-service-sim listening http=%1 ftp=%2").arg(httpPort()).arg(ftpPort());
    for (const RunningComponent &part : m_components)
        line += QStringLiteral(" %1=%2").arg(part.component->name()).arg(part.port);
    if (!m_ftpRoot.isEmpty())
        line += QStringLiteral(" ftp-root=%1").arg(m_ftpRoot);
    return line;
}

Result<Done> ServiceSimulator::loadAccounts()
{
    if (!m_options.accountsFile.isEmpty()) {
        if (auto loaded = m_accounts.loadFile(m_options.accountsFile); !loaded)
            return loaded;
    }
    for (const QString &text : m_options.accountArguments) {
        if (auto added = m_accounts.addFromText(text); !added)
            return added;
    }
    if (m_accounts.accounts().isEmpty())
        qWarning("vqm-service-sim: no accounts given (--accounts, --account): every login fails");
    return Done{};
}

Result<Done> ServiceSimulator::startFtp()
{
    if (m_options.externalFtp) {
        m_ftpTargets.jobServer = *m_options.externalFtp;
        m_ftpTargets.publicServer = *m_options.externalFtp;
        return Done{};
    }
    m_ftpRoot = m_options.ftpRoot;
    if (m_ftpRoot.isEmpty()) {
        m_madeFtpRoot.emplace(QDir::temp().filePath(QStringLiteral("vqm-service-sim-ftp-XXXXXX")));
        if (!m_madeFtpRoot->isValid()) {
            const QString why = m_madeFtpRoot->errorString();
            m_madeFtpRoot.reset();
            return simError(QStringLiteral("cannot make a temporary FTP root: %1").arg(why));
        }
        m_ftpRoot = m_madeFtpRoot->path();
    }
    m_ftpRoot = QFileInfo(m_ftpRoot).absoluteFilePath();
    if (!QDir().mkpath(m_ftpRoot))
        return simError(QStringLiteral("cannot make the FTP root %1").arg(m_ftpRoot));
    if (!QFileInfo::exists(m_options.ftpScript))
        return simError(QStringLiteral("the FTP server script %1 is missing (--ftp-script)")
                            .arg(m_options.ftpScript));

    const QString host = answerHost(QHostAddress(m_options.bindAddress));
    m_ftpTargets.jobServer = {host, 0, kJobFtpUser, newPassword()};
    m_ftpTargets.publicServer = {host, 0, kPublicFtpUser, newPassword()};
    FtpServerProcess::Config config;
    config.python = m_options.python;
    config.script = m_options.ftpScript;
    config.host = m_options.bindAddress;
    config.port = m_options.ftpPort;
    config.root = m_ftpRoot;
    config.logins = {{m_ftpTargets.jobServer.user, m_ftpTargets.jobServer.password},
                     {m_ftpTargets.publicServer.user, m_ftpTargets.publicServer.password}};
    auto port = m_ftpProcess.start(config);
    if (!port)
        return port.error();
    m_ftpTargets.jobServer.port = port.value();
    m_ftpTargets.publicServer.port = port.value();
    return Done{};
}
