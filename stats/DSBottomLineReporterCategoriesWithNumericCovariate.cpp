#include "stats/DSBottomLineReporterCategoriesWithNumericCovariate.h"

bool DSBottomLineReporterCategoriesWithNumericCovariate::hasResultForColumns(const DSColumnSelection *columns,
                                                                             const DSColumnSelection *covariates)
{
    return countOf(columns) == 1 && isCategoryColumn(columns) && countOf(covariates) == 1 && covariates->allNumeric()
           && !covariates->anyCategories();
}
