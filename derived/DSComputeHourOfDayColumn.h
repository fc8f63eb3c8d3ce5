#pragma once

#include "derived/DSComputeTimeComponentColumn.h"

// The hour of the day of its input, 0 to 23, plus the minutes and seconds
// as a fraction of the hour when include_fraction is set.
class DSComputeHourOfDayColumn : public DSComputeTimeComponentColumn
{
public:
    // "hour(t)".
    QString suggestedName() const override { return functionName("hour"); }
    qint64 maximumInputInterval() const override { return 3600; }

protected:
    qint64 computeValues(const double **out, qint64 offset, qint64 count) override;
};
