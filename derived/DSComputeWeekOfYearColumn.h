#pragma once

#include "derived/DSComputeTimeComponentColumn.h"

// The ISO 8601 week number of its input, 1 to 53 (weeks begin on Monday;
// week 1 holds the year's first Thursday).
class DSComputeWeekOfYearColumn : public DSComputeTimeComponentColumn
{
public:
    // "week(t)".
    QString suggestedName() const override { return functionName("week"); }
    qint64 maximumInputInterval() const override { return 604800; }

protected:
    qint64 computeValues(const double **out, qint64 offset, qint64 count) override;
};
