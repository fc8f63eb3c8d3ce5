#pragma once

#include "derived/DSComputeTimeComponentColumn.h"

// The minute of the hour of its input, 0 to 59, plus the seconds as a
// fraction of the minute when include_fraction is set. Any precision finer
// than an hour keeps its minute (a quarter-hour value has one); an hour
// does not.
class DSComputeMinuteOfHourColumn : public DSComputeTimeComponentColumn
{
public:
    // "minute(t)".
    QString suggestedName() const override { return functionName("minute"); }
    qint64 maximumInputInterval() const override { return 3600; }

protected:
    bool lacksPrecision(double interval) const override { return interval >= 3600; }
    qint64 computeValues(const double **out, qint64 offset, qint64 count) override;
};
