#include "stats/DSBottomLineReporterCategoriesNoCovariate.h"

bool DSBottomLineReporterCategoriesNoCovariate::hasResultForColumns(const DSColumnSelection *columns,
                                                                    const DSColumnSelection *covariates)
{
    return countOf(columns) == 1 && isCategoryColumn(columns) && countOf(covariates) == 0;
}
