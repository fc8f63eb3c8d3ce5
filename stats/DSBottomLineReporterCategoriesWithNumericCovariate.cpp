#include "stats/DSBottomLineReporterCategoriesWithNumericCovariate.h"

#include "model/DSColumn.h"
#include "stats/DSBottomLineReporterCategoriesWithCategoryCovariate.h"
#include "stats/DSStatisticalTestChiSquare.h"
#include "stats/DSStatisticalTestCorrelation.h"

bool DSBottomLineReporterCategoriesWithNumericCovariate::hasResultForColumns(const DSColumnSelection *columns,
                                                                             const DSColumnSelection *covariates)
{
    return countOf(columns) == 1 && isCategoryColumn(columns) && countOf(covariates) == 1 && covariates->allNumeric()
           && !covariates->anyCategories();
}

DSBottomLineReporter::Result DSBottomLineReporterCategoriesWithNumericCovariate::resultForColumns(
    const DSColumnSelection *columns, const DSColumnSelection *covariates, const uint8_t *mask, qint64 length)
{
    DSColumn *covariate = covariates->columnAtIndex(0);
    const DSColumnSelection::Categories picked = columns->categoriesAtIndex(0);
    if (picked.size() == 1) {
        const ds_corr_s r = covariate->calculateCategoryCorrelation(picked.first().get(), mask, length);
        return std::make_shared<DSStatisticalTestCorrelation>(r.correlation, r.count);
    }
    qint64 df = 0;
    const double chiSquare = columns->columnAtIndex(0)->calculateIndependence(covariate, {}, &df, mask, length);
    return std::make_shared<DSStatisticalTestChiSquare>(chiSquare, df);
}

QString DSBottomLineReporterCategoriesWithNumericCovariate::command(qint64 syntax, const DSColumnSelection *columns,
                                                                   const DSColumnSelection *covariates)
{
    QString recoding;
    const QString g = groupingVariable(covariates->columnAtIndex(0), syntax, &recoding);
    return DSBottomLineReporterCategoriesWithCategoryCovariate::tableCommand(syntax, columns, g, recoding);
}

QString DSBottomLineReporterCategoriesWithNumericCovariate::REstimationCommandForResult(
    const DSStatisticalTest *, const DSColumnSelection *columns, const DSColumnSelection *covariates)
{
    return rCommand(columns, command(syntaxR, columns, covariates));
}

QString DSBottomLineReporterCategoriesWithNumericCovariate::SPSSEstimationCommandForResult(
    const DSStatisticalTest *, const DSColumnSelection *columns, const DSColumnSelection *covariates)
{
    return command(syntaxSPSS, columns, covariates);
}

QString DSBottomLineReporterCategoriesWithNumericCovariate::StataEstimationCommandForResult(
    const DSStatisticalTest *, const DSColumnSelection *columns, const DSColumnSelection *covariates)
{
    return command(syntaxStata, columns, covariates);
}

QString DSBottomLineReporterCategoriesWithNumericCovariate::SASEstimationCommandForResult(
    const DSStatisticalTest *, const DSColumnSelection *columns, const DSColumnSelection *covariates)
{
    return command(syntaxSAS, columns, covariates);
}
