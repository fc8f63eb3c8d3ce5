#include "stats/DSBottomLineReporterNumericNoCovariate.h"

#include "model/DSNumericColumn.h"
#include "platform/sterna/sterna.h"
#include "stats/DSStatisticalTestKolmogorovSmirnov.h"
#include "stats/DSStatisticalTestShapiroWilk.h"

#include <cstdlib>

namespace {

constexpr qint64 uniform = 0, normal = 1;

bool isShapiroWilk(const DSStatisticalTest *result)
{
    return dynamic_cast<const DSStatisticalTestShapiroWilk *>(result);
}

qint64 distributionOf(const DSColumnSelection *columns)
{
    return columns->columnAtIndex(0)->continuous_distribution();
}

}  // namespace

bool DSBottomLineReporterNumericNoCovariate::hasResultForColumns(const DSColumnSelection *columns,
                                                                 const DSColumnSelection *covariates)
{
    return countOf(columns) == 1 && allPlainNumeric(columns) && countOf(covariates) == 0;
}

DSBottomLineReporter::Result DSBottomLineReporterNumericNoCovariate::resultForColumns(const DSColumnSelection *columns,
                                                                                      const DSColumnSelection *,
                                                                                      const uint8_t *mask,
                                                                                      qint64 length)
{
    auto *column = dynamic_cast<DSNumericColumn *>(columns->columnAtIndex(0));
    double *values = nullptr;
    int32_t *weights = nullptr;
    const qint64 n = column->getSortedValues(&values, &weights, mask, length);
    const std::unique_ptr<double, decltype(&free)> ownValues(values, &free);
    const std::unique_ptr<int32_t, decltype(&free)> ownWeights(weights, &free);
    showQuantiles(values, weights, n);
    if (n < 4)
        return nullptr;
    switch (column->continuous_distribution()) {
    case normal:
        return normalityResult(
            values, weights, n, [&] { return column->calculateStatsWithMask(mask, length, ds_stats_moments); },
            &temp_mean, &temp_sd);
    case uniform:
        temp_min = values[0];
        temp_max = values[n - 1];
        return std::make_shared<DSStatisticalTestKolmogorovSmirnov>(
            ds_kolmogorov_smirnov_uniform(values, weights, n, temp_min, temp_max), observationCount(weights, n));
    default:
        return nullptr;
    }
}

std::optional<DSAttributedString> DSBottomLineReporterNumericNoCovariate::attributedStringForResult(
    const DSStatisticalTest *result, double significance, const DSColumnSelection *columns, const DSColumnSelection *)
{
    if (!result || countOf(columns) == 0)
        return std::nullopt;
    const bool significant = result->isSignificantAtLevel(significance);
    DSAttributedString sentence;
    sentence.append(columns->columnAtIndex(0)->shortName(), italicAttributes());
    if (isShapiroWilk(result))
        sentence.append(result->explanationSuffix(significant), standardAttributes());
    else
        sentence.append(
            result->explanationInfix(significant)
                + (distributionOf(columns) != uniform ? QStringLiteral("normal") : QStringLiteral("uniform"))
                + result->explanationSuffix(significant),
            standardAttributes());
    return sentence;
}

QString DSBottomLineReporterNumericNoCovariate::shortStringForResult(const DSStatisticalTest *result,
                                                                     double significance,
                                                                     const DSColumnSelection *columns)
{
    if (isShapiroWilk(result))
        return result->shortExplanationAtLevel(significance);
    const auto *ks = dynamic_cast<const DSStatisticalTestKolmogorovSmirnov *>(result);
    const qint64 distribution = countOf(columns) ? distributionOf(columns) : -1;
    if (!ks || (distribution != normal && distribution != uniform))
        return QString();
    return ks->shortExplanationForDistributionName(
        distribution == normal ? QStringLiteral("normal") : QStringLiteral("uniform"), significance);
}

QString DSBottomLineReporterNumericNoCovariate::REstimationCommandForResult(const DSStatisticalTest *result,
                                                                            const DSColumnSelection *columns,
                                                                            const DSColumnSelection *)
{
    const QString x = columns->columnAtIndex(0)->name();
    if (isShapiroWilk(result))
        return rCommand(columns, QStringLiteral("shapiro.test(%1)").arg(x));
    // Our p-value is the exact one, which R leaves for an asymptotic one
    // from 100 values on or with ties unless asked.
    switch (distributionOf(columns)) {
    case normal:
        return rCommand(columns, QStringLiteral("ks.test(%1, \"pnorm\", %2, %3, exact = TRUE)")
                                     .arg(x, number(temp_mean), number(temp_sd)));
    case uniform:
        return rCommand(columns, QStringLiteral("ks.test(%1, \"punif\", %2, %3, exact = TRUE)")
                                     .arg(x, number(temp_min), number(temp_max)));
    default:
        return QString();
    }
}

QString DSBottomLineReporterNumericNoCovariate::SPSSEstimationCommandForResult(const DSStatisticalTest *result,
                                                                               const DSColumnSelection *columns,
                                                                               const DSColumnSelection *)
{
    const QString x = columns->columnAtIndex(0)->name();
    QString body;
    if (isShapiroWilk(result))
        body = QStringLiteral("examine variables=%1 /plot=npplot.").arg(x);
    else if (distributionOf(columns) == normal)
        body = QStringLiteral("npar tests /k-s(normal %1 %2)=%3.").arg(number(temp_mean), number(temp_sd), x);
    else if (distributionOf(columns) == uniform)
        body = QStringLiteral("npar tests /k-s(uniform %1 %2)=%3.").arg(number(temp_min), number(temp_max), x);
    return spssCommand(columns, body);
}

QString DSBottomLineReporterNumericNoCovariate::StataEstimationCommandForResult(const DSStatisticalTest *result,
                                                                                const DSColumnSelection *columns,
                                                                                const DSColumnSelection *)
{
    const QString x = columns->columnAtIndex(0)->name();
    QString body;
    if (isShapiroWilk(result))
        body = QStringLiteral("swilk %1").arg(x);
    else if (distributionOf(columns) == normal)
        body = QStringLiteral("ksmirnov %1 = normal((%1-%2)/%3)").arg(x, number(temp_mean), number(temp_sd));
    else if (distributionOf(columns) == uniform)
        body = QStringLiteral("ksmirnov %1 = (%1-%2)/(%3-%2)").arg(x, number(temp_min), number(temp_max));
    return stataCommand(columns, body);
}

QString DSBottomLineReporterNumericNoCovariate::SASEstimationCommandForResult(const DSStatisticalTest *,
                                                                              const DSColumnSelection *columns,
                                                                              const DSColumnSelection *)
{
    const QString x = columns->columnAtIndex(0)->name();
    QString body;
    if (distributionOf(columns) == normal)
        body = QStringLiteral("proc univariate normal;\n  var %1;\n").arg(x);
    else if (distributionOf(columns) == uniform)
        body = QStringLiteral("proc univariate;\n  qqplot %1 / beta(a=1 b=1 theta=%2 sigma=%3);\n")
                   .arg(x, number(temp_min), number(temp_max - temp_min));
    return sasCommand(columns, body);
}
