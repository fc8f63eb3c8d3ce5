#pragma once

#include "derived/DSComputedColumn.h"

// The product of its numeric and indicator inputs (1 or 0 for an
// indicator's rows), row by row, in slot order. Inputs of other kinds (the
// multiply-by menu offers time columns too) are skipped, so they never
// leave a row without a factor; with no numeric or indicator input the
// column has no values. It lives while one input is left.
class DSComputeProductColumn : public DSComputedColumn
{
public:
    // The inputs' names in slot order joined by " × "; a sum or difference
    // in parentheses.
    QString suggestedName() const override;
    bool containsOnlyIntegers() override { return inputsContainOnlyIntegers(); }
    NamePrecedence namePrecedence() const override { return MultiplicativeName; }

protected:
    qint64 computeValues(const double **out, qint64 offset, qint64 count) override;
};
