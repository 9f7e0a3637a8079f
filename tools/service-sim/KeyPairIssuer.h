#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>

#include <functional>

// Hands out the request-key pairs ("date", "DalvemorKeys") of "getKeys" and redeems each one once.
// A pair remembers the company key it was issued for, so that later checks can tie a request to
// that enterprise. Main thread only.
class KeyPairIssuer
{
public:
    struct Pair
    {
        QString date;
        QString key;
    };

    enum class Outcome { Accepted, Unknown, Reused };

    struct Redemption
    {
        Outcome outcome = Outcome::Unknown;
        QString entkey; // the company key the pair was issued for (when it was issued)
    };

    using Clock = std::function<QDateTime()>;

    explicit KeyPairIssuer(Clock clock = &QDateTime::currentDateTime);

    Pair issue(const QString &entkey);
    // Accepts a pair issued here and not redeemed before, and spends it.
    Redemption redeem(const QString &date, const QString &key);

private:
    struct Issued
    {
        QString date;
        QString entkey;
        bool spent = false;
    };

    Clock m_clock;
    QHash<QString, Issued> m_issued; // by key
};
