#include "stats/DSBottomLineReporterCategoriesWithCategoryCovariate.h"

#include "model/DSColumn.h"
#include "model/DSColumnCategory.h"
#include "stats/DSStatisticalTestChiSquare.h"
#include "stats/DSStatisticalTestCorrelation.h"

bool DSBottomLineReporterCategoriesWithCategoryCovariate::hasResultForColumns(const DSColumnSelection *columns,
                                                                              const DSColumnSelection *covariates)
{
    return countOf(columns) == 1 && isCategoryColumn(columns) && countOf(covariates) == 1
           && (covariates->allCategories() || columns->allIndicator());
}

DSBottomLineReporter::Result DSBottomLineReporterCategoriesWithCategoryCovariate::resultForColumns(
    const DSColumnSelection *columns, const DSColumnSelection *covariates, const uint8_t *mask, qint64 length)
{
    DSColumn *column = columns->columnAtIndex(0), *covariate = covariates->columnAtIndex(0);
    const DSColumnSelection::Categories picked = columns->categoriesAtIndex(0);
    const DSColumnSelection::Categories pickedCovariate = covariates->categoriesAtIndex(0);
    if (picked.size() == 1 && pickedCovariate.size() == 1) {
        const ds_corr_s r = picked.first()->calculateCategoryCorrelation(pickedCovariate.first().get(), mask, length);
        return std::make_shared<DSStatisticalTestCorrelation>(r.correlation, r.count);
    }
    qint64 df = 0;
    if (picked.isEmpty()) {
        const double chiSquare = column->calculateIndependence(covariate, pickedCovariate, &df, mask, length);
        return std::make_shared<DSStatisticalTestChiSquare>(chiSquare, df);
    }
    if (pickedCovariate.isEmpty()) {
        const double chiSquare = covariate->calculateIndependence(column, picked, &df, mask, length);
        return std::make_shared<DSStatisticalTestChiSquare>(chiSquare, df);
    }
    return std::make_shared<DSStatisticalTestChiSquare>(NAN, 0);
}

QString DSBottomLineReporterCategoriesWithCategoryCovariate::tableCommand(qint64 syntax,
                                                                          const DSColumnSelection *columns,
                                                                          const QString &g, const QString &recoding)
{
    const QString x = columns->columnAtIndex(0)->name();
    switch (syntax) {
    case syntaxR:
        // The recoded variable lives in df, where a bare name does not reach.
        return recoding + fill(recoding.isEmpty() ? "chisq.test(table(%1, %2))" : "with(df, chisq.test(table(%1, %2)))",
                               {x, g});
    case syntaxSPSS:
        return spssCommand(columns, recoding + fill("crosstabs /tables=%1 by %2 /statistics=chisq.", {x, g}));
    case syntaxStata:
        return stataCommand(columns, recoding + fill("tabulate %1 %2, chi2", {x, g}));
    case syntaxSAS:
        return sasCommand(columns, recoding + fill("proc freq;\n  tables %1*%2 / chisq;\n", {x, g}), true);
    default:
        return QString();
    }
}

QString DSBottomLineReporterCategoriesWithCategoryCovariate::REstimationCommandForResult(
    const DSStatisticalTest *, const DSColumnSelection *columns, const DSColumnSelection *covariates)
{
    return rCommand(columns, tableCommand(syntaxR, columns, covariates->columnAtIndex(0)->name(), QString()));
}

QString DSBottomLineReporterCategoriesWithCategoryCovariate::SPSSEstimationCommandForResult(
    const DSStatisticalTest *, const DSColumnSelection *columns, const DSColumnSelection *covariates)
{
    return tableCommand(syntaxSPSS, columns, covariates->columnAtIndex(0)->name(), QString());
}

QString DSBottomLineReporterCategoriesWithCategoryCovariate::StataEstimationCommandForResult(
    const DSStatisticalTest *, const DSColumnSelection *columns, const DSColumnSelection *covariates)
{
    return tableCommand(syntaxStata, columns, covariates->columnAtIndex(0)->name(), QString());
}

QString DSBottomLineReporterCategoriesWithCategoryCovariate::SASEstimationCommandForResult(
    const DSStatisticalTest *, const DSColumnSelection *columns, const DSColumnSelection *covariates)
{
    return tableCommand(syntaxSAS, columns, covariates->columnAtIndex(0)->name(), QString());
}
