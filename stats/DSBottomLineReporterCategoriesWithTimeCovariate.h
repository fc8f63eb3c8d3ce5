#pragma once

#include "stats/DSBottomLineReporter.h"

// One category or indicator column against one time covariate not treated
// as categories: the chi-square test of the column against the covariate's
// periods, or, with categories picked, of the time column's periods against
// them. No commands.
class DSBottomLineReporterCategoriesWithTimeCovariate : public DSBottomLineReporter
{
public:
    bool hasResultForColumns(const DSColumnSelection *columns, const DSColumnSelection *covariates) override;
    Result resultForColumns(const DSColumnSelection *columns, const DSColumnSelection *covariates, const uint8_t *mask,
                            qint64 length) override;
};
