#pragma once

#include "pivot/DSAggregation.h"

// An aggregation that combines, row by row, the values of other
// aggregations of its table (its inputs). It holds no accumulated data: its
// recomputation only resolves each input's category in its source's current
// summary, and its values are read from the inputs whenever asked. The kinds
// (sum, difference, product, quotient) give the formula and the name.
class DSComputedAggregation : public DSAggregation
{
public:
    // Resolves the category index of every input; the arguments are unused.
    // The pivot recomputes column aggregations first, so the sources'
    // summaries are those of the same recomputation.
    void recomputeValuesByIndex(const int32_t *record2valueIndex, int64_t indexCount, int64_t resultCount,
                                const int32_t *weights, const uint8_t *mask, int64_t length) override;
    double doubleValueAtIndex(int64_t) override { return NAN; }
    using DSAggregation::doubleValueAtIndex;
    QString name() const override { return columnName(); }
    bool canServeAsInput() override { return true; }
    // One numeric column of the plain values, named name(), in this
    // aggregation's number format.
    QList<DSColumn *> insertDataTablesForPivot(DSPivot *pivot, DSManagedObjectContext *context) override;

protected:
    // The names of the sorted inputs joined by separator; null when an
    // input has no name.
    QString joinedInputNames(const QString &separator) const;
    // The value of input i for group g; 0 when there is no such input.
    double operand(int64_t i, int64_t g) const;
};
