#pragma once

#include "stats/DSBottomLineReporter.h"

// Category columns measured on the same rows: two conformable ones, or three or more binary ones.
// Takes its place in the chain; its test, sentence and commands are the
// base's until they are written.
class DSBottomLineReporterRepeatedCategories : public DSBottomLineReporter
{
public:
    bool hasResultForColumns(const DSColumnSelection *columns, const DSColumnSelection *covariates) override;
};
