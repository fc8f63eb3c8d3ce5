#pragma once

#include "model/DSColumnCondition.h"

class DSIndicatorColumn;

// An indicator column against TRUE or FALSE: a row matches when it is not
// missing and its value bit equals rhs_bit. The operator is not read.
class DSColumnConditionBit : public DSColumnCondition
{
public:
    bool rhs_bit() const { return boolForKey(QStringLiteral("rhs_bit")); }
    void setRhs_bit(bool bit) { setPrimitiveValue(bit, QStringLiteral("rhs_bit")); }

    // The passes over [offset, offset + limit) of a column, without a stored
    // condition; only the rows of the range change, and rows past the
    // column's masks never match.
    static void setMatchingBits(uint8_t *mask, DSIndicatorColumn *lhs, bool rhs, qint64 offset, qint64 limit);
    static void clearUnmatchingBits(uint8_t *mask, DSIndicatorColumn *lhs, bool rhs, qint64 offset, qint64 limit);

    using DSColumnCondition::clearUnmatchingBits;
    using DSColumnCondition::setMatchingBits;
    void setMatchingBits(uint8_t *mask, qint64 offset, qint64 limit) override;
    void clearUnmatchingBits(uint8_t *mask, qint64 offset, qint64 limit) override;
    std::optional<DSExpression> expressionForValue() const override;
};
