#include "platform/store/DSRelationshipDescription.h"

#include <array>
#include <utility>

namespace {
const std::array<std::pair<DSDeleteRule, const char *>, 4> k_rules{{
    {DSDeleteRule::Nullify, "nullify"},
    {DSDeleteRule::Cascade, "cascade"},
    {DSDeleteRule::Deny, "deny"},
    {DSDeleteRule::NoAction, "none"},
}};
}

QString DSRelationshipDescription::deleteRuleName(DSDeleteRule rule)
{
    for (const auto &[r, name] : k_rules)
        if (r == rule)
            return QString::fromLatin1(name);
    return QString();
}

bool DSRelationshipDescription::deleteRuleFromName(const QString &name, DSDeleteRule *rule)
{
    for (const auto &[r, n] : k_rules)
        if (name == QLatin1String(n)) {
            *rule = r;
            return true;
        }
    return false;
}
