#include "KeyPairIssuer.h"

#include <QUuid>

namespace {
const QString kDateFormat = QStringLiteral("yyyyMMddHHmmss");
}

KeyPairIssuer::KeyPairIssuer(Clock clock)
    : m_clock(std::move(clock))
{}

KeyPairIssuer::Pair KeyPairIssuer::issue(const QString &entkey)
{
    Pair pair;
    pair.date = m_clock().toString(kDateFormat);
    pair.key = QString::fromLatin1(QUuid::createUuid().toRfc4122().toHex().toUpper());
    m_issued.insert(pair.key, Issued{pair.date, entkey});
    return pair;
}

KeyPairIssuer::Redemption KeyPairIssuer::redeem(const QString &date, const QString &key)
{
    const auto found = m_issued.find(key);
    if (found == m_issued.end() || found->date != date)
        return {Outcome::Unknown, {}};
    if (found->spent)
        return {Outcome::Reused, found->entkey};
    found->spent = true;
    return {Outcome::Accepted, found->entkey};
}
