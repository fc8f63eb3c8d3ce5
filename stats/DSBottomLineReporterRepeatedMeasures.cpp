#include "stats/DSBottomLineReporterRepeatedMeasures.h"

#include "model/DSNumericColumn.h"
#include "stats/DSStatisticalTestFriedman.h"
#include "stats/DSStatisticalTestRepeatedMeasuresANOVA.h"
#include "stats/DSStatisticalTestWilcoxonSignedRank.h"

namespace {

enum class Kind { tTest, signedRank, friedman, none };

// The paired t-test is the analysis of variance of exactly two columns.
Kind kindOf(const DSStatisticalTest *result, const DSColumnSelection *columns)
{
    if (dynamic_cast<const DSStatisticalTestFriedman *>(result))
        return Kind::friedman;
    if (dynamic_cast<const DSStatisticalTestWilcoxonSignedRank *>(result))
        return Kind::signedRank;
    if (dynamic_cast<const DSStatisticalTestRepeatedMeasuresANOVA *>(result) && columns->count() == 2)
        return Kind::tTest;
    return Kind::none;
}

}  // namespace

bool DSBottomLineReporterRepeatedMeasures::hasResultForColumns(const DSColumnSelection *columns,
                                                               const DSColumnSelection *)
{
    const bool paired = tableFlag(columns, "show_paired_differences");
    return countOf(columns) >= 2 && allPlainNumeric(columns) && !(columns->count() == 2 && paired)
           && (tableFlag(columns, "repeated_measures") || paired);
}

DSBottomLineReporter::Result DSBottomLineReporterRepeatedMeasures::resultForColumns(const DSColumnSelection *columns,
                                                                                    const DSColumnSelection *,
                                                                                    const uint8_t *mask, qint64 length)
{
    const DSNumericColumn::Columns list = numericColumns(columns);
    qint64 df1 = 0, df2 = 0;
    if (tableSetting(columns, "covariate_graph_type") == 2) {
        const double f = DSNumericColumn::calculateRepeatedMeasuresANOVA(list, &df1, &df2, mask, length);
        return std::make_shared<DSStatisticalTestRepeatedMeasuresANOVA>(f, df1, df2);
    }
    if (list.size() == 2)
        return signedRankResult(columns, mask, length);
    const double f = DSNumericColumn::calculateFriedmanTest(list, &df1, &df2, mask, length);
    return std::make_shared<DSStatisticalTestFriedman>(f, df1, df2);
}

QString DSBottomLineReporterRepeatedMeasures::REstimationCommandForResult(const DSStatisticalTest *result,
                                                                          const DSColumnSelection *columns,
                                                                          const DSColumnSelection *)
{
    const QStringList names = columns->columnNames();
    switch (kindOf(result, columns)) {
    case Kind::signedRank:
        return rCommand(columns, signedRankRCommand(result, names[0], names[1]));
    case Kind::tTest:
        return rCommand(columns, QStringLiteral("t.test(%1, %2, paired = TRUE)").arg(names[0], names[1]));
    default:
        return QString();
    }
}

QString DSBottomLineReporterRepeatedMeasures::SPSSEstimationCommandForResult(const DSStatisticalTest *result,
                                                                             const DSColumnSelection *columns,
                                                                             const DSColumnSelection *)
{
    const QStringList names = columns->columnNames();
    switch (kindOf(result, columns)) {
    case Kind::friedman:
        return spssCommand(columns, QStringLiteral("npar tests friedman=%1.").arg(names.join(QLatin1Char(' '))));
    case Kind::signedRank:
        return spssCommand(columns, QStringLiteral("npar tests wilcoxon=%1.").arg(names.join(QLatin1Char(' '))));
    case Kind::tTest:
        return spssCommand(columns, QStringLiteral("t-test pairs=%1 %2.").arg(names[0], names[1]));
    default:
        return QString();
    }
}

QString DSBottomLineReporterRepeatedMeasures::StataEstimationCommandForResult(const DSStatisticalTest *result,
                                                                              const DSColumnSelection *columns,
                                                                              const DSColumnSelection *)
{
    const QStringList names = columns->columnNames();
    switch (kindOf(result, columns)) {
    case Kind::friedman:
        return stataCommand(columns, QStringLiteral("friedman %1").arg(names.join(QLatin1Char(' '))));
    case Kind::signedRank:
        return stataCommand(columns, QStringLiteral("signrank %1 = %2").arg(names[0], names[1]));
    case Kind::tTest:
        return stataCommand(columns, QStringLiteral("ttest %1 == %2").arg(names[0], names[1]));
    default:
        return QString();
    }
}

QString DSBottomLineReporterRepeatedMeasures::SASEstimationCommandForResult(const DSStatisticalTest *result,
                                                                            const DSColumnSelection *columns,
                                                                            const DSColumnSelection *)
{
    const QStringList names = columns->columnNames();
    switch (kindOf(result, columns)) {
    case Kind::signedRank:
        return sasCommand(columns,
                          QStringLiteral("diff = %1 - %2;\nproc univariate;\n  var diff;\n").arg(names[1], names[0]));
    case Kind::tTest:
        return sasCommand(columns, QStringLiteral("proc ttest;\n  paired %1*%2;\n").arg(names[0], names[1]));
    default:
        return QString();
    }
}
