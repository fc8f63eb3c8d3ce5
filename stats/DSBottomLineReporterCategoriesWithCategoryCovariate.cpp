#include "stats/DSBottomLineReporterCategoriesWithCategoryCovariate.h"

bool DSBottomLineReporterCategoriesWithCategoryCovariate::hasResultForColumns(const DSColumnSelection *columns,
                                                                              const DSColumnSelection *covariates)
{
    return countOf(columns) == 1 && isCategoryColumn(columns) && countOf(covariates) == 1
           && (covariates->allCategories() || columns->allIndicator());
}
