#include "stats/DSBottomLineReporterMultipleNumeric.h"

#include "model/DSNumericColumn.h"
#include "stats/DSStatisticalTestANOVA.h"
#include "stats/DSStatisticalTestKSampleKolmogorovSmirnov.h"
#include "stats/DSStatisticalTestKruskalWallis.h"

#include <typeinfo>

namespace {

bool isOneWayANOVA(const DSStatisticalTest *result)
{
    return result && typeid(*result) == typeid(DSStatisticalTestANOVA);
}

}  // namespace

bool DSBottomLineReporterMultipleNumeric::hasResultForColumns(const DSColumnSelection *columns,
                                                              const DSColumnSelection *)
{
    return countOf(columns) >= 2 && allPlainNumeric(columns) && !tableFlag(columns, "repeated_measures")
           && !tableFlag(columns, "show_paired_differences");
}

DSBottomLineReporter::Result DSBottomLineReporterMultipleNumeric::resultForColumns(const DSColumnSelection *columns,
                                                                                   const DSColumnSelection *,
                                                                                   const uint8_t *mask, qint64 length)
{
    const DSNumericColumn::Columns list = numericColumns(columns);
    qint64 df1 = 0, df2 = 0;
    switch (tableSetting(columns, "covariate_graph_type")) {
    case 2: {
        const double f = DSNumericColumn::calculateNonRepeatedMeasuresANOVA(list, &df1, &df2, mask, length);
        return std::make_shared<DSStatisticalTestANOVA>(f, df1, df2);
    }
    case 0:
    case 1: {
        const double t = DSNumericColumn::calculateKolmogorovSmirnov(list, &df1, mask, length);
        return std::make_shared<DSStatisticalTestKSampleKolmogorovSmirnov>(t, df1);
    }
    case 3: {
        const double h = DSNumericColumn::calculateKruskalWallis(list, &df1, mask, length);
        return std::make_shared<DSStatisticalTestKruskalWallis>(h, df1);
    }
    default:
        return nullptr;
    }
}

QString DSBottomLineReporterMultipleNumeric::REstimationCommandForResult(const DSStatisticalTest *result,
                                                                         const DSColumnSelection *columns,
                                                                         const DSColumnSelection *)
{
    const QStringList names = columns->columnNames();
    // One sample a column: c() would pool them into a single sample.
    if (dynamic_cast<const DSStatisticalTestKruskalWallis *>(result))
        return rCommand(columns, QStringLiteral("kruskal.test(list(%1))").arg(names.join(QStringLiteral(", "))));
    if (names.size() != 2)
        return QString();
    // Our p-value is the asymptotic one, which R gives only when asked.
    if (dynamic_cast<const DSStatisticalTestKSampleKolmogorovSmirnov *>(result))
        return rCommand(columns, QStringLiteral("ks.test(%1, %2, exact = FALSE)").arg(names[0], names[1]));
    // The analysis of variance pools the variances, as Student's test does.
    if (isOneWayANOVA(result))
        return rCommand(columns, QStringLiteral("t.test(%1, %2, var.equal = TRUE)").arg(names[0], names[1]));
    return QString();
}

QString DSBottomLineReporterMultipleNumeric::StataEstimationCommandForResult(const DSStatisticalTest *result,
                                                                             const DSColumnSelection *columns,
                                                                             const DSColumnSelection *)
{
    const QStringList names = columns->columnNames();
    if (names.size() != 2 || !isOneWayANOVA(result))
        return QString();
    return stataCommand(columns, QStringLiteral("ttest %1 == %2, unpaired").arg(names[0], names[1]));
}
