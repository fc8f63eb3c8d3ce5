#include "stats/DSBottomLineReporterCategoriesWithTimeCovariate.h"

bool DSBottomLineReporterCategoriesWithTimeCovariate::hasResultForColumns(const DSColumnSelection *columns,
                                                                          const DSColumnSelection *covariates)
{
    return countOf(columns) == 1 && isCategoryColumn(columns) && countOf(covariates) == 1 && covariates->allTime()
           && !covariates->anyCategories();
}
