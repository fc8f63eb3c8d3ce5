#include "stats/DSBottomLineReporterPairedDifferences.h"

#include "model/DSNumericColumn.h"
#include "stats/DSStatisticalTestKolmogorovSmirnov.h"
#include "stats/DSStatisticalTestRepeatedMeasuresANOVA.h"
#include "stats/DSStatisticalTestShapiroWilk.h"
#include "stats/DSStatisticalTestWilcoxonSignedRank.h"

#include <cstdlib>

namespace {

// In the order of the command templates.
enum class Kind { shapiroWilk, kolmogorovSmirnov, tTest, signedRank, none };

Kind kindOf(const DSStatisticalTest *result)
{
    if (dynamic_cast<const DSStatisticalTestShapiroWilk *>(result))
        return Kind::shapiroWilk;
    if (dynamic_cast<const DSStatisticalTestKolmogorovSmirnov *>(result))
        return Kind::kolmogorovSmirnov;
    if (dynamic_cast<const DSStatisticalTestRepeatedMeasuresANOVA *>(result))
        return Kind::tTest;
    if (dynamic_cast<const DSStatisticalTestWilcoxonSignedRank *>(result))
        return Kind::signedRank;
    return Kind::none;
}

// The minuend and subtrahend of the differences.
struct Pair
{
    DSColumn *m, *s;
};

Pair pairOf(const DSColumnSelection *columns, qint64 relativeTo)
{
    DSColumn *a = columns->columnAtIndex(0), *b = columns->columnAtIndex(1);
    return relativeTo == 1 ? Pair{a, b} : Pair{b, a};
}

}  // namespace

bool DSBottomLineReporterPairedDifferences::hasResultForColumns(const DSColumnSelection *columns,
                                                                const DSColumnSelection *)
{
    return countOf(columns) == 2 && allPlainNumeric(columns) && tableFlag(columns, "show_paired_differences");
}

DSBottomLineReporter::Result DSBottomLineReporterPairedDifferences::resultForColumns(const DSColumnSelection *columns,
                                                                                     const DSColumnSelection *,
                                                                                     const uint8_t *mask, qint64 length)
{
    switch (tableSetting(columns, "paired_differences_graph_type")) {
    case 8: {
        const Pair pair = pairOf(columns, tableSetting(columns, "paired_differences_relative_to"));
        auto *m = dynamic_cast<DSNumericColumn *>(pair.m), *s = dynamic_cast<DSNumericColumn *>(pair.s);
        double *values = nullptr;
        int32_t *weights = nullptr;
        const qint64 n = m->getSortedDifferences(&values, &weights, s, mask, length);
        const std::unique_ptr<double, decltype(&free)> ownValues(values, &free);
        const std::unique_ptr<int32_t, decltype(&free)> ownWeights(weights, &free);
        showQuantiles(values, weights, n);
        return normalityResult(
            values, weights, n,
            [&] { return m->calculateStatsForDifferencesOverColumn(s, mask, length, ds_stats_moments); }, &temp_mean,
            &temp_sd);
    }
    case 3:
        return signedRankResult(columns, mask, length);
    default: {
        qint64 df1 = 0, df2 = 0;
        const double f =
            DSNumericColumn::calculateRepeatedMeasuresANOVA(numericColumns(columns), &df1, &df2, mask, length);
        return std::make_shared<DSStatisticalTestRepeatedMeasuresANOVA>(f, df1, df2);
    }
    }
}

std::optional<DSAttributedString>
DSBottomLineReporterPairedDifferences::attributedStringForResult(const DSStatisticalTest *result, double significance,
                                                                 const DSColumnSelection *columns,
                                                                 const DSColumnSelection *covariates)
{
    const Kind kind = kindOf(result);
    if (kind != Kind::shapiroWilk && kind != Kind::kolmogorovSmirnov)
        return DSBottomLineReporter::attributedStringForResult(result, significance, columns, covariates);
    const bool significant = result->isSignificantAtLevel(significance);
    DSAttributedString sentence;
    sentence.append(columns->columnAtIndex(1)->shortName(), italicAttributes());
    sentence.append(QStringLiteral(" minus "), standardAttributes());
    sentence.append(columns->columnAtIndex(0)->shortName(), italicAttributes());
    sentence.append(kind == Kind::shapiroWilk ? result->explanationSuffix(significant)
                                              : result->explanationInfix(significant) + QStringLiteral("normal")
                                                    + result->explanationSuffix(significant),
                    standardAttributes());
    return sentence;
}

