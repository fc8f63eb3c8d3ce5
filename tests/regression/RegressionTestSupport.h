#pragma once

#include "tests/model/TestColumns.h"

#include "model/DSDataTable.h"
#include "model/DSStatDocument.h"
#include "model/DSTextDataColumn.h"
#include "model/DSTimeDataColumn.h"
#include "regression/DSExplanatoryColumnVariable.h"
#include "regression/DSExplanatoryInteractionVariable.h"
#include "regression/DSOutcomeVariable.h"
#include "regression/DSPrediction.h"
#include "regression/DSPredictionAssumption.h"
#include "regression/DSRegressionModel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

// A document with one table of a given number of rows whose columns the
// tests fill directly, and the model pieces built on it.
class RegressionTest : public ::testing::Test
{
protected:
    void SetUp() override;

    // New columns of the table, at the end of its order.
    TestNumericColumn *numeric(const QString &name, std::vector<double> values);
    TestIndicatorColumn *indicator(const QString &name, const std::vector<int> &bits);
    // A stored text column of the texts (null for a blank row), imported as
    // an importer does.
    DSTextDataColumn *text(const QString &name, const std::vector<const char *> &texts);
    // A stored time column of the times (seconds since 2001-01-01 GMT, or
    // since midnight for a time-of-day column; NaN empty), imported as an
    // importer does.
    DSTimeDataColumn *times(const QString &name, const std::vector<double> &values, bool timeOfDay = false);

    DSRegressionModel *newModel(const QString &name = QStringLiteral("Model"));
    // A new outcome of the column at the end of the model's order.
    DSOutcomeVariable *addOutcome(DSRegressionModel *model, DSColumn *column);
    // The column variable as the model makes it, with its settings.
    DSExplanatoryColumnVariable *addVariable(DSRegressionModel *model, DSColumn *column, bool categorical = false,
                                             qint64 terms = 0);
    // An interaction placed at the end of the order.
    DSExplanatoryInteractionVariable *addInteraction(DSRegressionModel *model, DSExplanatoryColumnVariable *a,
                                                     DSExplanatoryColumnVariable *b);
    // A prediction of the outcome at the end of the model's order, with an
    // assumption for every included column variable.
    DSPrediction *addPrediction(DSRegressionModel *model, DSOutcomeVariable *outcome);
    // Sets the variable's assumed value (both the stored and the edited one)
    // or category.
    static void assume(DSPrediction *prediction, DSExplanatoryVariable *variable, double value);
    static void assumeCategory(DSPrediction *prediction, DSExplanatoryVariable *variable, qint64 category);

    DSStatDocument document;
    DSDataTable *table = nullptr;
    qint64 rows = 0;
};

// The host matrix a model writes, unpadded: column c at c x rows.
struct WrittenMatrix
{
    std::vector<double> data;
    qint64 rows = 0;
    qint64 columns = 0;

    std::vector<double> column(qint64 c) const
    {
        return std::vector<double>(data.begin() + c * rows, data.begin() + (c + 1) * rows);
    }
};
WrittenMatrix ds_written_matrix(DSRegressionModel *model);

// The matrix columns a variable lists for a fit.
std::vector<int32_t> ds_listed_columns(DSExplanatoryVariable *variable);
