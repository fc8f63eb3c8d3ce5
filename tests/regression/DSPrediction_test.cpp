// Predictions without a fit: the regressor row vector their assumptions
// build, one variable's override, the assumptions they make for the model's
// variables, the slider ranges those suggest, a deleted prediction, and the
// selected prediction kept through a save.
#include "RegressionTestSupport.h"

#include "model/DSTable.h"
#include "platform/store/DSManagedObjectContext.h"
#include "tests/model/ds_test_time.h"

#include <QTemporaryDir>
#include <QUrl>

namespace {

using Row = std::vector<double>;

class DSPredictionTest : public RegressionTest
{
protected:
    // A model of x (one higher-order term) and the three categories of c
    // (base 0), its matrix written; the prediction of x = 2, c = 2.
    DSPrediction *powersAndCategories()
    {
        auto *xs = numeric(QStringLiteral("x"), {1, 2, 3, 4});
        auto *cs = numeric(QStringLiteral("c"), {0, 1, 2, 0});
        model = newModel();
        x = addVariable(model, xs, false, 1);
        c = addVariable(model, cs, true);
        addOutcome(model, xs);
        ds_written_matrix(model);
        DSPrediction *prediction = addPrediction(model, model->outcomeVariableAtIndex(0));
        assume(prediction, x, 2);
        assumeCategory(prediction, c, 2);
        return prediction;
    }

