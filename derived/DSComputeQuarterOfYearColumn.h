#pragma once

#include "derived/DSComputeTimeComponentColumn.h"

// The quarter of the year of its input, 1 to 4, as categories named by
// the locale ("1st quarter").
class DSComputeQuarterOfYearColumn : public DSComputeTimeComponentColumn
{
public:
    // "quarter(t)".
    QString suggestedName() const override { return functionName("quarter"); }
    qint64 maximumInputInterval() const override { return 15552000; }
    // Sets treat_as_categories and the locale's labels of the categories.
    void awakeFromInsert() override;

protected:
    qint64 computeValues(const double **out, qint64 offset, qint64 count) override;
};
