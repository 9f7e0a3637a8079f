#include "ServiceCalls.h"

#include "AccountStore.h"
#include "JobRegistry.h"
#include "KeyPairIssuer.h"
#include "ServiceAnswer.h"
#include "ServiceErrcode.h"

#include <QRegularExpression>

namespace {

const QString kSubmitTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");
const QString kPdfSuffix = QStringLiteral(".pdf");
const QStringList kDecimalMembers = {"doc_size", "org_job_size", "total_page", "copies"};
const QStringList kFlagValues = {"0", "1"};
const QString kPublicTarget = QStringLiteral("1");
const QString kOwnTarget = QStringLiteral("0");
const QString kReportType = QStringLiteral("1");

bool isDecimal(const QString &text)
{
    static const QRegularExpression digits(QStringLiteral("^\\d+$"));
    return digits.match(text).hasMatch();
}

// Ids go out as JSON numbers when they are numbers, as a PHP service gives them.
QJsonValue idValue(const QString &id)
{
    bool numeric = false;
    const qint64 number = id.toLongLong(&numeric);
    return numeric && isDecimal(id) ? QJsonValue(number) : QJsonValue(id);
}

QJsonObject valueError(const QString &message)
{
    return ServiceAnswer::refusal(ServiceErrcode::ParameterValueErr, message);
}

} // namespace

ServiceCalls::ServiceCalls(AccountStore &accounts, KeyPairIssuer &keys, JobRegistry &jobs,
                           FtpTargets targets, Clock clock)
    : m_accounts(accounts)
    , m_keys(keys)
    , m_jobs(jobs)
    , m_targets(std::move(targets))
    , m_clock(std::move(clock))
{}

QJsonObject ServiceCalls::answer(const QString &funType, const QJsonObject &members,
                                 bool ftpUnreachable)
{
    if (funType == "getKeys")
        return getKeys(members);
    if (funType == "userLogin")
        return userLogin(members);
    if (funType == "addSubmitJobInfo")
        return addSubmitJobInfo(members, ftpUnreachable);
    if (funType == "getFtpInfo")
        return getFtpInfo(members, ftpUnreachable);
    if (funType == "fileFtpUploadInfo")
        return fileFtpUploadInfo(members);
    return valueError(QStringLiteral("unknown funType \"%1\"").arg(funType));
}

QJsonObject ServiceCalls::getKeys(const QJsonObject &members)
{
    const QString entkey = members.value("entkey").toString();
    if (!m_accounts.hasEnterprise(entkey))
        return ServiceAnswer::refusal(ServiceErrcode::NotExistedDomain,
                                      QStringLiteral("unknown company key \"%1\"").arg(entkey));
    const KeyPairIssuer::Pair pair = m_keys.issue(entkey);
    return ServiceAnswer::success({{"date", pair.date}, {"DalvemorKeys", pair.key}});
}

QJsonObject ServiceCalls::userLogin(const QJsonObject &members)
{
    const PairCheck pair = redeemPair(members);
    if (pair.refusal)
        return *pair.refusal;
    const QString entkey = members.value("entkey").toString();
    if (entkey != pair.entkey)
        return ServiceAnswer::refusal(ServiceErrcode::SignatureErr,
                                      QStringLiteral("the request key was issued for another "
                                                     "company key"));
    const SimAccount *account = m_accounts.find(entkey, members.value("userName").toString());
    if (!account)
        return ServiceAnswer::refusal(ServiceErrcode::NotExistedId, QStringLiteral("no such user"));
    if (account->password != members.value("userPwd").toString())
        return ServiceAnswer::refusal(ServiceErrcode::WrongPassword,
                                      QStringLiteral("wrong password"));
    // The spent pair comes back too: a client that kept it instead of fetching a fresh one for its
    // next request is refused.
    return ServiceAnswer::success({{"entname", account->entname},
                                   {"entId", idValue(account->entId)},
                                   {"email", account->email},
                                   {"entkey", account->entkey},
                                   {"userId", idValue(account->userId)},
                                   {"date", members.value("date")},
                                   {"DalvemorKeys", members.value("DalvemorKeys")}});
}

QJsonObject ServiceCalls::addSubmitJobInfo(const QJsonObject &members, bool ftpUnreachable)
{
    const PairCheck pair = redeemPair(members);
    if (pair.refusal)
        return *pair.refusal;
    const QString entId = members.value("entId").toString();
    const QString userId = members.value("user_id").toString();
    if (auto refusal = checkEnterprise(pair.entkey, entId))
        return *refusal;
    if (!m_accounts.hasUser(entId, userId))
        return ServiceAnswer::refusal(
            ServiceErrcode::NotExistedId,
            QStringLiteral("no user %1 in enterprise %2").arg(userId, entId));
    const QString fileName = members.value("org_job_path").toString();
    if (fileName.contains('/'))
        return ServiceAnswer::refusal(ServiceErrcode::FileNameException,
                                      QStringLiteral("org_job_path must be a file name, not a "
                                                     "path"));
    if (!fileName.endsWith(kPdfSuffix, Qt::CaseInsensitive))
        return ServiceAnswer::refusal(ServiceErrcode::FileTypeException,
                                      QStringLiteral("org_job_path must name a PDF"));
    for (const QString &name : kDecimalMembers) {
        if (members.contains(name) && !isDecimal(members.value(name).toString()))
            return valueError(QStringLiteral("member \"%1\" must be a decimal number").arg(name));
    }
    if (!QDateTime::fromString(members.value("submit_time").toString(), kSubmitTimeFormat)
             .isValid())
        return valueError(QStringLiteral("submit_time must read yyyy-MM-dd HH:mm:ss"));

    const JobRegistry::Job &job = m_jobs.add(entId, userId, fileName, m_clock().date());
    QJsonObject reply = serverMembers(m_targets.jobServer, ftpUnreachable);
    reply.insert("jobId", job.jobId);
    reply.insert("saveFileName", job.saveFileName());
    reply.insert("dir", job.dir);
    reply.insert("path", job.dir);
    reply.insert("equip_config_id", FtpTargets::kJobEquipmentId);
    reply.insert("update_file_storage", false);
    return ServiceAnswer::success(reply);
}

