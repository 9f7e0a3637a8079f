#pragma once

#include "FtpTargets.h"

#include <QDateTime>
#include <QJsonObject>
#include <QString>

#include <functional>
#include <optional>

class AccountStore;
class JobRegistry;
class KeyPairIssuer;

// The service's business side of the five calls, for requests whose members already fit their
// call's shape: key pairs, logins, job registration with its FTP target, the public FTP target and
// the upload report. Every answer is a JSON object with "errcode". Main thread only.
class ServiceCalls
{
public:
    using Clock = std::function<QDateTime()>;

    ServiceCalls(AccountStore &accounts, KeyPairIssuer &keys, JobRegistry &jobs, FtpTargets targets,
                 Clock clock = &QDateTime::currentDateTime);

    // ftpUnreachable: FTP targets in this answer name the closed port.
    QJsonObject answer(const QString &funType, const QJsonObject &members, bool ftpUnreachable);

private:
    struct PairCheck
    {
        QString entkey;
        std::optional<QJsonObject> refusal;
    };

    QJsonObject getKeys(const QJsonObject &members);
    QJsonObject userLogin(const QJsonObject &members);
    QJsonObject addSubmitJobInfo(const QJsonObject &members, bool ftpUnreachable);
    QJsonObject getFtpInfo(const QJsonObject &members, bool ftpUnreachable);
    QJsonObject fileFtpUploadInfo(const QJsonObject &members);

    PairCheck redeemPair(const QJsonObject &members);
    // The refusal when the request's enterprise id is not that of the request key's company.
    std::optional<QJsonObject> checkEnterprise(const QString &entkey, const QString &entId) const;
    QJsonObject serverMembers(const FtpTargets::Server &server, bool unreachable) const;

    AccountStore &m_accounts;
    KeyPairIssuer &m_keys;
    JobRegistry &m_jobs;
    FtpTargets m_targets;
    Clock m_clock;
};
