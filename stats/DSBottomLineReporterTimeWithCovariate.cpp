#include "stats/DSBottomLineReporterTimeWithCovariate.h"

bool DSBottomLineReporterTimeWithCovariate::hasResultForColumns(const DSColumnSelection *columns,
                                                                const DSColumnSelection *covariates)
{
    return countOf(columns) == 1 && columns->allTime() && !columns->anySurvivalTimes() && countOf(covariates) == 1;
}
