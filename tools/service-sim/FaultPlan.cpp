#include "FaultPlan.h"

#include <algorithm>

FaultPlan::Effect FaultPlan::take(const QString &funType)
{
    Effect effect;
    for (FaultRule &rule : m_rules) {
        if (!rule.funType.isEmpty() && rule.funType != funType)
            continue;
        if (rule.errcode)
            effect.errcode = rule.errcode;
        if (rule.contentType)
            effect.contentType = rule.contentType;
        if (rule.body)
            effect.body = rule.body;
        effect.delayMs = std::max(effect.delayMs, rule.delayMs);
        effect.ftpUnreachable = effect.ftpUnreachable || rule.ftpUnreachable;
        if (rule.times != FaultRule::kUntilReplaced)
            --rule.times;
    }
    m_rules.removeIf([](const FaultRule &rule) { return rule.times == 0; });
    return effect;
}
