#include "stats/DSBottomLineReporterTimeNoCovariate.h"

#include "model/DSColumn.h"
#include "model/DSColumnSummary.h"
#include "model/ds_time_units.h"
#include "stats/DSStatisticalTestChiSquare.h"

#include <cmath>

namespace {

// The plural name of the summary's unit ("minutes"), the periods' noun.
QString periodsName(DSColumn *column, double significance)
{
    const auto summary = DSBottomLineReporterTimeNoCovariate::summaryOf(column, significance);
    const char *name = ds_time_unit_plural_name(summary ? summary->time_unit() : -1);
    return QString::fromUtf8(name ? name : "").toLower();
}

} // namespace

std::shared_ptr<DSColumnSummary> DSBottomLineReporterTimeNoCovariate::summaryOf(DSColumn *column, double significance)
{
    std::shared_ptr<DSColumnSummary> summary = column->temp_summary();
    return summary ? summary : column->summaryWithSignificance(significance);
}

bool DSBottomLineReporterTimeNoCovariate::hasResultForColumns(const DSColumnSelection *columns,
                                                              const DSColumnSelection *covariates)
{
    return countOf(columns) == 1 && columns->allTime() && !columns->anySurvivalTimes() && countOf(covariates) == 0;
}

DSBottomLineReporter::Result DSBottomLineReporterTimeNoCovariate::resultForColumns(const DSColumnSelection *columns,
                                                                                   const DSColumnSelection *,
                                                                                   const uint8_t *, qint64)
{
    const auto summary = summaryOf(columns->columnAtIndex(0), NAN);
    const qsizetype periods = summary ? summary->categories().size() : 0;
    if (periods < 2)
        return nullptr;
    return std::make_shared<DSStatisticalTestChiSquare>(summary->proportional_counts_chi_square(),
                                                        int64_t(periods - 1));
}

std::optional<DSAttributedString> DSBottomLineReporterTimeNoCovariate::attributedStringForResult(
    const DSStatisticalTest *result, double significance, const DSColumnSelection *columns, const DSColumnSelection *)
{
    if (countOf(columns) == 0)
        return std::nullopt;
    DSColumn *column = columns->columnAtIndex(0);
    DSAttributedString sentence;
    sentence.append(column->shortName(), italicAttributes());
    const auto *chiSquare = dynamic_cast<const DSStatisticalTestChiSquare *>(result);
    sentence.append(chiSquare ? chiSquare->explanationSuffix(chiSquare->isSignificantAtLevel(significance),
                                                             periodsName(column, significance))
                              : QStringLiteral(" is concentrated in one period"),
                    standardAttributes());
    return sentence;
}

QString DSBottomLineReporterTimeNoCovariate::shortStringForResult(const DSStatisticalTest *result,
                                                                  double significance,
                                                                  const DSColumnSelection *columns)
{
    const auto *chiSquare = dynamic_cast<const DSStatisticalTestChiSquare *>(result);
    if (!chiSquare)
        return QStringLiteral("Only 1 period");
    return chiSquare->shortExplanationForCellName(periodsName(columns->columnAtIndex(0), significance), significance);
}
