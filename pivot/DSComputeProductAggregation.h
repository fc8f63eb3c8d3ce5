#pragma once

#include "pivot/DSComputedAggregation.h"

// The product of the inputs' values: 1 times each input's value.
class DSComputeProductAggregation : public DSComputedAggregation
{
public:
    double doubleValueAtIndex(int64_t g) override;
    using DSComputedAggregation::doubleValueAtIndex;
    QString functionName() const override { return QStringLiteral("Aggregate Product"); }
    // The inputs' names joined by " × ".
    QString columnName() const override { return joinedInputNames(QStringLiteral(" \u00D7 ")); }
};
