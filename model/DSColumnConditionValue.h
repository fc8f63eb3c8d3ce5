#pragma once

#include "model/DSColumnCondition.h"

class DSNumericColumn;

// A numeric column against a number, by operators 0-5.
class DSColumnConditionValue : public DSColumnCondition
{
public:
    double rhs_value() const { return doubleForKey(QStringLiteral("rhs_value")); }
    void setRhs_value(double value) { setPrimitiveValue(value, QStringLiteral("rhs_value")); }

    // The passes over [offset, offset + limit) of a column, without a stored
    // condition: a NaN rhs or another operator changes nothing, rows the
    // column does not deliver never match.
    static void setMatchingBits(uint8_t *mask, DSNumericColumn *lhs, qint64 op, double rhs, qint64 offset,
                                qint64 limit);
    static void clearUnmatchingBits(uint8_t *mask, DSNumericColumn *lhs, qint64 op, double rhs, qint64 offset,
                                    qint64 limit);

    using DSColumnCondition::clearUnmatchingBits;
    using DSColumnCondition::setMatchingBits;
    void setMatchingBits(uint8_t *mask, qint64 offset, qint64 limit) override;
    void clearUnmatchingBits(uint8_t *mask, qint64 offset, qint64 limit) override;
    std::optional<DSExpression> expressionForValue() const override;
    // rhs_value through the column's number formatter.
    QString rhsStringValue() const override;
};
