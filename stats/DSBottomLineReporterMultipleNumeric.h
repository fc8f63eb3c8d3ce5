#pragma once

#include "stats/DSBottomLineReporter.h"

// Two or more plain numeric columns compared side by side as independent
// samples, by the test of the covariate pane's picture (2 means, 3 box
// plots, otherwise distributions). No SPSS or SAS command.
class DSBottomLineReporterMultipleNumeric : public DSBottomLineReporter
{
public:
    bool hasResultForColumns(const DSColumnSelection *columns, const DSColumnSelection *covariates) override;
    Result resultForColumns(const DSColumnSelection *columns, const DSColumnSelection *covariates, const uint8_t *mask,
                            qint64 length) override;
    QString REstimationCommandForResult(const DSStatisticalTest *result, const DSColumnSelection *columns,
                                        const DSColumnSelection *covariates) override;
    QString StataEstimationCommandForResult(const DSStatisticalTest *result, const DSColumnSelection *columns,
                                            const DSColumnSelection *covariates) override;
};
