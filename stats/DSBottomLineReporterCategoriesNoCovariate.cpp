#include "stats/DSBottomLineReporterCategoriesNoCovariate.h"

#include "model/DSColumn.h"
#include "model/DSColumnSummary.h"
#include "stats/DSStatisticalTestChiSquare.h"

bool DSBottomLineReporterCategoriesNoCovariate::hasResultForColumns(const DSColumnSelection *columns,
                                                                    const DSColumnSelection *covariates)
{
    return countOf(columns) == 1 && isCategoryColumn(columns) && countOf(covariates) == 0;
}

DSBottomLineReporter::Result DSBottomLineReporterCategoriesNoCovariate::resultForColumns(
    const DSColumnSelection *columns, const DSColumnSelection *, const uint8_t *mask, qint64 length)
{
    DSColumn *column = columns->columnAtIndex(0);
    std::shared_ptr<DSColumnSummary> summary = column->temp_summary();
    if (!summary)
        summary = column->summaryForMask(mask, length, NAN);
    qint64 k = 0;
    for (const auto &category : summary ? summary->categories() : DSColumnSummary::Categories())
        k += !category->is_missing();
    if (k < 2)
        return nullptr;
    return std::make_shared<DSStatisticalTestChiSquare>(summary->equal_counts_chi_square(), k - 1);
}

std::optional<DSAttributedString> DSBottomLineReporterCategoriesNoCovariate::attributedStringForResult(
    const DSStatisticalTest *result, double significance, const DSColumnSelection *columns, const DSColumnSelection *)
{
    DSAttributedString sentence;
    sentence.append(columns->columnAtIndex(0)->shortName(), italicAttributes());
    const auto *chiSquare = dynamic_cast<const DSStatisticalTestChiSquare *>(result);
    if (!chiSquare) {
        sentence.append(QStringLiteral(" takes only 1 value"), standardAttributes());
        return sentence;
    }
    if (std::isnan(chiSquare->p_value()))
        return std::nullopt;
    sentence.append(chiSquare->explanationSuffix(chiSquare->isSignificantAtLevel(significance), QStringLiteral("values")),
                    standardAttributes());
    return sentence;
}

QString DSBottomLineReporterCategoriesNoCovariate::shortStringForResult(const DSStatisticalTest *result,
                                                                        double significance, const DSColumnSelection *)
{
    const auto *chiSquare = dynamic_cast<const DSStatisticalTestChiSquare *>(result);
    if (!chiSquare)
        return QStringLiteral("Only 1 value");
    if (std::isnan(chiSquare->p_value()))
        return QString();
    return chiSquare->shortExplanationForCellName(QStringLiteral("values"), significance);
}

QString DSBottomLineReporterCategoriesNoCovariate::REstimationCommandForResult(const DSStatisticalTest *,
                                                                               const DSColumnSelection *columns,
                                                                               const DSColumnSelection *)
{
    return rCommand(columns, fill("chisq.test(table(%1))", {columns->columnAtIndex(0)->name()}));
}

QString DSBottomLineReporterCategoriesNoCovariate::SPSSEstimationCommandForResult(const DSStatisticalTest *,
                                                                                  const DSColumnSelection *columns,
                                                                                  const DSColumnSelection *)
{
    return spssCommand(columns, fill("npar tests chisquare=%1.", {columns->columnAtIndex(0)->name()}));
}

QString DSBottomLineReporterCategoriesNoCovariate::SASEstimationCommandForResult(const DSStatisticalTest *,
                                                                                 const DSColumnSelection *columns,
                                                                                 const DSColumnSelection *)
{
    return sasCommand(columns, fill("proc freq;\n  tables %1 / chisq;\n", {columns->columnAtIndex(0)->name()}), true);
}