    DSRegressionModel *model = nullptr;
    DSExplanatoryColumnVariable *x = nullptr;
    DSExplanatoryColumnVariable *c = nullptr;
};

TEST_F(DSPredictionTest, RowVectorHoldsTheConstantPowersAndTheAssumedCategory)
{
    DSPrediction *prediction = powersAndCategories();
    EXPECT_EQ(prediction->rowVector(), (Row{1, 2, 4, 0, 1}));
    assumeCategory(prediction, c, 0);
    EXPECT_EQ(prediction->rowVector(), (Row{1, 2, 4, 0, 0})) << "the base category has no regressor";
    assumeCategory(prediction, c, 7);
    EXPECT_EQ(prediction->rowVector(), (Row{1, 2, 4, 0, 0})) << "past the categories: the base's";
    model->setInclude_constant(false);
    EXPECT_EQ(prediction->rowVector(), (Row{2, 4, 0, 0}));
}

// The cells of a categorical interaction skip the base categories of inputs
// whose own regressors are in the model.
TEST_F(DSPredictionTest, InteractionCellsOfTwoCategoricalInputs)
{
    auto *as = numeric(QStringLiteral("a"), {0, 1, 0, 1, 0, 1});
    auto *bs = numeric(QStringLiteral("b"), {0, 1, 2, 0, 1, 2});
    model = newModel();
    DSExplanatoryColumnVariable *a = addVariable(model, as, true);
    DSExplanatoryColumnVariable *b = addVariable(model, bs, true);
    DSExplanatoryInteractionVariable *ab = addInteraction(model, a, b);
    addOutcome(model, as);
    ds_written_matrix(model);
    ASSERT_EQ(ab->cachedNumberOfRegressors(), 2);
    DSPrediction *prediction = addPrediction(model, model->outcomeVariableAtIndex(0));
    assumeCategory(prediction, a, 1);
    assumeCategory(prediction, b, 2);
    EXPECT_EQ(prediction->rowVector(), (Row{1, 1, 0, 1, 0, 1}));
    assumeCategory(prediction, a, 0);
    assumeCategory(prediction, b, 1);
    EXPECT_EQ(prediction->rowVector(), (Row{1, 0, 1, 0, 0, 0}));
}

// Overriding x changes only its own block and that of the interaction
// that uses it; a number times a category puts the number in the
// category's cell.
TEST_F(DSPredictionTest, OverrideChangesOnlyTheBlocksOfItsVariable)
{
    auto *xs = numeric(QStringLiteral("x"), {1, 2, 3, 4});
    auto *cs = numeric(QStringLiteral("c"), {0, 1, 2, 0});
    auto *zs = numeric(QStringLiteral("z"), {5, 6, 7, 8});
    model = newModel();
    x = addVariable(model, xs);
    c = addVariable(model, cs, true);
    DSExplanatoryColumnVariable *z = addVariable(model, zs);
    addInteraction(model, x, c);
    addInteraction(model, x, z);
    addOutcome(model, xs);
    ds_written_matrix(model);
    DSPrediction *prediction = addPrediction(model, model->outcomeVariableAtIndex(0));
    assume(prediction, x, 2);
    assumeCategory(prediction, c, 1);
    assume(prediction, z, 5);
    // 1, x, c = 1, c = 2, z, x on c = 1, x on c = 2, x z
    EXPECT_EQ(prediction->rowVector(), (Row{1, 2, 1, 0, 5, 2, 0, 10}));
    EXPECT_EQ(prediction->rowVector({0, 3, x}), (Row{1, 3, 1, 0, 5, 3, 0, 15}));
    EXPECT_EQ(prediction->rowVector({2, NAN, c}), (Row{1, 2, 0, 1, 5, 0, 2, 10}));
    EXPECT_EQ(prediction->rowVector(), (Row{1, 2, 1, 0, 5, 2, 0, 10})) << "the assumptions stay";
}

// Every block holds its variable's regressors, so a variable without an
// assumption (zeros) or without regressors (a text column) keeps the rest
// in line with the coefficients.
TEST_F(DSPredictionTest, BlocksStayInLineWithoutAssumptionsOrRegressors)
{
    DSPrediction *prediction = powersAndCategories();
    DSTextDataColumn *names = text(QStringLiteral("n"), {"a", "b", "c", "d"});
    DSExplanatoryColumnVariable *other = addVariable(model, names);
    other->setTreat_as_categories(false);
    auto *ws = numeric(QStringLiteral("w"), {1, 1, 2, 2});
    DSExplanatoryColumnVariable *w = addVariable(model, ws);
    ds_written_matrix(model);
    ASSERT_EQ(model->cachedNumberOfRegressors(), 6);
    EXPECT_EQ(prediction->rowVector(), (Row{1, 2, 4, 0, 1, 0})) << "w has no assumption yet";
    prediction->createMissingPredictionAssumptions();
    assume(prediction, w, 3);
    EXPECT_EQ(prediction->rowVector(), (Row{1, 2, 4, 0, 1, 3}));
}

// One assumption per included column variable, made once, none for an
// interaction; sorted by their variables' order.
TEST_F(DSPredictionTest, MissingAssumptionsAreMadeOncePerIncludedColumnVariable)
{
    DSPrediction *prediction = powersAndCategories();
    auto *zs = numeric(QStringLiteral("z"), {5, 6, 7, 8});
    DSExplanatoryColumnVariable *z = addVariable(model, zs);
    addInteraction(model, x, z);
    auto *excluded = addVariable(model, numeric(QStringLiteral("e"), {1, 2, 3, 4}));
    excluded->setIs_included(false);
    prediction->createMissingPredictionAssumptions();
    prediction->createMissingPredictionAssumptions();
    ASSERT_EQ(prediction->prediction_assumptions().size(), 3);
    QList<DSExplanatoryColumnVariable *> order;
    for (DSPredictionAssumption *assumption : prediction->sortedPredictionAssumptions())
        order << assumption->explanatory_variable();
    EXPECT_EQ(order, (QList<DSExplanatoryColumnVariable *>{x, c, z}));
    EXPECT_EQ(prediction->assumptionForVariable(z)->prediction(), prediction);
    EXPECT_FALSE(prediction->assumptionForVariable(excluded));
    prediction->setActive_explanatory(c);
    EXPECT_EQ(prediction->active_assumption(), prediction->assumptionForVariable(c));
}

// Sliders: a numeric column's range snapped outward to a grid of at least 7
// steps (1.3 to 9.6: 1 to 10) and its mean,
// a time column's in the variable's days, an indicator's 0 to 1 from 0.
TEST_F(DSPredictionTest, SuggestedRangesAndStartingValues)
{
    auto *xs = numeric(QStringLiteral("x"), {1.3, 2, 9.6, 4});
    auto *bits = indicator(QStringLiteral("i"), {1, 0, 1, 1});
    auto *dates = times(QStringLiteral("t"), {ds_test_time(2001, 1, 3), ds_test_time(2001, 1, 7, 12),
                                              ds_test_time(2001, 1, 5), ds_test_time(2001, 1, 4)});
    model = newModel();
    DSExplanatoryColumnVariable *number = addVariable(model, xs);
    DSExplanatoryColumnVariable *flag = addVariable(model, bits);
    DSExplanatoryColumnVariable *time = addVariable(model, dates);
    addOutcome(model, xs);
    ds_written_matrix(model);
    DSPrediction *prediction = addPrediction(model, model->outcomeVariableAtIndex(0));
    struct Case {
        DSExplanatoryColumnVariable *variable;
        double min, max, mean;
    } cases[] = {{number, 1, 10, 4.225}, {flag, 0, 1, 0}, {time, 0, 4.5, 2.25}};
    for (const Case &k : cases) {
        SCOPED_TRACE(k.variable->name().toStdString());
        double min = NAN, max = NAN;
        const DSPredictionAssumption *assumption = prediction->assumptionForVariable(k.variable);
        assumption->suggestMinMax(&min, &max, nullptr, 0);
        EXPECT_DOUBLE_EQ(min, k.min);
        EXPECT_DOUBLE_EQ(max, k.max);
        EXPECT_DOUBLE_EQ(assumption->suggestMeanForMask(nullptr, 0), k.mean);
        assumption->suggestMinMax(nullptr, nullptr, nullptr, 0); // either end may be left out
    }
}

// A deleted prediction leaves the model's order and selection; the others
// move down.
TEST_F(DSPredictionTest, DeletionLeavesTheModelsOrder)
{
    DSPrediction *first = powersAndCategories();
    DSPrediction *second = addPrediction(model, model->outcomeVariableAtIndex(0));
    model->setActive_prediction(first);
    document.managedObjectContext()->deleteObject(first);
    document.managedObjectContext()->processPendingChanges();
    EXPECT_FALSE(model->active_prediction());
    EXPECT_EQ(second->index(), 0);
    EXPECT_EQ(model->sortedPredictions(), DSObjectList{second});
}

// The selected prediction is stored: the document opened again selects the
// same one.
TEST_F(DSPredictionTest, SelectedPredictionOutlivesSaveAndOpen)
{
    powersAndCategories();
    DSPrediction *second = addPrediction(model, model->outcomeVariableAtIndex(0));
    model->setActive_prediction(second);
    QTemporaryDir dir;
    const QUrl package = QUrl::fromLocalFile(dir.filePath(QStringLiteral("Predictions.ostrel")));
    DSError error;
    ASSERT_TRUE(document.writeSafelyToURL(package, DSStatDocument::nativeType, DSSaveOperation::SaveAs, &error))
        << error.localizedDescription.toStdString();
    DSStatDocument reopened;
    ASSERT_TRUE(reopened.readFromURL(package, DSStatDocument::nativeType, &error))
        << error.localizedDescription.toStdString();
    ASSERT_EQ(reopened.data_root()->sortedTables().size(), 1);
    DSTable *table = reopened.data_root()->sortedTables().first();
    ASSERT_EQ(table->sortedRegressionModels().size(), 1);
    auto *opened = ds_object_cast<DSRegressionModel>(table->sortedRegressionModels().first());
    ASSERT_TRUE(opened && opened->active_prediction());
    EXPECT_EQ(opened->active_prediction(), opened->sortedPredictions().value(1));
}

} // namespace