QString DSBottomLineReporterPairedDifferences::shortStringForResult(const DSStatisticalTest *result,
                                                                    double significance,
                                                                    const DSColumnSelection *columns)
{
    if (const auto *ks = dynamic_cast<const DSStatisticalTestKolmogorovSmirnov *>(result))
        return ks->shortExplanationForDistributionName(QStringLiteral("normal"), significance);
    return DSBottomLineReporter::shortStringForResult(result, significance, columns);
}

QString DSBottomLineReporterPairedDifferences::commandBody(qint64 syntax, const DSStatisticalTest *result,
                                                           const DSColumnSelection *columns)
{
    // By kind of test and syntax code (R, SAS, SPSS, Stata); %1 the minuend
    // M, %2 the subtrahend S, %3 and %4 the normal of the differences. Each
    // package writes the differences as M - S and names the pair S, M. R is
    // asked for the exact Kolmogorov-Smirnov p-value, which ours is.
    static const char *const templates[][4] = {
        {"shapiro.test(%1 - %2)", "diff = %1 - %2;\nproc univariate normal;\n  var diff;\n",
         "compute diff = %1 - %2.\nexamine variables=diff /plot=npplot.", "egen diff = %1 - %2\nswilk diff"},
        {"ks.test(%1 - %2, \"pnorm\", %3, %4, exact = TRUE)", "diff = %1 - %2;\nproc univariate normal;\n  var diff;\n",
         "compute diff = %1 - %2.\nnpar tests /k-s(normal %3 %4)=diff.",
         "egen diff = %1 - %2\nksmirnov diff = normal((diff-%3)/%4)"},
        {"t.test(%2, %1, paired = TRUE)", "proc ttest;\n  paired %2*%1;\n", "t-test pairs=%2 %1.", "ttest %2 == %1"},
        {nullptr, "diff = %1 - %2;\nproc univariate;\n  var diff;\n", "npar tests wilcoxon=%2 %1.", "signrank %2 = %1"},
    };
    const Kind kind = kindOf(result);
    const Pair pair = pairOf(columns, tableSetting(columns, "paired_differences_relative_to"));
    if (kind == Kind::signedRank && syntax == syntaxR)
        return signedRankRCommand(result, pair.s->name(), pair.m->name());
    const char *const form = kind == Kind::none ? nullptr : templates[int(kind)][syntax - 1];
    if (!form)
        return QString();
    return fill(form, {pair.m->name(), pair.s->name(), number(temp_mean), number(temp_sd)});
}

QString DSBottomLineReporterPairedDifferences::REstimationCommandForResult(const DSStatisticalTest *result,
                                                                           const DSColumnSelection *columns,
                                                                           const DSColumnSelection *)
{
    return rCommand(columns, commandBody(syntaxR, result, columns));
}

QString DSBottomLineReporterPairedDifferences::SPSSEstimationCommandForResult(const DSStatisticalTest *result,
                                                                              const DSColumnSelection *columns,
                                                                              const DSColumnSelection *)
{
    return spssCommand(columns, commandBody(syntaxSPSS, result, columns));
}

QString DSBottomLineReporterPairedDifferences::StataEstimationCommandForResult(const DSStatisticalTest *result,
                                                                               const DSColumnSelection *columns,
                                                                               const DSColumnSelection *)
{
    return stataCommand(columns, commandBody(syntaxStata, result, columns));
}

QString DSBottomLineReporterPairedDifferences::SASEstimationCommandForResult(const DSStatisticalTest *result,
                                                                             const DSColumnSelection *columns,
                                                                             const DSColumnSelection *)
{
    return sasCommand(columns, commandBody(syntaxSAS, result, columns));
}
