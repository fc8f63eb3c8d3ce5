#pragma once

#include "model/DSColumnCondition.h"

class DSTextColumn;

// A text column (or any column that is not numeric, time or indicator)
// against a text, by operators 4, 5, 8, 9 and 99, bytewise with ASCII
// letters folded; a missing row never matches.
class DSColumnConditionString : public DSColumnCondition
{
public:
    // Null when none is stored.
    QString rhs_string() const { return primitiveValueForKey(QStringLiteral("rhs_string")).toString(); }
    void setRhs_string(const QString &text) { setPrimitiveValue(text, QStringLiteral("rhs_string")); }

    // The passes over [offset, offset + limit) of a column (a column that is
    // not a text column delivers no texts), without a stored condition; a
    // null rhs or another operator changes nothing.
    static void setMatchingBits(uint8_t *mask, DSColumn *lhs, qint64 op, const char *rhs, qint64 offset,
                                qint64 limit);
    static void clearUnmatchingBits(uint8_t *mask, DSColumn *lhs, qint64 op, const char *rhs, qint64 offset,
                                    qint64 limit);

    using DSColumnCondition::clearUnmatchingBits;
    using DSColumnCondition::setMatchingBits;
    void setMatchingBits(uint8_t *mask, qint64 offset, qint64 limit) override;
    void clearUnmatchingBits(uint8_t *mask, qint64 offset, qint64 limit) override;
    std::optional<DSExpression> expressionForValue() const override;
    // rhs_string in double quotes.
    QString rhsStringValue() const override;
};
