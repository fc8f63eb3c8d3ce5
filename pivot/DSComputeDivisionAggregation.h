#pragma once

#include "pivot/DSComputedAggregation.h"

// Dividend (input 0) over divisor (input 1) in IEEE arithmetic: x / 0 is an
// infinity, 0 / 0 NaN; a missing operand reads 0.
class DSComputeDivisionAggregation : public DSComputedAggregation
{
public:
    double doubleValueAtIndex(int64_t g) override { return operand(0, g) / operand(1, g); }
    using DSComputedAggregation::doubleValueAtIndex;
    QString functionName() const override { return QStringLiteral("Aggregate Quotient"); }
    // "a / b" of the operands' names; null when either has none.
    QString columnName() const override;
};
