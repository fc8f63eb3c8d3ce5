#pragma once

#include "derived/DSComputeTimeComponentColumn.h"

// The hour of the week of its input, 0 (Monday 00:00 to 00:59) to 167.
class DSComputeHourOfWeekColumn : public DSComputeTimeComponentColumn
{
public:
    // "weekhour(t)".
    QString suggestedName() const override { return functionName("weekhour"); }
    qint64 maximumInputInterval() const override { return 3600; }

protected:
    qint64 computeValues(const double **out, qint64 offset, qint64 count) override;
};
