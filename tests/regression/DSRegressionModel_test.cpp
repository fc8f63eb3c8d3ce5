// The model entity: its order, its data matrix and panel lookup, the
// frequency weights of a run, and what survives saving, reopening and
// copying.
#include "RegressionTestSupport.h"

#include "model/DSDataRoot.h"
#include "platform/store/DSManagedObjectContext.h"
#include "tests/varrow/vrw_test_support.h"
#include "varrow/varrow.h"

#include <QTemporaryDir>
#include <QUrl>

#include <memory>

namespace {

using Column = std::vector<double>;
constexpr double N = NAN;

class DSRegressionModelTest : public RegressionTest
{
};

// x with two powers, a categorical column with three values and missing
// rows, a variable left out of the fit, an interaction placed before it in
// the matrix's order by kind, and two outcomes.
struct LayoutModel
{
    DSRegressionModel *model;
    DSExplanatoryColumnVariable *x, *c, *z;
    DSExplanatoryInteractionVariable *xc;
    DSOutcomeVariable *y, *b;
};

TEST_F(DSRegressionModelTest, MatrixHoldsOnesThenColumnVariablesThenInteractionsThenOutcomes)
{
    auto *xColumn = numeric(QStringLiteral("x"), {1, 2, N, -1, 0.5, 3});
    auto *cColumn = numeric(QStringLiteral("c"), {1, 2, 3, N, 1, 2});
    auto *zColumn = numeric(QStringLiteral("z"), {5, 6, 7, 8, 9, 10});
    auto *yColumn = numeric(QStringLiteral("y"), {0.5, 1, 1.5, N, 2, 2.5});
    auto *bColumn = indicator(QStringLiteral("b"), {1, 0, 1, 1, 0, 0});
    LayoutModel m{};
    m.model = newModel();
    m.x = addVariable(m.model, xColumn, false, 2);
    m.c = addVariable(m.model, cColumn, true);
    m.xc = addInteraction(m.model, m.x, m.c);
    m.z = addVariable(m.model, zColumn);
    m.z->setIs_included(false);
    m.y = addOutcome(m.model, yColumn);
    m.b = addOutcome(m.model, bColumn);
    ASSERT_EQ(m.xc->index(), 2);
    ASSERT_EQ(m.z->index(), 3);

    const WrittenMatrix w = ds_written_matrix(m.model);
    ASSERT_EQ(w.columns, 15);
    EXPECT_EQ(m.model->dataMatrixWidth(), 15);
    EXPECT_EQ(m.model->totalNumberOfRegressors(), 13);
    const std::vector<Column> expected = {
        {1, 1, 1, 1, 1, 1},                  // the constant's column
        {1, 2, 0, -1, 0.5, 3},               // x
        {1, 4, 0, 1, 0.25, 9},               // x²
        {1, 8, 0, -1, 0.125, 27},            // x³
        {1, 0, 0, 0, 1, 0},                  // c = 1
        {0, 1, 0, 0, 0, 1},                  // c = 2
        {0, 0, 1, 0, 0, 0},                  // c = 3
        {0, 0, 0, 1, 0, 0},                  // c missing
        {5, 6, 7, 8, 9, 10},                 // z, left out of the fit but in place
        {1, 0, 0, 0, 0.5, 0},                // x on c = 1
        {0, 2, 0, 0, 0, 3},                  // x on c = 2
        {0, 0, 0, 0, 0, 0},                  // x on c = 3 (x missing there)
        {0, 0, 0, -1, 0, 0},                 // x on c missing
        {0.5, 1, 1.5, 0, 2, 2.5},            // y, missing as 0
        {1, 0, 1, 1, 0, 0},                  // b
    };
    for (qint64 k = 0; k < w.columns; ++k)
        EXPECT_EQ(w.column(k), expected[size_t(k)]) << "column " << k;

    const struct
    {
        const char *what;
        ds_column_range_s range, expected;
    } ranges[] = {
        {"x", m.x->temp_matrix_col_range(), {1, 3}},
        {"c", m.c->temp_matrix_col_range(), {4, 4}},
        {"z", m.z->temp_matrix_col_range(), {8, 1}},
        {"x × c", m.xc->temp_matrix_col_range(), {9, 4}},
        {"y", m.y->temp_matrix_col_range(), {13, 1}},
        {"b", m.b->temp_matrix_col_range(), {14, 1}},
    };
    for (const auto &r : ranges) {
        EXPECT_EQ(r.range.location, r.expected.location) << r.what;
        EXPECT_EQ(r.range.length, r.expected.length) << r.what;
    }

    // Each outcome has its own range of coefficient sets.
    EXPECT_EQ(m.y->coefficient_offset(), 0);
    EXPECT_EQ(m.b->coefficient_offset(), 1);

    // The fit's regressors: every power, all categories but the first, and
    // the interaction cells but the one of c's base category (x is in).
    EXPECT_EQ(ds_listed_columns(m.x), (std::vector<int32_t>{1, 2, 3}));
    EXPECT_EQ(ds_listed_columns(m.c), (std::vector<int32_t>{5, 6, 7}));
    EXPECT_EQ(ds_listed_columns(m.xc), (std::vector<int32_t>{10, 11, 12}));
    EXPECT_EQ(m.xc->cachedNumberOfRegressors(), 3);
    EXPECT_EQ(m.model->numberOfIncludedRegressors(), 1 + 3 + 3 + 3);
    EXPECT_EQ(m.model->cachedNumberOfRegressors(), 1 + 3 + 3 + 3);
    ASSERT_EQ(m.xc->number_of_estimates(), 4);
    EXPECT_EQ(m.xc->estimateAtIndex(1)->label, QStringLiteral("x × 2"));
    EXPECT_EQ(m.xc->estimateAtIndex(3)->label, QStringLiteral("x × Missing"));
    EXPECT_EQ(m.x->estimateAtIndex(2)->label, QStringLiteral("(x)³"));
}

// The matrix goes to the library in its own padded layout: what the device
// holds is what the library makes of the plain column-major matrix.
TEST_F(DSRegressionModelTest, LoadedMatrixIsTheLibrarysLayoutOfTheWrittenOne)
{
    std::vector<double> xs(37), ys(37);
    for (size_t r = 0; r < xs.size(); ++r) {
        xs[r] = double(r) / 4;
        ys[r] = r % 3 ? 1 : 0;
    }
    auto *x = numeric(QStringLiteral("x"), xs);
    auto *y = indicator(QStringLiteral("y"), std::vector<int>(ys.begin(), ys.end()));
    DSRegressionModel *model = newModel();
    addVariable(model, x, false, 1);
    addOutcome(model, y);
    const WrittenMatrix w = ds_written_matrix(model);

    std::unique_ptr<VRWContext_s, VRWContextFree> context(vrw_test_context(0));
    ASSERT_TRUE(context);
    VRWMatrixBuffer_s *loaded = model->dataBuffer(context.get());
    ASSERT_TRUE(loaded);
    EXPECT_EQ(model->dataBuffer(context.get()), loaded) << "kept until unloaded";
    int32_t status = 0;
    std::unique_ptr<VRWMatrixBuffer_s, VRWMatrixUnload> plain(
        vrw_load_matrix(context.get(), w.data.data(), int32_t(w.rows), int32_t(w.columns), &status));
    ASSERT_EQ(status, 0);
    ASSERT_EQ(loaded->observations, plain->observations);
    ASSERT_EQ(loaded->columns, plain->columns);
    ASSERT_EQ(loaded->blocks, plain->blocks);
    const size_t n = size_t(loaded->blocks) * 16 * size_t(loaded->columns);
    std::vector<double> device(n), expected(n);
    ASSERT_EQ(vrw_read_fp_buffer(context.get(), loaded->data, n, device.data()), 0);
    ASSERT_EQ(vrw_read_fp_buffer(context.get(), plain->data, n, expected.data()), 0);
    EXPECT_EQ(device, expected);

    model->unloadDataMatrix();
    EXPECT_EQ(model->data_buf(), nullptr);
}

TEST_F(DSRegressionModelTest, FixedEffectsGroupRowsByPanelInIndexOrder)
{
    auto *panel = numeric(QStringLiteral("p"), {3, 1, 3, 2});
    auto *y = numeric(QStringLiteral("y"), {10, 11, 12, 13});
    DSRegressionModel *model = newModel();
    model->setPanel_column(panel);
    addOutcome(model, y);

    model->rebuildLookupTables();
    EXPECT_EQ(model->temp_panel_lookup(), (std::vector<int32_t>{0, 1, 2, 3})) << "no fixed effects: the identity";
    EXPECT_EQ(model->temp_panel_count(), 0);
    EXPECT_TRUE(model->hasConstantTerm());

    model->setFixed_effects(true);
    model->setNeeds_panels_rebuilt(true);
    model->rebuildLookupTables();
    EXPECT_FALSE(model->needs_panels_rebuilt());
    EXPECT_EQ(model->temp_panel_lookup(), (std::vector<int32_t>{1, 3, 0, 2}));
    EXPECT_EQ(model->temp_panel_sizes(), (std::vector<int32_t>{1, 1, 2}));
    EXPECT_EQ(model->temp_panel_count(), 3);
    EXPECT_FALSE(model->hasConstantTerm());
    const WrittenMatrix w = ds_written_matrix(model);
    EXPECT_EQ(w.column(0), (Column{1, 1, 1, 1})) << "the ones stay without a constant term";
    EXPECT_EQ(w.column(1), (Column{11, 13, 10, 12}));

    std::unique_ptr<VRWContext_s, VRWContextFree> context(vrw_test_context(0));
    ASSERT_TRUE(context);
    ASSERT_TRUE(model->dataBuffer(context.get()));
    EXPECT_EQ(model->data_buf()->panel_count, 3);
}

TEST_F(DSRegressionModelTest, FrequencyWeightsAreZeroOutsideTheMaskAndBelowOne)
{
    auto *w = numeric(QStringLiteral("w"), {0, -2, 3, 2});
    auto *y = numeric(QStringLiteral("y"), {1, 2, 3, 4});
    DSRegressionModel *model = newModel();
    addOutcome(model, y);
    model->rebuildLookupTables();
    const uint8_t firstThree = 0x7, all = 0xf;

    EXPECT_EQ(model->frequencyWeightsForMask(&firstThree, 1), (Column{1, 1, 1, 0})) << "unweighted";
    EXPECT_EQ(model->frequencyWeightsForMask(nullptr, 0), (Column{0, 0, 0, 0})) << "an empty mask";
    table->setFrequency_weights_column(w);
    table->setApply_frequency_weights(true);
    EXPECT_EQ(model->frequencyWeightsForMask(&firstThree, 1), (Column{0, 0, 3, 0}));
    EXPECT_EQ(model->frequencyWeightsForMask(&all, 1), (Column{0, 0, 3, 2}));

    std::unique_ptr<VRWContext_s, VRWContextFree> context(vrw_test_context(0));
    ASSERT_TRUE(context);
    VRWVectorBuffer_s *loaded = model->frequencyBufferForMask(&all, 1, context.get());
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->length, 4u);
    vrw_unload_vector(loaded);
}

