#include "stats/DSBottomLineReporterSurvivalNoCovariate.h"

#include "model/DSNumericColumn.h"
#include "stats/DSStatisticalTestOneSampleLogRank.h"

bool DSBottomLineReporterSurvivalNoCovariate::hasResultForColumns(const DSColumnSelection *columns,
                                                                  const DSColumnSelection *covariates)
{
    return countOf(columns) == 1 && columns->allSurvivalTimes() && countOf(covariates) == 0;
}

DSBottomLineReporter::Result DSBottomLineReporterSurvivalNoCovariate::resultForColumns(const DSColumnSelection *columns,
                                                                                       const DSColumnSelection *,
                                                                                       const uint8_t *mask,
                                                                                       qint64 length)
{
    DSColumn *column = columns->columnAtIndex(0);
    const ds_survival_s *steps = nullptr;
    const double *t = nullptr;
    qint64 n = 0;
    if (column->getSurvivalFunction(&steps, &t, &n, mask, length) == 0 || n < 2 || t[0] == t[n - 1])
        return nullptr;
    // The hazard's slope between the first and last event times; a numeric
    // column whose first event comes after 0 is measured from 0, so its
    // first step counts too.
    double rate = (steps[n - 1].cumulative_hazard - steps[0].cumulative_hazard) / (t[n - 1] - t[0]);
    double observed = 0, expected = 0;
    if (ds_object_cast<DSNumericColumn>(column) && t[0] > 0) {
        rate = steps[n - 1].cumulative_hazard / t[n - 1];
        observed = double(steps[0].events);
        expected = t[0] * double(steps[0].at_risk) * rate;
    }
    for (qint64 i = 1; i < n; ++i) {
        observed += double(steps[i].events);
        expected += (t[i] - t[i - 1]) * double(steps[i].at_risk) * rate;
    }
    return std::make_shared<DSStatisticalTestOneSampleLogRank>((expected - observed) * (expected - observed) / expected,
                                                               int64_t(1));
}

std::optional<DSAttributedString> DSBottomLineReporterSurvivalNoCovariate::attributedStringForResult(
    const DSStatisticalTest *result, double significance, const DSColumnSelection *columns, const DSColumnSelection *)
{
    if (!result || countOf(columns) == 0)
        return std::nullopt;
    DSAttributedString sentence;
    sentence.append(columns->columnAtIndex(0)->shortName(), italicAttributes());
    sentence.append(result->explanationSuffix(result->isSignificantAtLevel(significance)), standardAttributes());
    return sentence;
}
