#include "stats/DSBottomLineReporterMultipleSurvival.h"

bool DSBottomLineReporterMultipleSurvival::hasResultForColumns(const DSColumnSelection *columns,
                                                               const DSColumnSelection *)
{
    return countOf(columns) >= 2 && columns->allSurvivalTimes() && (columns->allNumeric() || columns->allTime());
}
