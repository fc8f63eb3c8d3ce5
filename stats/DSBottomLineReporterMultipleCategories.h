#pragma once

#include "stats/DSBottomLineReporter.h"

// Two or more conformable category columns, not repeated measures: whether
// their distributions of categories differ (chi-square of homogeneity).
// No commands.
class DSBottomLineReporterMultipleCategories : public DSBottomLineReporter
{
public:
    bool hasResultForColumns(const DSColumnSelection *columns, const DSColumnSelection *covariates) override;
    // None when the statistic is NaN.
    Result resultForColumns(const DSColumnSelection *columns, const DSColumnSelection *covariates, const uint8_t *mask,
                            qint64 length) override;
    // "Distribution of values [does not vary|varies] across <columns>".
    std::optional<DSAttributedString> attributedStringForResult(const DSStatisticalTest *result, double significance,
                                                                const DSColumnSelection *columns,
                                                                const DSColumnSelection *covariates) override;
    // "Unequal distributions" or "Equal distributions".
    QString shortStringForResult(const DSStatisticalTest *result, double significance,
                                 const DSColumnSelection *columns) override;

    // "<opening><verb> across <columns>", verb by significance; nothing
    // without a result or for a NaN p-value. Shared with the repeated
    // categories.
    static std::optional<DSAttributedString> acrossColumnsSentence(const DSStatisticalTest *result,
                                                                   double significance,
                                                                   const DSColumnSelection *columns,
                                                                   const char *opening, const char *varies,
                                                                   const char *doesNotVary);
};
