#pragma once

#include "stats/DSBottomLineReporter.h"

// One category or indicator column alone: its counts against equal counts
// (the chi-square of its summary), or, with a single category, the words
// that it takes only one value.
class DSBottomLineReporterCategoriesNoCovariate : public DSBottomLineReporter
{
public:
    bool hasResultForColumns(const DSColumnSelection *columns, const DSColumnSelection *covariates) override;
    // The column's temp_summary (computed under the mask when the pane left
    // none): a chi-square of df = non-missing categories - 1; none below two.
    Result resultForColumns(const DSColumnSelection *columns, const DSColumnSelection *covariates, const uint8_t *mask,
                            qint64 length) override;
    // "<name> is [not] evenly distributed across <k> values", or
    // "<name> takes only 1 value" without a result.
    std::optional<DSAttributedString> attributedStringForResult(const DSStatisticalTest *result, double significance,
                                                                const DSColumnSelection *columns,
                                                                const DSColumnSelection *covariates) override;
    // "Unequal proportions (<k> values)" or "Equal ..."; "Only 1 value"
    // without a result.
    QString shortStringForResult(const DSStatisticalTest *result, double significance,
                                 const DSColumnSelection *columns) override;
    QString REstimationCommandForResult(const DSStatisticalTest *result, const DSColumnSelection *columns,
                                        const DSColumnSelection *covariates) override;
    QString SPSSEstimationCommandForResult(const DSStatisticalTest *result, const DSColumnSelection *columns,
                                           const DSColumnSelection *covariates) override;
    QString SASEstimationCommandForResult(const DSStatisticalTest *result, const DSColumnSelection *columns,
                                          const DSColumnSelection *covariates) override;
};
