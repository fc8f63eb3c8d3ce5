#pragma once

#include "derived/DSComputedColumn.h"

// (x - mean) / sd of its input (slot 0), the mean and the population
// standard deviation (denominator W) taken over the input's non-missing rows
// of the whole column with the table's frequency weights, whatever range is
// asked. The moments are merged from 24 chunks in chunk order about their
// own means, so data far from zero (10^9 plus noise) keeps its digits. A
// column of equal values gives NaN in every row, and so does one without a
// weighted row.
class DSComputeStandardizedColumn : public DSComputedColumn
{
public:
    // "std(x)".
    QString suggestedName() const override;
    bool containsOnlyIntegers() override { return false; }

protected:
    // No values when the input has none. Rows past the input's values are
    // NaN; missing rows get their standardised value too.
    qint64 computeValues(const double **out, qint64 offset, qint64 count) override;
};
