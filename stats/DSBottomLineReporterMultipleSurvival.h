#pragma once

#include "stats/DSBottomLineReporter.h"

// Two or more survival-time columns, all numeric or all time: the k-sample
// log-rank test across the columns, each under its own censoring. The base
// sentence and label; no commands.
class DSBottomLineReporterMultipleSurvival : public DSBottomLineReporter
{
public:
    bool hasResultForColumns(const DSColumnSelection *columns, const DSColumnSelection *covariates) override;
    // None when the statistic cannot be computed.
    Result resultForColumns(const DSColumnSelection *columns, const DSColumnSelection *covariates,
                            const uint8_t *mask, qint64 length) override;
};
