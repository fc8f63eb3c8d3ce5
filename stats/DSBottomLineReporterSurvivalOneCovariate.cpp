#include "stats/DSBottomLineReporterSurvivalOneCovariate.h"

#include "model/DSColumn.h"
#include "stats/DSStatisticalTestKSampleLogRank.h"
#include "stats/ds_censoring_commands.h"

#include <cmath>

bool DSBottomLineReporterSurvivalOneCovariate::hasResultForColumns(const DSColumnSelection *columns,
                                                                   const DSColumnSelection *covariates)
{
    return countOf(columns) == 1 && columns->allSurvivalTimes() && countOf(covariates) == 1;
}

DSBottomLineReporter::Result DSBottomLineReporterSurvivalOneCovariate::resultForColumns(
    const DSColumnSelection *columns, const DSColumnSelection *covariates, const uint8_t *mask, qint64 length)
{
    qint64 df = 0;
    const double chisq = columns->columnAtIndex(0)->calculateLogRank(
        covariates->columnAtIndex(0), covariates->categoriesAtIndex(0), &df, mask, length);
    if (std::isnan(chisq) || df == 0)
        return nullptr;
    return std::make_shared<DSStatisticalTestKSampleLogRank>(chisq, int64_t(df));
}

QString DSBottomLineReporterSurvivalOneCovariate::commandBody(qint64 syntax, const DSColumnSelection *columns,
                                                              const DSColumnSelection *covariates)
{
    // By syntax code (R, SAS, SPSS, Stata); %1 the column, %2 the covariate
    // or its grouping variable, %3 R's event indicator, %4 R's data
    // argument (a recoded covariate lives in df only).
    static const char *const templates[] = {
        "survdiff(Surv(%1, %3) ~ %2%4)",
        "proc lifetest;\n  time %1;\n  strata %2;\n",
        "km %1 by %2 /status = censored event(1).",
        "stset %1\nsts test %2",
    };
    DSColumn *column = columns->columnAtIndex(0);
    QString text;
    const QString g = groupingVariable(covariates->columnAtIndex(0), syntax, &text);
    if (syntax != syntaxR)
        return text + fill(templates[syntax - 1], {column->name(), g});
    const QString data = text.isEmpty() ? QString() : QStringLiteral(", data = df");
    return QStringLiteral("library(survival)\n") + text
           + fill(templates[0], {column->name(), g, ds_censoring_r_event(column), data});
}

QString DSBottomLineReporterSurvivalOneCovariate::REstimationCommandForResult(const DSStatisticalTest *,
                                                                              const DSColumnSelection *columns,
                                                                              const DSColumnSelection *covariates)
{
    return rCommand(columns, commandBody(syntaxR, columns, covariates));
}

QString DSBottomLineReporterSurvivalOneCovariate::SPSSEstimationCommandForResult(const DSStatisticalTest *,
                                                                                 const DSColumnSelection *columns,
                                                                                 const DSColumnSelection *covariates)
{
    return spssCommand(columns, commandBody(syntaxSPSS, columns, covariates));
}

QString DSBottomLineReporterSurvivalOneCovariate::StataEstimationCommandForResult(const DSStatisticalTest *,
                                                                                  const DSColumnSelection *columns,
                                                                                  const DSColumnSelection *covariates)
{
    return stataCommand(columns, commandBody(syntaxStata, columns, covariates));
}

QString DSBottomLineReporterSurvivalOneCovariate::SASEstimationCommandForResult(const DSStatisticalTest *,
                                                                                const DSColumnSelection *columns,
                                                                                const DSColumnSelection *covariates)
{
    return sasCommand(columns, commandBody(syntaxSAS, columns, covariates));
}
