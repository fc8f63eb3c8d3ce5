#include "stats/DSBottomLineReporterMultipleCategories.h"

#include "model/DSColumn.h"
#include "stats/DSStatisticalTestChiSquare.h"

#include <cmath>

bool DSBottomLineReporterMultipleCategories::hasResultForColumns(const DSColumnSelection *columns,
                                                                 const DSColumnSelection *)
{
    return countOf(columns) >= 2 && columns->allConformableCategories() && !tableFlag(columns, "repeated_measures");
}

DSBottomLineReporter::Result DSBottomLineReporterMultipleCategories::resultForColumns(const DSColumnSelection *columns,
                                                                                      const DSColumnSelection *,
                                                                                      const uint8_t *mask,
                                                                                      qint64 length)
{
    qint64 df = 0;
    const double chiSquare = DSColumn::calculateIndependence(columns->columns(), &df, mask, length);
    if (std::isnan(chiSquare))
        return nullptr;
    return std::make_shared<DSStatisticalTestChiSquare>(chiSquare, df);
}

std::optional<DSAttributedString> DSBottomLineReporterMultipleCategories::acrossColumnsSentence(
    const DSStatisticalTest *result, double significance, const DSColumnSelection *columns, const char *opening,
    const char *varies, const char *doesNotVary)
{
    if (!result || std::isnan(result->p_value()))
        return std::nullopt;
    DSAttributedString sentence;
    sentence.append(QString::fromLatin1(opening), standardAttributes());
    sentence.append(QString::fromLatin1(result->isSignificantAtLevel(significance) ? varies : doesNotVary),
                    standardAttributes());
    sentence.append(QStringLiteral(" across "), standardAttributes());
    appendStringForColumns(columns, &sentence);
    return sentence;
}

std::optional<DSAttributedString> DSBottomLineReporterMultipleCategories::attributedStringForResult(
    const DSStatisticalTest *result, double significance, const DSColumnSelection *columns, const DSColumnSelection *)
{
    return acrossColumnsSentence(result, significance, columns, "Distribution of values ", "varies", "does not vary");
}

QString DSBottomLineReporterMultipleCategories::shortStringForResult(const DSStatisticalTest *result,
                                                                     double significance, const DSColumnSelection *)
{
    if (!result)
        return QString();
    return result->isSignificantAtLevel(significance) ? QStringLiteral("Unequal distributions")
                                                      : QStringLiteral("Equal distributions");
}
