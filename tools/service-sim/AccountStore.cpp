#include "AccountStore.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace {

const QString kErrorDomain = QStringLiteral("vqm-service-sim.accounts");
constexpr int kFirstEnterpriseId = 101;
constexpr int kFirstUserId = 1001;
constexpr int kAccountParts = 3;

Error accountError(const QString &description)
{
    return Error{kErrorDomain, 1, description};
}

// Ids may come as JSON texts or numbers; both become decimal text.
QString idText(const QJsonValue &value)
{
    if (value.isDouble())
        return QString::number(value.toInteger());
    return value.toString();
}

int nextAfter(const QList<SimAccount> &accounts, QString SimAccount::*id, int first)
{
    int next = first;
    for (const SimAccount &account : accounts) {
        bool numeric = false;
        const int value = (account.*id).toInt(&numeric);
        if (numeric)
            next = std::max(next, value + 1);
    }
    return next;
}

} // namespace

Result<Done> AccountStore::loadFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return accountError(
            QStringLiteral("cannot read account file %1: %2").arg(path, file.errorString()));
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return accountError(
            QStringLiteral("account file %1 is not JSON: %2").arg(path, parseError.errorString()));
    const QJsonArray list =
        document.isArray() ? document.array() : document.object().value("accounts").toArray();
    if (list.isEmpty())
        return accountError(QStringLiteral("account file %1 lists no accounts").arg(path));
    for (const QJsonValue &entry : list) {
        const QJsonObject object = entry.toObject();
        SimAccount account;
        account.entkey = object.value("entkey").toString();
        account.userName = object.value("userName").toString();
        account.password = object.value("password").toString();
        account.entId = idText(object.value("entId"));
        account.userId = idText(object.value("userId"));
        account.entname = object.value("entname").toString();
        account.email = object.value("email").toString();
        if (auto added = add(account); !added)
            return accountError(QStringLiteral("%1: %2").arg(path, added.error().description));
    }
    return Done{};
}

Result<Done> AccountStore::addFromText(const QString &text)
{
    // The password is everything after the second colon, so that it may hold colons itself.
    const QStringList parts = text.split(':');
    if (parts.size() < kAccountParts)
        return accountError(QStringLiteral("account \"%1\" is not entkey:user:password").arg(text));
    SimAccount account;
    account.entkey = parts[0];
    account.userName = parts[1];
    account.password = parts.mid(2).join(':');
    return add(account);
}

Result<Done> AccountStore::add(SimAccount account)
{
    if (account.entkey.isEmpty() || account.userName.isEmpty() || account.password.isEmpty())
        return accountError(QStringLiteral("an account needs a company key, a user name and a "
                                           "password"));
    if (find(account.entkey, account.userName))
        return accountError(QStringLiteral("account %1 of %2 is given twice")
                                .arg(account.userName, account.entkey));
    const QString knownEnterprise = enterpriseId(account.entkey);
    if (account.entId.isEmpty())
        account.entId = knownEnterprise.isNull() ? generatedEnterpriseId() : knownEnterprise;
    else if (!knownEnterprise.isNull() && knownEnterprise != account.entId)
        return accountError(QStringLiteral("company key %1 has two enterprise ids (%2, %3)")
                                .arg(account.entkey, knownEnterprise, account.entId));
    else if (knownEnterprise.isNull() && isEnterpriseIdTaken(account.entId))
        return accountError(
            QStringLiteral("enterprise id %1 belongs to another company key").arg(account.entId));
    if (account.userId.isEmpty())
        account.userId = generatedUserId();
    else if (isUserIdTaken(account.userId))
        return accountError(QStringLiteral("user id %1 is given twice").arg(account.userId));
    if (account.entname.isEmpty())
        account.entname = QStringLiteral("Enterprise %1").arg(account.entkey);
    if (account.email.isEmpty())
        account.email = QStringLiteral("%1@%2.example").arg(account.userName, account.entkey);
    m_accounts.append(account);
    return Done{};
}

const SimAccount *AccountStore::find(const QString &entkey, const QString &userName) const
{
    const auto found = std::find_if(m_accounts.begin(), m_accounts.end(), [&](const auto &a) {
        return a.entkey == entkey && a.userName == userName;
    });
    return found == m_accounts.end() ? nullptr : &*found;
}

bool AccountStore::hasEnterprise(const QString &entkey) const
{
    return !enterpriseId(entkey).isNull();
}

QString AccountStore::enterpriseId(const QString &entkey) const
{
    for (const SimAccount &account : m_accounts) {
        if (account.entkey == entkey)
            return account.entId;
    }
    return {};
}

bool AccountStore::hasUser(const QString &entId, const QString &userId) const
{
    return std::any_of(m_accounts.begin(), m_accounts.end(),
                       [&](const SimAccount &a) { return a.entId == entId && a.userId == userId; });
}

bool AccountStore::isEnterpriseIdTaken(const QString &entId) const
{
    return std::any_of(m_accounts.begin(), m_accounts.end(),
                       [&](const SimAccount &a) { return a.entId == entId; });
}

bool AccountStore::isUserIdTaken(const QString &userId) const
{
    return std::any_of(m_accounts.begin(), m_accounts.end(),
                       [&](const SimAccount &a) { return a.userId == userId; });
}

QString AccountStore::generatedEnterpriseId() const
{
    return QString::number(nextAfter(m_accounts, &SimAccount::entId, kFirstEnterpriseId));
}

QString AccountStore::generatedUserId() const
{
    return QString::number(nextAfter(m_accounts, &SimAccount::userId, kFirstUserId));
}
