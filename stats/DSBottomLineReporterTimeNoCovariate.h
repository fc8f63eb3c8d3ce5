#pragma once

#include "stats/DSBottomLineReporter.h"

class DSColumnSummary;

// One time column (not survival times) alone: whether its counts per period
// of the summary's unit follow the periods' lengths. No commands.
class DSBottomLineReporterTimeNoCovariate : public DSBottomLineReporter
{
public:
    bool hasResultForColumns(const DSColumnSelection *columns, const DSColumnSelection *covariates) override;
    // The chi-square of the summary's periods; none with fewer than two.
    Result resultForColumns(const DSColumnSelection *columns, const DSColumnSelection *covariates,
                            const uint8_t *mask, qint64 length) override;
    // The column's name and whether it is evenly spread across the periods,
    // or that it is concentrated in one period when there is no result.
    std::optional<DSAttributedString> attributedStringForResult(const DSStatisticalTest *result, double significance,
                                                                const DSColumnSelection *columns,
                                                                const DSColumnSelection *covariates) override;
    // Equal or unequal proportions across the periods; "Only 1 period"
    // without a result.
    QString shortStringForResult(const DSStatisticalTest *result, double significance,
                                 const DSColumnSelection *columns) override;

    // The column's summary as the pane left it (made under no mask when it
    // left none).
    static std::shared_ptr<DSColumnSummary> summaryOf(DSColumn *column, double significance);
};
