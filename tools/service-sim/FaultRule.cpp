#include "FaultRule.h"

#include <QSet>

namespace {

const QString kErrorDomain = QStringLiteral("vqm-service-sim.faults");

Error faultError(const QString &description)
{
    return Error{kErrorDomain, 1, description};
}

const QSet<QString> kMembers = {"funType", "errcode",        "contentType", "body",
                                "delayMs", "ftpUnreachable", "times"};

std::optional<int> wholeNumber(const QJsonValue &value)
{
    if (!value.isDouble() || value.toDouble() != double(value.toInteger()))
        return std::nullopt;
    return int(value.toInteger());
}

} // namespace

Result<FaultRule> FaultRule::fromJson(const QJsonObject &object)
{
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!kMembers.contains(it.key()))
            return faultError(QStringLiteral("unknown fault member \"%1\"").arg(it.key()));
    }
    FaultRule rule;
    if (object.contains("funType")) {
        if (!object.value("funType").isString())
            return faultError(QStringLiteral("fault funType must be a text"));
        rule.funType = object.value("funType").toString();
    }
    if (object.contains("errcode")) {
        rule.errcode = wholeNumber(object.value("errcode"));
        if (!rule.errcode)
            return faultError(QStringLiteral("fault errcode must be a whole number"));
    }
    if (object.contains("contentType")) {
        if (!object.value("contentType").isString())
            return faultError(QStringLiteral("fault contentType must be a text"));
        rule.contentType = object.value("contentType").toString().toUtf8();
    }
    if (object.contains("body")) {
        if (!object.value("body").isString())
            return faultError(QStringLiteral("fault body must be a text"));
        rule.body = object.value("body").toString().toUtf8();
    }
    if (object.contains("delayMs")) {
        const auto delay = wholeNumber(object.value("delayMs"));
        if (!delay || *delay < 0)
            return faultError(QStringLiteral("fault delayMs must be a whole number >= 0"));
        rule.delayMs = *delay;
    }
    if (object.contains("ftpUnreachable")) {
        if (!object.value("ftpUnreachable").isBool())
            return faultError(QStringLiteral("fault ftpUnreachable must be true or false"));
        rule.ftpUnreachable = object.value("ftpUnreachable").toBool();
    }
    if (object.contains("times")) {
        const auto times = wholeNumber(object.value("times"));
        if (!times || (*times < 1 && *times != kUntilReplaced))
            return faultError(QStringLiteral("fault times must be at least 1 (or -1)"));
        rule.times = *times;
    }
    return rule;
}

Result<FaultRule> FaultRule::fromCommandLine(const QString &text)
{
    static const QString bodyKey = QStringLiteral("body=");
    QString rest = text;
    QJsonObject object;
    const qsizetype bodyAt =
        rest.startsWith(bodyKey) ? 0 : rest.indexOf(QStringLiteral(",") + bodyKey);
    if (bodyAt >= 0) {
        const qsizetype valueAt = bodyAt + (bodyAt == 0 ? 0 : 1) + bodyKey.size();
        object.insert("body", rest.mid(valueAt));
        rest.truncate(bodyAt);
    }
    for (const QString &part : rest.split(',', Qt::SkipEmptyParts)) {
        const QString key = part.section('=', 0, 0);
        const QString value = part.section('=', 1);
        bool numeric = false;
        const int number = value.toInt(&numeric);
        if (key == "ftp-unreachable" && !part.contains('=')) {
            object.insert("ftpUnreachable", true);
        } else if (key == "call") {
            object.insert("funType", value);
        } else if (key == "content-type") {
            object.insert("contentType", value);
        } else if (key == "errcode" || key == "delay" || key == "times") {
            if (!numeric)
                return faultError(
                    QStringLiteral("fault %1 needs a number, got \"%2\"").arg(key, value));
            object.insert(key == "delay" ? QStringLiteral("delayMs") : key, number);
        } else {
            return faultError(
                QStringLiteral("unknown fault setting \"%1\" in \"%2\"").arg(part, text));
        }
    }
    return fromJson(object);
}

QJsonObject FaultRule::toJson() const
{
    QJsonObject object;
    if (!funType.isEmpty())
        object.insert("funType", funType);
    if (errcode)
        object.insert("errcode", *errcode);
    if (contentType)
        object.insert("contentType", QString::fromUtf8(*contentType));
    if (body)
        object.insert("body", QString::fromUtf8(*body));
    if (delayMs > 0)
        object.insert("delayMs", delayMs);
    if (ftpUnreachable)
        object.insert("ftpUnreachable", true);
    object.insert("times", times);
    return object;
}
