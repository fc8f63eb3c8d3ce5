#include "stats/DSBottomLineReporterSurvivalOneCovariate.h"

bool DSBottomLineReporterSurvivalOneCovariate::hasResultForColumns(const DSColumnSelection *columns,
                                                                   const DSColumnSelection *covariates)
{
    return countOf(columns) == 1 && columns->allSurvivalTimes() && countOf(covariates) == 1;
}
