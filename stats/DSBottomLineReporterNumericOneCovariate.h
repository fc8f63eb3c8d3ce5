#pragma once

#include "stats/DSBottomLineReporter.h"

// One plain numeric column against one covariate: the groups compared by
// the test of the covariate pane's picture (covariate_graph_type: 0
// histograms, 1 dot plots, 2 means, 3 box plots), or a correlation with a
// numeric or time covariate plotted as a scatterplot.
class DSBottomLineReporterNumericOneCovariate : public DSBottomLineReporter
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

private:
    // The command in the syntax (a recoding first where the covariate needs
    // one), before weights; nothing for a test without one there.
    QString commandBody(qint64 syntax, const DSStatisticalTest *result, const DSColumnSelection *columns,
                        const DSColumnSelection *covariates);
};
