#include "stats/DSBottomLineReporterCategoriesWithTimeCovariate.h"

#include "model/DSColumn.h"
#include "stats/DSStatisticalTestChiSquare.h"

bool DSBottomLineReporterCategoriesWithTimeCovariate::hasResultForColumns(const DSColumnSelection *columns,
                                                                          const DSColumnSelection *covariates)
{
    return countOf(columns) == 1 && isCategoryColumn(columns) && countOf(covariates) == 1 && covariates->allTime()
           && !covariates->anyCategories();
}

DSBottomLineReporter::Result DSBottomLineReporterCategoriesWithTimeCovariate::resultForColumns(
    const DSColumnSelection *columns, const DSColumnSelection *covariates, const uint8_t *mask, qint64 length)
{
    DSColumn *column = columns->columnAtIndex(0), *covariate = covariates->columnAtIndex(0);
    const DSColumnSelection::Categories picked = columns->categoriesAtIndex(0);
    qint64 df = 0;
    const double chiSquare = picked.isEmpty() ? column->calculateIndependence(covariate, {}, &df, mask, length)
                                              : covariate->calculateIndependence(column, picked, &df, mask, length);
    return std::make_shared<DSStatisticalTestChiSquare>(chiSquare, df);
}
