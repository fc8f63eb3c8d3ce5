#include "RegressionTestSupport.h"

#include "tests/model/ModelTestSupport.h"

#include "model/DSDataRoot.h"
#include "platform/store/DSObjectFactory.h"

void RegressionTest::SetUp()
{
    ds_test_setup();
    useTestColumns();
    ASSERT_TRUE(document.initWithType(DSStatDocument::nativeType));
    table = ds_object_cast<DSDataTable>(document.active_table());
    ASSERT_TRUE(table);
}

namespace {

template <class T>
T *newColumn(DSTable *table, const char *entity, const QString &name)
{
    auto *column = ds_object_cast<T>(table->insertNewObjectOfEntity(QString::fromLatin1(entity)));
    column->setName(name);
    table->insertNewColumns({column}, table->sortedColumns().size());
    return column;
}

} // namespace

TestNumericColumn *RegressionTest::numeric(const QString &name, std::vector<double> values)
{
    auto *column = newColumn<TestNumericColumn>(table, "DSNumericDataColumn", name);
    rows = qint64(values.size());
    table->setNum_records(rows);
    column->values = std::move(values);
    return column;
}

TestIndicatorColumn *RegressionTest::indicator(const QString &name, const std::vector<int> &bits)
{
    auto *column = newColumn<TestIndicatorColumn>(table, "DSIndicatorLocalColumn", name);
    rows = qint64(bits.size());
    table->setNum_records(rows);
    column->bits.assign((bits.size() + 7) / 8, 0);
    for (size_t r = 0; r < bits.size(); ++r)
        if (bits[r])
            column->bits[r / 8] |= uint8_t(1u << (r % 8));
    return column;
}

DSTextDataColumn *RegressionTest::text(const QString &name, const std::vector<const char *> &texts)
{
    rows = qint64(texts.size());
    table->setNum_records(rows);
    auto *column = newColumn<DSTextDataColumn>(table, "DSTextDataColumn", name);
    for (const char *t : texts)
        EXPECT_TRUE(t ? column->appendTextValue(t) : column->appendEmptyValue());
    EXPECT_TRUE(column->saveAfterImport());
    return column;
}

DSTimeDataColumn *RegressionTest::times(const QString &name, const std::vector<double> &values, bool timeOfDay)
{
    rows = qint64(values.size());
    table->setNum_records(rows);
    auto *column = newColumn<DSTimeDataColumn>(table, "DSTimeDataColumn", name);
    column->setRelative_time_unit(timeOfDay ? 1 : 0);
    for (double value : values)
        column->appendTimeValue(value, std::isnan(value) ? 0 : timeOfDay ? 60 : 86400);
    column->saveAfterImport();
    return column;
}

DSRegressionModel *RegressionTest::newModel(const QString &name)
{
    auto *model = ds_object_cast<DSRegressionModel>(table->insertNewObjectOfEntity(QStringLiteral("DSRegressionModel")));
    model->setName(name);
    table->insertRegressionModel(model, table->sortedRegressionModels().size());
    model->setTable(table);
    return model;
}

DSOutcomeVariable *RegressionTest::addOutcome(DSRegressionModel *model, DSColumn *column)
{
    auto *outcome = ds_object_cast<DSOutcomeVariable>(model->insertNewObjectOfEntity(QStringLiteral("DSOutcomeVariable")));
    outcome->setColumn(column);
    model->insertOutcomeVariable(outcome, model->sortedOutcomeVariables().size());
    outcome->setModel(model);
    return outcome;
}

DSExplanatoryColumnVariable *RegressionTest::addVariable(DSRegressionModel *model, DSColumn *column, bool categorical,
                                                         qint64 terms)
{
    DSExplanatoryColumnVariable *variable = model->insertNewExplanatoryVariableWithColumn(column);
    if (categorical)
        variable->setTreat_as_categories(true);
    variable->setHigher_order_terms(terms);
    return variable;
}

DSExplanatoryInteractionVariable *RegressionTest::addInteraction(DSRegressionModel *model,
                                                                 DSExplanatoryColumnVariable *a,
                                                                 DSExplanatoryColumnVariable *b)
{
    DSExplanatoryInteractionVariable *interaction = model->insertNewInteractionVariableWithInputs({a, b});
    model->insertExplanatoryVariable(interaction, model->sortedExplanatoryVariables().size() - 1);
    return interaction;
}

DSPrediction *RegressionTest::addPrediction(DSRegressionModel *model, DSOutcomeVariable *outcome)
{
    auto *prediction = ds_object_cast<DSPrediction>(model->insertNewObjectOfEntity(QStringLiteral("DSPrediction")));
    model->insertPrediction(prediction, model->sortedPredictions().size());
    prediction->setModel(model);
    prediction->setOutcome_variable(outcome);
    prediction->createMissingPredictionAssumptions();
    return prediction;
}

void RegressionTest::assume(DSPrediction *prediction, DSExplanatoryVariable *variable, double value)
{
    DSPredictionAssumption *assumption = prediction->assumptionForVariable(variable);
    ASSERT_TRUE(assumption);
    assumption->setNumeric_value(value);
    assumption->setTemp_numeric_value(value);
}

void RegressionTest::assumeCategory(DSPrediction *prediction, DSExplanatoryVariable *variable, qint64 category)
{
    DSPredictionAssumption *assumption = prediction->assumptionForVariable(variable);
    ASSERT_TRUE(assumption);
    assumption->setCategory_value(category);
}

WrittenMatrix ds_written_matrix(DSRegressionModel *model)
{
    model->rebuildLookupTables();
    WrittenMatrix m;
    m.rows = qint64(model->temp_panel_lookup().size());
    m.data.assign(size_t(m.rows * model->dataMatrixWidth()), NAN);
    m.columns = model->writeDataMatrix({m.data.data(), m.rows, m.rows});
    return m;
}

std::vector<int32_t> ds_listed_columns(DSExplanatoryVariable *variable)
{
    std::vector<int32_t> listed(size_t(std::max<qint64>(variable->temp_matrix_col_range().length, 1)));
    listed.resize(size_t(variable->populateIndependentColumnsBuffer(listed.data())));
    return listed;
}
