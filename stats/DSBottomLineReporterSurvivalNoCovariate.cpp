#include "stats/DSBottomLineReporterSurvivalNoCovariate.h"

bool DSBottomLineReporterSurvivalNoCovariate::hasResultForColumns(const DSColumnSelection *columns,
                                                                  const DSColumnSelection *covariates)
{
    return countOf(columns) == 1 && columns->allSurvivalTimes() && countOf(covariates) == 0;
}
