#include "stats/DSBottomLineReporterRepeatedCategories.h"

#include "model/DSColumn.h"
#include "stats/DSBottomLineReporterMultipleCategories.h"
#include "stats/DSStatisticalTestCMH.h"

#include <cmath>

namespace {

QString joinedNames(const DSColumnSelection *columns, const QString &separator)
{
    QStringList names;
    for (DSColumn *column : columns->columns())
        names.append(column->name());
    return names.join(separator);
}

}  // namespace

bool DSBottomLineReporterRepeatedCategories::hasResultForColumns(const DSColumnSelection *columns,
                                                                 const DSColumnSelection *)
{
    const qsizetype n = countOf(columns);
    return tableFlag(columns, "repeated_measures")
           && ((n == 2 && columns->allConformableCategories())
               || (n >= 3 && columns->allBinaryConformableCategories()));
}

DSBottomLineReporter::Result DSBottomLineReporterRepeatedCategories::resultForColumns(const DSColumnSelection *columns,
                                                                                      const DSColumnSelection *,
                                                                                      const uint8_t *mask,
                                                                                      qint64 length)
{
    const QList<DSColumn *> list = columns->columns();
    qint64 df = 0;
    const double statistic = list.size() == 2
                                 ? DSColumn::calculateMarginalHomogeneity(list, &df, mask, length)
                                 : DSColumn::calculateBinaryMarginalHomogeneity(list, &df, mask, length);
    if (std::isnan(statistic) || list.size() < 2)
        return nullptr;
    const qint64 treatments = list.size();
    return std::make_shared<DSStatisticalTestCMH>(statistic, treatments, df / (treatments - 1) + 1);
}

std::optional<DSAttributedString> DSBottomLineReporterRepeatedCategories::attributedStringForResult(
    const DSStatisticalTest *result, double significance, const DSColumnSelection *columns, const DSColumnSelection *)
{
    return DSBottomLineReporterMultipleCategories::acrossColumnsSentence(result, significance, columns,
                                                                         "The marginal proportions ", "vary",
                                                                         "do not vary");
}

QString DSBottomLineReporterRepeatedCategories::SPSSEstimationCommandForResult(const DSStatisticalTest *result,
                                                                               const DSColumnSelection *columns,
                                                                               const DSColumnSelection *)
{
    const auto *test = dynamic_cast<const DSStatisticalTestChiSquare *>(result);
    if (!test)
        return QString();
    const char *form = columns->count() >= 3           ? "npar tests cochran=%1."
                       : test->degreesOfFreedom() < 2 ? "npar tests mcnemar=%1."
                                                       : "npar tests /mh=%1.";
    return spssCommand(columns, fill(form, {joinedNames(columns, QStringLiteral(" "))}));
}

QString DSBottomLineReporterRepeatedCategories::SASEstimationCommandForResult(const DSStatisticalTest *result,
                                                                              const DSColumnSelection *columns,
                                                                              const DSColumnSelection *)
{
    if (!result)
        return QString();
    return sasCommand(columns,
                      fill("proc freq;\n  tables %1 / agree noprint;\n", {joinedNames(columns, QStringLiteral("*"))}),
                      true);
}
