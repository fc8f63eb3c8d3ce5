#pragma once

#include "pivot/DSComputedAggregation.h"

// Minuend (input 0) minus subtrahend (input 1); a missing operand reads 0.
class DSComputeDifferenceAggregation : public DSComputedAggregation
{
public:
    double doubleValueAtIndex(int64_t g) override { return operand(0, g) - operand(1, g); }
    using DSComputedAggregation::doubleValueAtIndex;
    QString functionName() const override { return QStringLiteral("Aggregate Difference"); }
    // "a − b" (U+2212) of the operands' names; null when either has none.
    QString columnName() const override;
};
