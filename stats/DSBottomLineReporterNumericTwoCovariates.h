#pragma once

#include "stats/DSBottomLineReporter.h"

// One plain numeric column against two covariates: whether they interact,
// by the two-way analysis of variance.
class DSBottomLineReporterNumericTwoCovariates : public DSBottomLineReporter
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
    // The recodings of both covariates in the syntax, appended to *text,
    // and the two names the command groups by.
    QPair<QString, QString> groupingVariables(const DSColumnSelection *covariates, qint64 syntax, QString *text);
};
