#pragma once

#include "stats/DSBottomLineReporter.h"

// One time column (not survival times) against one covariate.
// Takes its place in the chain; its test, sentence and commands are the
// base's until they are written.
class DSBottomLineReporterTimeWithCovariate : public DSBottomLineReporter
{
public:
    bool hasResultForColumns(const DSColumnSelection *columns, const DSColumnSelection *covariates) override;
};
