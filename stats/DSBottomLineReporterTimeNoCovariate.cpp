#include "stats/DSBottomLineReporterTimeNoCovariate.h"

bool DSBottomLineReporterTimeNoCovariate::hasResultForColumns(const DSColumnSelection *columns,
                                                              const DSColumnSelection *covariates)
{
    return countOf(columns) == 1 && columns->allTime() && !columns->anySurvivalTimes() && countOf(covariates) == 0;
}
