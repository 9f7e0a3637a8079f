#pragma once

#include "SimAccount.h"

#include "foundation/Error.h"

#include <QList>
#include <QString>

// The accounts the simulated service knows, from a JSON file and from "entkey:user:password"
// texts. Ids that are not given are generated: one enterprise id per company key, one user id
// per account. Filled before the simulator starts, read on the main thread afterwards.
//
// File format: {"accounts": [{"entkey": "...", "userName": "...", "password": "...",
//   "entId": "...", "userId": "...", "entname": "...", "email": "..."}, ...]} or the bare array;
// entkey, userName and password are required, ids may be texts or numbers.
class AccountStore
{
public:
    Result<Done> loadFile(const QString &path);
    Result<Done> addFromText(const QString &text);
    Result<Done> add(SimAccount account);

    const QList<SimAccount> &accounts() const { return m_accounts; }
    const SimAccount *find(const QString &entkey, const QString &userName) const;
    bool hasEnterprise(const QString &entkey) const;
    // The enterprise id of a company key; null when the key is unknown.
    QString enterpriseId(const QString &entkey) const;
    bool hasUser(const QString &entId, const QString &userId) const;

private:
    bool isEnterpriseIdTaken(const QString &entId) const;
    bool isUserIdTaken(const QString &userId) const;
    QString generatedEnterpriseId() const;
    QString generatedUserId() const;

    QList<SimAccount> m_accounts;
};
