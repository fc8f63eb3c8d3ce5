#include "stats/DSBottomLineReporterRepeatedCategories.h"

bool DSBottomLineReporterRepeatedCategories::hasResultForColumns(const DSColumnSelection *columns,
                                                                 const DSColumnSelection *)
{
    const qsizetype n = countOf(columns);
    return tableFlag(columns, "repeated_measures")
           && ((n == 2 && columns->allConformableCategories())
               || (n >= 3 && columns->allBinaryConformableCategories()));
}
