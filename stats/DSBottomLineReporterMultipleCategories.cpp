#include "stats/DSBottomLineReporterMultipleCategories.h"

bool DSBottomLineReporterMultipleCategories::hasResultForColumns(const DSColumnSelection *columns,
                                                                 const DSColumnSelection *)
{
    return countOf(columns) >= 2 && columns->allConformableCategories() && !tableFlag(columns, "repeated_measures");
}
