#pragma once

#include "stats/DSBottomLineReporter.h"

// One time column (not survival times) against one covariate: whether the
// column's periods of the summary's unit are independent of the
// covariate's selected categories. The base sentence (its subject the
// period and the column) and label; no commands.
class DSBottomLineReporterTimeWithCovariate : public DSBottomLineReporter
{
public:
    bool hasResultForColumns(const DSColumnSelection *columns, const DSColumnSelection *covariates) override;
    // A chi-square test, its statistic NaN when it cannot be computed.
    Result resultForColumns(const DSColumnSelection *columns, const DSColumnSelection *covariates,
                            const uint8_t *mask, qint64 length) override;
};
