#pragma once

#include "stats/DSBottomLineReporter.h"

// Category columns measured on the same rows: two conformable ones
// (Stuart-Maxwell, McNemar for two categories), or three or more binary ones
// (Cochran's Q). Commands for SPSS and SAS.
class DSBottomLineReporterRepeatedCategories : public DSBottomLineReporter
{
public:
    bool hasResultForColumns(const DSColumnSelection *columns, const DSColumnSelection *covariates) override;
    // A marginal-homogeneity test named after its case; none when the
    // statistic is NaN.
    Result resultForColumns(const DSColumnSelection *columns, const DSColumnSelection *covariates, const uint8_t *mask,
                            qint64 length) override;
    // "The marginal proportions [do not vary|vary] across <columns>".
    std::optional<DSAttributedString> attributedStringForResult(const DSStatisticalTest *result, double significance,
                                                                const DSColumnSelection *columns,
                                                                const DSColumnSelection *covariates) override;
    QString SPSSEstimationCommandForResult(const DSStatisticalTest *result, const DSColumnSelection *columns,
                                           const DSColumnSelection *covariates) override;
    QString SASEstimationCommandForResult(const DSStatisticalTest *result, const DSColumnSelection *columns,
                                          const DSColumnSelection *covariates) override;
};
