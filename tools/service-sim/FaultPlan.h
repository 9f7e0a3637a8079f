#pragma once

#include "FaultRule.h"

#include <QList>

// The faults in force, set from the command line at start and replaced through the control
// endpoint at run time. Main thread only.
class FaultPlan
{
public:
    // What the faults matching one request do to its answer.
    struct Effect
    {
        std::optional<int> errcode;
        std::optional<QByteArray> contentType;
        std::optional<QByteArray> body;
        int delayMs = 0;
        bool ftpUnreachable = false;
    };

    void setRules(QList<FaultRule> rules) { m_rules = std::move(rules); }
    void addRule(FaultRule rule) { m_rules.append(std::move(rule)); }
    const QList<FaultRule> &rules() const { return m_rules; }

    // Merges the rules for a call (later rules win, the longest delay counts) and uses up one of
    // each matching rule's times.
    Effect take(const QString &funType);

private:
    QList<FaultRule> m_rules;
};