TEST_F(DSRegressionModelTest, RemovingAMemberRenumbersTheRestAndLeavesItAtMinusOne)
{
    DSRegressionModel *model = newModel();
    QList<DSExplanatoryColumnVariable *> variables;
    for (int k = 0; k < 5; ++k)
        variables << addVariable(model, numeric(QStringLiteral("v%1").arg(k), {1, 2, 3}));
    DSExplanatoryVariable *removed = model->removeExplanatoryVariableFromIndex(2);
    EXPECT_EQ(removed, variables[2]);
    std::vector<qint64> indexes;
    for (DSExplanatoryColumnVariable *v : variables)
        indexes.push_back(v->index());
    EXPECT_EQ(indexes, (std::vector<qint64>{0, 1, -1, 2, 3}));
    EXPECT_EQ(model->sortedExplanatoryVariables().first(), removed) << "the removed one sorts first";
    EXPECT_EQ(model->explanatoryVariableAtIndex(0), variables[0]);
    EXPECT_EQ(model->explanatoryVariableAtIndex(3), variables[4]);
    EXPECT_EQ(model->explanatoryVariableAtIndex(4), nullptr);
    EXPECT_EQ(model->removeExplanatoryVariableFromIndex(7), nullptr);
}

// The order, the inclusion and every setting of the variables are stored;
// the selections travel with a copy.
TEST_F(DSRegressionModelTest, OrderAndSettingsSurviveSaveReopenAndCopy)
{
    auto *a = numeric(QStringLiteral("a"), {1, 2, 3});
    auto *b = numeric(QStringLiteral("b"), {2, 1, 2});
    auto *y = numeric(QStringLiteral("y"), {0, 1, 0});
    auto *y2 = numeric(QStringLiteral("y2"), {1, 1, 0});
    DSRegressionModel *model = newModel(QStringLiteral("m"));
    DSExplanatoryColumnVariable *va = addVariable(model, a, false, 3);
    DSExplanatoryColumnVariable *vb = addVariable(model, b, true);
    vb->setOmitted_category(1);
    addInteraction(model, va, vb)->setIs_included(false);
    model->insertExplanatoryVariable(model->removeExplanatoryVariableFromIndex(0), 2);
    addOutcome(model, y);
    DSOutcomeVariable *second = addOutcome(model, y2);
    second->setCardinal_model(DSOutcomeModelPoisson);
    second->setOrdered_values(QCborArray{3, 9, 1});
    model->setActive_outcome(second);
    model->setActive_explanatory_variable(vb);
    model->setFixed_effects(true);

    auto describe = [](DSRegressionModel *m) {
        QStringList lines{QStringLiteral("%1 fe %2").arg(m->name()).arg(m->fixed_effects())};
        for (DSExplanatoryVariable *v : m->sortedExplanatoryVariables()) {
            auto *cv = dynamic_cast<DSExplanatoryColumnVariable *>(v);
            lines << QStringLiteral("%1 %2 in %3 cat %4 omit %5 terms %6")
                         .arg(v->index())
                         .arg(v->name())
                         .arg(v->is_included())
                         .arg(cv && cv->treat_as_categories())
                         .arg(cv ? cv->omitted_category() : -1)
                         .arg(cv ? cv->higher_order_terms() : -1);
        }
        for (DSOutcomeVariable *o : m->sortedOutcomeVariables())
            lines << QStringLiteral("%1 %2 model %3 order %4")
                         .arg(o->index())
                         .arg(o->name())
                         .arg(o->cardinal_model())
                         .arg(QString::fromUtf8(o->ordered_values().toCborValue().toDiagnosticNotation().toUtf8()));
        return lines.join(QLatin1Char('\n'));
    };
    const QString before = describe(model);
    EXPECT_EQ(before, QStringLiteral("m fe 1\n"
                                     "0 b in 1 cat 1 omit 1 terms 0\n"
                                     "1 a × b in 0 cat 0 omit -1 terms -1\n"
                                     "2 a in 1 cat 0 omit 0 terms 3\n"
                                     "0 y model 0 order []\n"
                                     "1 y2 model 100 order [3, 9, 1]"));

    auto *copy = ds_object_cast<DSRegressionModel>(document.data_root()->duplicateManagedObject(model));
    ASSERT_TRUE(copy);
    EXPECT_EQ(describe(copy), before);
    EXPECT_EQ(copy->active_outcome(), copy->outcomeVariableAtIndex(1));
    EXPECT_NE(copy->active_outcome(), second);
    EXPECT_EQ(copy->active_explanatory_variable(), copy->explanatoryVariableAtIndex(0));
    EXPECT_NE(copy->active_explanatory_variable(), vb);

    QTemporaryDir dir;
    const QUrl url = QUrl::fromLocalFile(dir.filePath(QStringLiteral("m.ostrel")));
    DSError error;
    ASSERT_TRUE(document.writeSafelyToURL(url, DSStatDocument::nativeType, DSSaveOperation::SaveAs, &error));
    DSStatDocument reopened;
    ASSERT_TRUE(reopened.readFromURL(url, DSStatDocument::nativeType));
    ASSERT_TRUE(reopened.data_root());
    const QList<DSRegressionModel *> models =
        ds_objects_cast<DSRegressionModel>(reopened.data_root()->sortedTables().first()->sortedRegressionModels());
    ASSERT_EQ(models.size(), 2);
    EXPECT_EQ(describe(models[0]), before);
    EXPECT_EQ(describe(models[1]), before);
    EXPECT_TRUE(models[0]->needs_regression());
    EXPECT_TRUE(models[0]->needs_panels_rebuilt());
}

