#pragma once

#include "stats/DSBottomLineReporter.h"

// Two or more survival-time columns, all numeric or all time.
// Takes its place in the chain; its test, sentence and commands are the
// base's until they are written.
class DSBottomLineReporterMultipleSurvival : public DSBottomLineReporter
{
public:
    bool hasResultForColumns(const DSColumnSelection *columns, const DSColumnSelection *covariates) override;
};
