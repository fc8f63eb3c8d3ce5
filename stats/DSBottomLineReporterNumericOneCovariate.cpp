#include "stats/DSBottomLineReporterNumericOneCovariate.h"

#include "model/DSNumericColumn.h"
#include "model/DSTimeColumn.h"
#include "stats/DSStatisticalTestANOVA.h"
#include "stats/DSStatisticalTestCorrelation.h"
#include "stats/DSStatisticalTestKSampleKolmogorovSmirnov.h"
#include "stats/DSStatisticalTestKruskalWallis.h"

#include <typeinfo>

namespace {

// In the order of the command templates.
enum class Kind { correlation, anova, kruskalWallis, kSampleKS, none };

// DSStatisticalTestTwoWayANOVA and the other analyses derive from the
// one-way one; only the one-way kind is this reporter's.
Kind kindOf(const DSStatisticalTest *result)
{
    if (dynamic_cast<const DSStatisticalTestCorrelation *>(result))
        return Kind::correlation;
    if (result && typeid(*result) == typeid(DSStatisticalTestANOVA))
        return Kind::anova;
    if (dynamic_cast<const DSStatisticalTestKruskalWallis *>(result))
        return Kind::kruskalWallis;
    if (dynamic_cast<const DSStatisticalTestKSampleKolmogorovSmirnov *>(result))
        return Kind::kSampleKS;
    return Kind::none;
}

bool isScatterCovariate(DSColumn *covariate)
{
    return (dynamic_cast<DSNumericColumn *>(covariate) || dynamic_cast<DSTimeColumn *>(covariate))
           && !covariate->treat_as_categories();
}

}  // namespace

bool DSBottomLineReporterNumericOneCovariate::hasResultForColumns(const DSColumnSelection *columns,
                                                                  const DSColumnSelection *covariates)
{
    return countOf(columns) == 1 && allPlainNumeric(columns) && countOf(covariates) == 1;
}

DSBottomLineReporter::Result DSBottomLineReporterNumericOneCovariate::resultForColumns(
    const DSColumnSelection *columns, const DSColumnSelection *covariates, const uint8_t *mask, qint64 length)
{
    auto *column = dynamic_cast<DSNumericColumn *>(columns->columnAtIndex(0));
    DSColumn *covariate = covariates->columnAtIndex(0);
    const DSColumnSelection::Categories categories = covariates->categoriesAtIndex(0);
    qint64 df1 = 0, df2 = 0;
    switch (tableSetting(columns, "covariate_graph_type")) {
    case 2: {
        const double f = column->calculateANOVA(covariate, categories, &df1, &df2, mask, length);
        return std::make_shared<DSStatisticalTestANOVA>(f, df1, df2);
    }
    case 1:
        if (isScatterCovariate(covariate)) {
            const ds_corr_s r = column->calculateCorrelation(covariate, mask, length);
            return std::make_shared<DSStatisticalTestCorrelation>(r.correlation, r.count);
        }
        [[fallthrough]];
    case 0: {
        const double t = column->calculateKolmogorovSmirnov(covariate, categories, &df1, mask, length);
        return std::make_shared<DSStatisticalTestKSampleKolmogorovSmirnov>(t, df1);
    }
    case 3: {
        const double h = column->calculateKruskalWallis(covariate, categories, &df1, mask, length);
        return std::make_shared<DSStatisticalTestKruskalWallis>(h, df1);
    }
    default:
        return nullptr;
    }
}

QString DSBottomLineReporterNumericOneCovariate::commandBody(qint64 syntax, const DSStatisticalTest *result,
                                                             const DSColumnSelection *columns,
                                                             const DSColumnSelection *covariates)
{
    // By kind of test and syntax code (R, SAS, SPSS, Stata); %1 the column,
    // %2 the covariate or its grouping variable, %3 R's data argument. aov
    // needs a factor to compare groups (a number would be one slope), and
    // only its summary shows F.
    static const char *const templates[][4] = {
        {"cor.test(%1, %2)", "proc corr fisher;\n  var %1;\n  with %2;\n", "correlations /variables = %1 %2.",
         "pwcorr %1 %2, sig"},
        {"summary(aov(%1 ~ factor(%2)%3))", "proc npar1way anova;\n  class %2;\n  var %1;\n", "oneway %1 by %2.",
         "oneway %1 %2"},
        {"kruskal.test(%1 ~ %2%3)", "proc npar1way wilcoxon;\n  class %2;\n  var %1;\n",
         "nptests /independent test(%1) group(%2).", "kwallis %1, by(%2)"},
        {nullptr, "proc npar1way edf;\n  class %2;\n  var %1;\n",
         "nptests /independent test(%1) group(%2) kolmogorov_smirnov.", "ksmirnov %1, by(%2)"},
    };
    const Kind kind = kindOf(result);
    const char *const form = kind == Kind::none ? nullptr : templates[int(kind)][syntax - 1];
    if (!form)
        return QString();
    DSColumn *covariate = covariates->columnAtIndex(0);
    QString text;
    const QString g = kind == Kind::correlation ? covariate->name() : groupingVariable(covariate, syntax, &text);
    const QString data = text.isEmpty() ? QString() : QStringLiteral(", data = df");
    return text + fill(form, {columns->columnAtIndex(0)->name(), g, data});
}

QString DSBottomLineReporterNumericOneCovariate::REstimationCommandForResult(const DSStatisticalTest *result,
                                                                             const DSColumnSelection *columns,
                                                                             const DSColumnSelection *covariates)
{
    return rCommand(columns, commandBody(syntaxR, result, columns, covariates));
}

QString DSBottomLineReporterNumericOneCovariate::SPSSEstimationCommandForResult(const DSStatisticalTest *result,
                                                                                const DSColumnSelection *columns,
                                                                                const DSColumnSelection *covariates)
{
    return spssCommand(columns, commandBody(syntaxSPSS, result, columns, covariates));
}

QString DSBottomLineReporterNumericOneCovariate::StataEstimationCommandForResult(const DSStatisticalTest *result,
                                                                                 const DSColumnSelection *columns,
                                                                                 const DSColumnSelection *covariates)
{
    return stataCommand(columns, commandBody(syntaxStata, result, columns, covariates));
}

QString DSBottomLineReporterNumericOneCovariate::SASEstimationCommandForResult(const DSStatisticalTest *result,
                                                                               const DSColumnSelection *columns,
                                                                               const DSColumnSelection *covariates)
{
    return sasCommand(columns, commandBody(syntaxSAS, result, columns, covariates));
}
