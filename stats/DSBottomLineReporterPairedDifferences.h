#pragma once

#include "stats/DSBottomLineReporter.h"

// Two plain numeric columns A and B shown as paired differences: by the
// table's paired_differences_graph_type, the normality of the differences
// (8), their median (3, Wilcoxon's signed ranks) or their mean (anything
// else, the paired t-test as a repeated-measures analysis of variance). The
// differences are M - S: B - A, or A - B when paired_differences_relative_to
// is 1.
class DSBottomLineReporterPairedDifferences : public DSBottomLineReporter
{
public:
    bool hasResultForColumns(const DSColumnSelection *columns, const DSColumnSelection *covariates) override;
    // For a normality check the sorted differences go to the owner first.
    Result resultForColumns(const DSColumnSelection *columns, const DSColumnSelection *covariates, const uint8_t *mask,
                            qint64 length) override;
    // A normality result reads "B minus A ..." whatever the order of
    // subtraction; the others take the base sentence.
    std::optional<DSAttributedString> attributedStringForResult(const DSStatisticalTest *result, double significance,
                                                                const DSColumnSelection *columns,
                                                                const DSColumnSelection *covariates) override;
    QString shortStringForResult(const DSStatisticalTest *result, double significance,
                                 const DSColumnSelection *columns) override;
    QString REstimationCommandForResult(const DSStatisticalTest *result, const DSColumnSelection *columns,
                                        const DSColumnSelection *covariates) override;
    QString SPSSEstimationCommandForResult(const DSStatisticalTest *result, const DSColumnSelection *columns,
                                           const DSColumnSelection *covariates) override;
    QString StataEstimationCommandForResult(const DSStatisticalTest *result, const DSColumnSelection *columns,
                                            const DSColumnSelection *covariates) override;
    QString SASEstimationCommandForResult(const DSStatisticalTest *result, const DSColumnSelection *columns,
                                          const DSColumnSelection *covariates) override;

private:
    // The command in the syntax before weights; nothing for a test without
    // one there.
    QString commandBody(qint64 syntax, const DSStatisticalTest *result, const DSColumnSelection *columns);

public:
    // The normal of the differences, written by a Kolmogorov-Smirnov check
    // (beyond 5,000 differences) and read by its commands; 0 until then.
    double temp_mean = 0, temp_sd = 0;
};
