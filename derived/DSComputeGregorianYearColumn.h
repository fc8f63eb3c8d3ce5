#pragma once

#include "derived/DSComputeTimeComponentColumn.h"

// The calendar year of its input. A whole leap year still has one, so the
// bound is 366 days.
class DSComputeGregorianYearColumn : public DSComputeTimeComponentColumn
{
public:
    // "year(t)".
    QString suggestedName() const override { return functionName("year"); }
    qint64 maximumInputInterval() const override { return 31622400; }
    // The inherited dependencies, then years shown without a grouping
    // separator.
    void makeDependencies() override;

protected:
    qint64 computeValues(const double **out, qint64 offset, qint64 count) override;
};
