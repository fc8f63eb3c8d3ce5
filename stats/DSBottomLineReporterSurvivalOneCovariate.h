#pragma once

#include "stats/DSBottomLineReporter.h"

// One survival-time column against one covariate: the k-sample log-rank
// test across the covariate's groups of its selected categories. The base
// sentence and label; the four packages' commands.
class DSBottomLineReporterSurvivalOneCovariate : public DSBottomLineReporter
{
public:
    bool hasResultForColumns(const DSColumnSelection *columns, const DSColumnSelection *covariates) override;
    // None when the statistic cannot be computed.
    Result resultForColumns(const DSColumnSelection *columns, const DSColumnSelection *covariates,
                            const uint8_t *mask, qint64 length) override;

    // Whatever the test, the covariate's recoding in the package's syntax
    // first. R states the column's censoring as the event indicator, so
    // its survdiff reproduces our statistic.
    QString REstimationCommandForResult(const DSStatisticalTest *result, const DSColumnSelection *columns,
                                        const DSColumnSelection *covariates) override;
    QString SPSSEstimationCommandForResult(const DSStatisticalTest *result, const DSColumnSelection *columns,
                                           const DSColumnSelection *covariates) override;
    QString StataEstimationCommandForResult(const DSStatisticalTest *result, const DSColumnSelection *columns,
                                            const DSColumnSelection *covariates) override;
    QString SASEstimationCommandForResult(const DSStatisticalTest *result, const DSColumnSelection *columns,
                                          const DSColumnSelection *covariates) override;

private:
    // The covariate's recoding and the test's lines in the syntax (R's
    // with the library they need), before the weights.
    QString commandBody(qint64 syntax, const DSColumnSelection *columns, const DSColumnSelection *covariates);
};
