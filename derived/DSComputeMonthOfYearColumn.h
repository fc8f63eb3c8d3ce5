#pragma once

#include "derived/DSComputeTimeComponentColumn.h"

// The month of its input, 1 to 12, as categories named by the locale.
class DSComputeMonthOfYearColumn : public DSComputeTimeComponentColumn
{
public:
    // "month(t)".
    QString suggestedName() const override { return functionName("month"); }
    qint64 maximumInputInterval() const override { return 5184000; }
    // Sets treat_as_categories and the locale's labels of the categories.
    void awakeFromInsert() override;

protected:
    qint64 computeValues(const double **out, qint64 offset, qint64 count) override;
};
