#pragma once

#include "stats/DSBottomLineReporter.h"

// Two or more plain numeric columns measured on the same rows: compared by
// means (covariate_graph_type 2, the repeated-measures analysis of
// variance), else by signed ranks (two columns) or Friedman's ranks.
class DSBottomLineReporterRepeatedMeasures : public DSBottomLineReporter
{
public:
    bool hasResultForColumns(const DSColumnSelection *columns, const DSColumnSelection *covariates) override;
    Result resultForColumns(const DSColumnSelection *columns, const DSColumnSelection *covariates, const uint8_t *mask,
                            qint64 length) override;
    QString REstimationCommandForResult(const DSStatisticalTest *result, const DSColumnSelection *columns,
                                        const DSColumnSelection *covariates) override;
    QString SPSSEstimationCommandForResult(const DSStatisticalTest *result, const DSColumnSelection *columns,
                                           const DSColumnSelection *covariates) override;
    QString StataEstimationCommandForResult(const DSStatisticalTest *result, const DSColumnSelection *columns,
                                            const DSColumnSelection *covariates) override;
    QString SASEstimationCommandForResult(const DSStatisticalTest *result, const DSColumnSelection *columns,
                                          const DSColumnSelection *covariates) override;
};
