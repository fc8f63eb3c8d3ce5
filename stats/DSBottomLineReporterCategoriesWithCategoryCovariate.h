#pragma once

#include "stats/DSBottomLineReporter.h"

// One category or indicator column against one covariate of categories:
// the correlation of two category indicators when one category is picked
// on each side, else the chi-square test of independence from the side
// that has no categories picked. The commands are the chi-square ones of
// the two columns whatever the test.
class DSBottomLineReporterCategoriesWithCategoryCovariate : public DSBottomLineReporter
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

    // The chi-square test of the column against the variable g in the
    // syntax, after recoding (the lines that make g, or nothing), with the
    // weights as the syntax carries them.
    static QString tableCommand(qint64 syntax, const DSColumnSelection *columns, const QString &g,
                                const QString &recoding);
};
