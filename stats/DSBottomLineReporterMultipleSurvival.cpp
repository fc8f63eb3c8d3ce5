#include "stats/DSBottomLineReporterMultipleSurvival.h"

#include "model/DSColumn.h"
#include "stats/DSStatisticalTestKSampleLogRank.h"

#include <cmath>

bool DSBottomLineReporterMultipleSurvival::hasResultForColumns(const DSColumnSelection *columns,
                                                               const DSColumnSelection *)
{
    return countOf(columns) >= 2 && columns->allSurvivalTimes() && (columns->allNumeric() || columns->allTime());
}

DSBottomLineReporter::Result DSBottomLineReporterMultipleSurvival::resultForColumns(const DSColumnSelection *columns,
                                                                                    const DSColumnSelection *,
                                                                                    const uint8_t *mask, qint64 length)
{
    qint64 df = 0;
    const double chisq = DSColumn::calculateLogRank(columns->columns(), &df, mask, length);
    if (std::isnan(chisq) || df == 0)
        return nullptr;
    return std::make_shared<DSStatisticalTestKSampleLogRank>(chisq, int64_t(df));
}
