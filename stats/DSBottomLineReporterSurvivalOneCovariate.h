#pragma once

#include "stats/DSBottomLineReporter.h"

// One survival-time column against one covariate.
// Takes its place in the chain; its test, sentence and commands are the
// base's until they are written.
class DSBottomLineReporterSurvivalOneCovariate : public DSBottomLineReporter
{
public:
    bool hasResultForColumns(const DSColumnSelection *columns, const DSColumnSelection *covariates) override;
};
