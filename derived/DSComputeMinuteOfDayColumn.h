#pragma once

#include "derived/DSComputeTimeComponentColumn.h"

// The minute of the day of its input, 60 h + minute, 0 to 1439, plus the
// seconds as a fraction of the minute when include_fraction is set.
class DSComputeMinuteOfDayColumn : public DSComputeTimeComponentColumn
{
public:
    // "dayminute(t)".
    QString suggestedName() const override { return functionName("dayminute"); }
    qint64 maximumInputInterval() const override { return 60; }

protected:
    qint64 computeValues(const double **out, qint64 offset, qint64 count) override;
};
