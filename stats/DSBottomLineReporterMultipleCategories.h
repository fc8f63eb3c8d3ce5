#pragma once

#include "stats/DSBottomLineReporter.h"

// Two or more conformable category columns, not repeated measures.
// Takes its place in the chain; its test, sentence and commands are the
// base's until they are written.
class DSBottomLineReporterMultipleCategories : public DSBottomLineReporter
{
public:
    bool hasResultForColumns(const DSColumnSelection *columns, const DSColumnSelection *covariates) override;
};