// Deleting a member takes it out of the order; deleting the model or
// turning it into a fault releases what it holds in the library.
TEST_F(DSRegressionModelTest, DeletionAndFaultsReleaseTheLibrarysBuffers)
{
    auto *x = numeric(QStringLiteral("x"), {1, 2, 3});
    auto *e = numeric(QStringLiteral("e"), {1, 1, 2});
    DSRegressionModel *model = newModel();
    QList<DSExplanatoryColumnVariable *> variables;
    for (int k = 0; k < 3; ++k)
        variables << addVariable(model, x);
    DSOutcomeVariable *outcome = addOutcome(model, x);
    outcome->setCardinal_model(DSOutcomeModelPoisson);
    outcome->setExposure_column(e);
    model->setActive_explanatory_variable(variables[1]);
    DSManagedObjectContext &context = *document.managedObjectContext();
    context.deleteObject(variables[1]);
    context.processPendingChanges();
    EXPECT_EQ(model->sortedExplanatoryVariables(), (QList<DSExplanatoryVariable *>{variables[0], variables[2]}));
    EXPECT_EQ(variables[2]->index(), 1);
    EXPECT_EQ(model->active_explanatory_variable(), nullptr);

    std::unique_ptr<VRWContext_s, VRWContextFree> vrw(vrw_test_context(0));
    ASSERT_TRUE(vrw);
    ASSERT_TRUE(model->dataBuffer(vrw.get()));
    ASSERT_TRUE(outcome->exposure_buf());
    context.deleteObject(model);
    context.processPendingChanges();
    EXPECT_EQ(model->data_buf(), nullptr);
    EXPECT_EQ(outcome->exposure_buf(), nullptr);
    EXPECT_TRUE(table->sortedRegressionModels().isEmpty());

    DSRegressionModel *other = newModel();
    addOutcome(other, x);
    ASSERT_TRUE(other->dataBuffer(vrw.get()));
    other->setNeeds_regression(false);
    context.reset();
    EXPECT_EQ(other->data_buf(), nullptr);
    EXPECT_TRUE(other->needs_regression());
    EXPECT_TRUE(other->temp_panel_lookup().empty());
}

