#pragma once

#include "pivot/DSComputedAggregation.h"

// The sum of the inputs' values: 0 plus each input's value.
class DSComputeSumAggregation : public DSComputedAggregation
{
public:
    double doubleValueAtIndex(int64_t g) override;
    using DSComputedAggregation::doubleValueAtIndex;
    QString functionName() const override { return QStringLiteral("Aggregate Sum"); }
    // The inputs' names joined by " + ".
    QString columnName() const override { return joinedInputNames(QStringLiteral(" + ")); }
};
