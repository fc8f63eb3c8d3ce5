#pragma once

#include "derived/DSComputeTimeComponentColumn.h"

// The ordinal day of the year of its input, 1 to 366.
class DSComputeDayOfYearColumn : public DSComputeTimeComponentColumn
{
public:
    // "doy(t)".
    QString suggestedName() const override { return functionName("doy"); }
    qint64 maximumInputInterval() const override { return 86400; }

protected:
    qint64 computeValues(const double **out, qint64 offset, qint64 count) override;
};
