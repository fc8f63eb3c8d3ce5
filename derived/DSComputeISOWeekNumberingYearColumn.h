#pragma once

#include "derived/DSComputeTimeComponentColumn.h"

// The ISO 8601 week-numbering year of its input: the year of the week's
// Thursday, so 2021-01-01 gives 2020.
class DSComputeISOWeekNumberingYearColumn : public DSComputeTimeComponentColumn
{
public:
    // "isoyear(t)".
    QString suggestedName() const override { return functionName("isoyear"); }
    qint64 maximumInputInterval() const override { return 604800; }
    // The inherited dependencies, then years shown without a grouping
    // separator.
    void makeDependencies() override;

protected:
    qint64 computeValues(const double **out, qint64 offset, qint64 count) override;
};
