#pragma once

#include "stats/DSBottomLineReporter.h"

// One category or indicator column against one time covariate not treated as categories.
// Takes its place in the chain; its test, sentence and commands are the
// base's until they are written.
class DSBottomLineReporterCategoriesWithTimeCovariate : public DSBottomLineReporter
{
public:
    bool hasResultForColumns(const DSColumnSelection *columns, const DSColumnSelection *covariates) override;
};
