#pragma once

#include "derived/DSComputedColumn.h"

// The sum of its inputs (slots 0, 1, 2 ... in the order they were added),
// row by row: numeric inputs add their values, indicator inputs 1 for true
// and 0 for false, inputs of other kinds nothing. It lives while one input
// is left.
class DSComputeSumColumn : public DSComputedColumn
{
public:
    // The inputs' names in slot order joined by " + ".
    QString suggestedName() const override;
    bool containsOnlyIntegers() override { return inputsContainOnlyIntegers(); }
    NamePrecedence namePrecedence() const override { return AdditiveName; }

protected:
    // No values without inputs, or when an input cannot deliver the range.
    qint64 computeValues(const double **out, qint64 offset, qint64 count) override;
};
