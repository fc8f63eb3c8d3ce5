#pragma once

#include "stats/DSBottomLineReporter.h"

// One plain numeric column alone: is it normally (or uniformly) distributed,
// as its continuous_distribution says (1 normal, 0 uniform)? The reference
// distribution's numbers are cached for the commands.
class DSBottomLineReporterNumericNoCovariate : public DSBottomLineReporter
{
public:
    bool hasResultForColumns(const DSColumnSelection *columns, const DSColumnSelection *covariates) override;
    // The sorted values go to the owner first, whatever their number; fewer
    // than 4 give no result.
    Result resultForColumns(const DSColumnSelection *columns, const DSColumnSelection *covariates, const uint8_t *mask,
                            qint64 length) override;
    // "<column> departs from a normal distribution" and the like; nothing
    // without a result.
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

    // Written by the result operation (the normal pair for Kolmogorov-Smirnov
    // beyond 5,000 values, the uniform pair for a uniform check), read by
    // the commands; 0 until then.
    double temp_mean = 0, temp_sd = 0, temp_min = 0, temp_max = 0;
};
