#pragma once

#include "derived/DSComputeTimeComponentColumn.h"

// The day of the month of its input, 1 to 31.
class DSComputeDayOfMonthColumn : public DSComputeTimeComponentColumn
{
public:
    // "day(t)".
    QString suggestedName() const override { return functionName("day"); }
    qint64 maximumInputInterval() const override { return 86400; }

protected:
    qint64 computeValues(const double **out, qint64 offset, qint64 count) override;
};
