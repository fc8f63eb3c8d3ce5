#include "stats/DSBottomLineReporterNumericTwoCovariates.h"

#include "model/DSNumericColumn.h"
#include "stats/DSStatisticalTestTwoWayANOVA.h"

bool DSBottomLineReporterNumericTwoCovariates::hasResultForColumns(const DSColumnSelection *columns,
                                                                   const DSColumnSelection *covariates)
{
    return countOf(columns) == 1 && allPlainNumeric(columns) && countOf(covariates) == 2;
}

DSBottomLineReporter::Result DSBottomLineReporterNumericTwoCovariates::resultForColumns(
    const DSColumnSelection *columns, const DSColumnSelection *covariates, const uint8_t *mask, qint64 length)
{
    auto *column = dynamic_cast<DSNumericColumn *>(columns->columnAtIndex(0));
    qint64 df1 = 0, df2 = 0;
    const double f = column->calculateTwoWayANOVA(covariates->columnAtIndex(0), covariates->categoriesAtIndex(0),
                                                  covariates->columnAtIndex(1), covariates->categoriesAtIndex(1), &df1,
                                                  &df2, mask, length);
    return std::make_shared<DSStatisticalTestTwoWayANOVA>(f, df1, df2);
}

QPair<QString, QString> DSBottomLineReporterNumericTwoCovariates::groupingVariables(const DSColumnSelection *covariates,
                                                                                    qint64 syntax, QString *text)
{
    const QString g1 = groupingVariable(covariates->columnAtIndex(0), syntax, text);
    return {g1, groupingVariable(covariates->columnAtIndex(1), syntax, text)};
}

QString DSBottomLineReporterNumericTwoCovariates::REstimationCommandForResult(const DSStatisticalTest *,
                                                                              const DSColumnSelection *columns,
                                                                              const DSColumnSelection *covariates)
{
    QString text;
    const auto [g1, g2] = groupingVariables(covariates, syntaxR, &text);
    const QString data = text.isEmpty() ? QString() : QStringLiteral(", data = df");
    // Factors, as for the one-way analysis; the interaction is the last
    // line of the summary.
    return rCommand(columns, text + QStringLiteral("summary(aov(%1 ~ factor(%2) * factor(%3)%4))")
                                        .arg(columns->columnAtIndex(0)->name(), g1, g2, data));
}

QString DSBottomLineReporterNumericTwoCovariates::SPSSEstimationCommandForResult(const DSStatisticalTest *,
                                                                                 const DSColumnSelection *columns,
                                                                                 const DSColumnSelection *covariates)
{
    QString text;
    const auto [g1, g2] = groupingVariables(covariates, syntaxSPSS, &text);
    return spssCommand(
        columns, text + QStringLiteral("anova variables=%1 by %2 %3.").arg(columns->columnAtIndex(0)->name(), g1, g2));
}

QString DSBottomLineReporterNumericTwoCovariates::StataEstimationCommandForResult(const DSStatisticalTest *,
                                                                                  const DSColumnSelection *columns,
                                                                                  const DSColumnSelection *covariates)
{
    QString text;
    const auto [g1, g2] = groupingVariables(covariates, syntaxStata, &text);
    return stataCommand(columns,
                        text + QStringLiteral("anova %1 %2 %3 %2*%3").arg(columns->columnAtIndex(0)->name(), g1, g2));
}

QString DSBottomLineReporterNumericTwoCovariates::SASEstimationCommandForResult(const DSStatisticalTest *,
                                                                                const DSColumnSelection *columns,
                                                                                const DSColumnSelection *covariates)
{
    QString text;
    const auto [g1, g2] = groupingVariables(covariates, syntaxSAS, &text);
    return sasCommand(columns, text
                                   + QStringLiteral("proc anova;\n  class %1 %2;\n  model %3 = %1|%2;\n")
                                         .arg(g1, g2, columns->columnAtIndex(0)->name()));
}
