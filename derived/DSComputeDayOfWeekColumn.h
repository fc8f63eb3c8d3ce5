#pragma once

#include "derived/DSComputeTimeComponentColumn.h"

// The day of the week of its input, 1 Monday to 7 Sunday, as categories
// named by the locale.
class DSComputeDayOfWeekColumn : public DSComputeTimeComponentColumn
{
public:
    // "dow(t)".
    QString suggestedName() const override { return functionName("dow"); }
    qint64 maximumInputInterval() const override { return 86400; }
    // Sets treat_as_categories and the locale's labels of the categories.
    void awakeFromInsert() override;

protected:
    qint64 computeValues(const double **out, qint64 offset, qint64 count) override;
};
