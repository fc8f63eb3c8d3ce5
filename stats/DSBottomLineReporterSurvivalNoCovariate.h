#pragma once

#include "stats/DSBottomLineReporter.h"

// One survival-time column alone: a one-sample log-rank test of its events
// against a constant hazard rate. No commands.
class DSBottomLineReporterSurvivalNoCovariate : public DSBottomLineReporter
{
public:
    bool hasResultForColumns(const DSColumnSelection *columns, const DSColumnSelection *covariates) override;
    // None with fewer than two event times or when the first and last
    // coincide.
    Result resultForColumns(const DSColumnSelection *columns, const DSColumnSelection *covariates,
                            const uint8_t *mask, qint64 length) override;
    // The column's name and whether it departs from a constant hazard rate.
    std::optional<DSAttributedString> attributedStringForResult(const DSStatisticalTest *result, double significance,
                                                                const DSColumnSelection *columns,
                                                                const DSColumnSelection *covariates) override;
};