TEST_F(DSRegressionModelTest, RunWithoutOutcomesOrWhenNotMarkedDoesNothing)
{
    DSRegressionModel *model = newModel();
    EXPECT_TRUE(model->needs_regression());
    DSError error;
    EXPECT_TRUE(model->runRegressionIfNeededForMask(nullptr, 0, nullptr, &error));
    EXPECT_FALSE(model->needs_regression());
    EXPECT_TRUE(model->runRegressionIfNeededForMask(nullptr, 0, nullptr, &error)) << "not marked: no library call";
    EXPECT_EQ(error.code, 0);

    // Outcomes without a fitting context: nothing reaches the library.
    addOutcome(model, numeric(QStringLiteral("y"), {1, 2}));
    model->setNeeds_regression(true);
    EXPECT_TRUE(model->runRegressionIfNeededForMask(nullptr, 0, nullptr, &error));
    EXPECT_EQ(model->data_buf(), nullptr);
    EXPECT_FALSE(model->needs_regression());
}

TEST_F(DSRegressionModelTest, NewVariablesTakeTheirKindFromTheColumn)
{
    auto *n = numeric(QStringLiteral("n"), {2, 1, N, 2});
    auto *i = indicator(QStringLiteral("i"), {1, 0, 1, 0});
    auto *t = text(QStringLiteral("t"), {"a", nullptr, "b", "a"});
    n->setTreat_as_categories(true);
    i->setTreat_as_categories(true);
    DSRegressionModel *model = newModel();
    model->setNeeds_regression(false);
    DSExplanatoryColumnVariable *vn = model->insertNewExplanatoryVariableWithColumn(n);
    EXPECT_TRUE(model->needs_regression());
    DSExplanatoryColumnVariable *vi = model->insertNewExplanatoryVariableWithColumn(i);
    DSExplanatoryColumnVariable *vt = model->insertNewExplanatoryVariableWithColumn(t);
    EXPECT_TRUE(vn->treat_as_categories());
    EXPECT_FALSE(vi->treat_as_categories());
    EXPECT_TRUE(vt->treat_as_categories());
    EXPECT_EQ(vn->omitted_category(), 0);
    EXPECT_EQ((std::vector<qint64>{vn->index(), vi->index(), vt->index()}), (std::vector<qint64>{0, 1, 2}));
    EXPECT_TRUE(vn->is_included() && vn->is_expanded());

    vi->setIs_included(false);
    model->setNeeds_regression(false);
    model->ensureColumnsAreIncluded({i, numeric(QStringLiteral("m"), {1, 2, 3, 4})});
    EXPECT_TRUE(vi->is_included());
    EXPECT_EQ(model->sortedExplanatoryVariables().size(), 4);
}

} // namespace