QJsonObject ServiceCalls::getFtpInfo(const QJsonObject &members, bool ftpUnreachable)
{
    const PairCheck pair = redeemPair(members);
    if (pair.refusal)
        return *pair.refusal;
    const QString userId = members.value("user_id").toString();
    if (!m_accounts.hasUser(m_accounts.enterpriseId(pair.entkey), userId))
        return ServiceAnswer::refusal(ServiceErrcode::NotExistedId,
                                      QStringLiteral("no user %1 in this enterprise").arg(userId));
    const QString isSystem = members.value("isSystem").toString();
    if (isSystem != kPublicTarget && isSystem != kOwnTarget)
        return valueError(QStringLiteral("isSystem must be \"0\" or \"1\""));
    const bool publicTarget = isSystem == kPublicTarget;
    QJsonObject reply =
        serverMembers(publicTarget ? m_targets.publicServer : m_targets.jobServer, ftpUnreachable);
    reply.insert("equip_config_id",
                 publicTarget ? FtpTargets::kPublicEquipmentId : FtpTargets::kJobEquipmentId);
    return ServiceAnswer::success(reply);
}

QJsonObject ServiceCalls::fileFtpUploadInfo(const QJsonObject &members)
{
    const PairCheck pair = redeemPair(members);
    if (pair.refusal)
        return *pair.refusal;
    const QString entId = members.value("entId").toString();
    if (auto refusal = checkEnterprise(pair.entkey, entId))
        return *refusal;
    const QString jobIdText = members.value("jobId").toString();
    JobRegistry::Job *job = isDecimal(jobIdText) ? m_jobs.find(jobIdText.toLongLong()) : nullptr;
    if (!job || job->entId != entId)
        return ServiceAnswer::refusal(
            ServiceErrcode::NotExistedJob,
            QStringLiteral("no job %1 in enterprise %2").arg(jobIdText, entId));
    const QString state = members.value("state").toString();
    if (!kFlagValues.contains(state))
        return valueError(QStringLiteral("state must be \"0\" or \"1\""));
    if (members.value("type").toString() != kReportType)
        return valueError(QStringLiteral("type must be \"1\""));
    const bool hasEquipment = members.contains("equip_config_id");
    const bool hasStorageFlag = members.contains("update_file_storage");
    if (hasEquipment && !hasStorageFlag)
        return ServiceAnswer::refusal(ServiceErrcode::LostParameter,
                                      QStringLiteral("update_file_storage is missing"));
    if (!hasEquipment && hasStorageFlag)
        return ServiceAnswer::refusal(ServiceErrcode::ParameterFormatErr,
                                      QStringLiteral("update_file_storage without "
                                                     "equip_config_id"));
    if (hasEquipment) {
        const QString equipment = members.value("equip_config_id").toString();
        if (equipment != FtpTargets::kJobEquipmentId && equipment != FtpTargets::kPublicEquipmentId)
            return valueError(QStringLiteral("unknown equip_config_id \"%1\"").arg(equipment));
        if (members.value("update_file_storage").toString() != state)
            return valueError(QStringLiteral("update_file_storage must equal state"));
    }
    if (members.value("saveFileName").toString() != job->saveFileName())
        return valueError(QStringLiteral("saveFileName must be %1").arg(job->saveFileName()));
    job->report = members;
    return ServiceAnswer::success();
}

ServiceCalls::PairCheck ServiceCalls::redeemPair(const QJsonObject &members)
{
    const KeyPairIssuer::Redemption redemption =
        m_keys.redeem(members.value("date").toString(), members.value("DalvemorKeys").toString());
    switch (redemption.outcome) {
    case KeyPairIssuer::Outcome::Accepted:
        return {redemption.entkey, std::nullopt};
    case KeyPairIssuer::Outcome::Reused:
        return {{},
                ServiceAnswer::refusal(ServiceErrcode::SignatureErr,
                                       QStringLiteral("the request key was used before"))};
    case KeyPairIssuer::Outcome::Unknown:
        break;
    }
    return {{},
            ServiceAnswer::refusal(ServiceErrcode::SignatureErr,
                                   QStringLiteral("the request key was not issued here"))};
}

std::optional<QJsonObject> ServiceCalls::checkEnterprise(const QString &entkey,
                                                         const QString &entId) const
{
    if (m_accounts.enterpriseId(entkey) == entId)
        return std::nullopt;
    return ServiceAnswer::refusal(ServiceErrcode::NotExistedId,
                                  QStringLiteral("enterprise %1 does not hold the company key of "
                                                 "the request key")
                                      .arg(entId));
}

QJsonObject ServiceCalls::serverMembers(const FtpTargets::Server &server, bool unreachable) const
{
    const quint16 port = unreachable ? m_targets.unreachablePort : server.port;
    return {{"ip", unreachable ? QString::fromLatin1(FtpTargets::kLoopbackHost) : server.host},
            {"port", QString::number(port)},
            {"user", server.user},
            {"pwd", server.password}};
}
