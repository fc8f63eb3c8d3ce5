#include "stats/DSBottomLineReporterTimeWithCovariate.h"

#include "model/DSColumnSummary.h"
#include "model/DSTimeColumn.h"
#include "stats/DSBottomLineReporterTimeNoCovariate.h"
#include "stats/DSStatisticalTestChiSquare.h"

#include <cmath>

bool DSBottomLineReporterTimeWithCovariate::hasResultForColumns(const DSColumnSelection *columns,
                                                                const DSColumnSelection *covariates)
{
    return countOf(columns) == 1 && columns->allTime() && !columns->anySurvivalTimes() && countOf(covariates) == 1;
}

DSBottomLineReporter::Result DSBottomLineReporterTimeWithCovariate::resultForColumns(
    const DSColumnSelection *columns, const DSColumnSelection *covariates, const uint8_t *mask, qint64 length)
{
    auto *column = ds_object_cast<DSTimeColumn>(columns->columnAtIndex(0));
    if (!column)
        return nullptr;
    const auto summary = DSBottomLineReporterTimeNoCovariate::summaryOf(column, NAN);
    qint64 df = 0;
    const double chisq = column->calculateTimeIndependence(covariates->columnAtIndex(0),
                                                           covariates->categoriesAtIndex(0), &df,
                                                           summary ? summary->time_unit() : -1, mask, length);
    return std::make_shared<DSStatisticalTestChiSquare>(chisq, int64_t(df));
}
