#pragma once

#include "stats/DSBottomLineReporter.h"

// One category or indicator column against a plain numeric covariate: the
// point-biserial correlation of the covariate with one picked category,
// else the chi-square test of the column against the covariate's groups
// (its covariate partition). Each command recodes the covariate into those
// groups first.
class DSBottomLineReporterCategoriesWithNumericCovariate : public DSBottomLineReporter
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
    QString command(qint64 syntax, const DSColumnSelection *columns, const DSColumnSelection *covariates);
};
