// Outcome variables: their roles, categories, include masks, matrix column
// and vectors.
#include "RegressionTestSupport.h"

#include "model/DSTextColumnCategory.h"

#include "model/DSColumnCategory.h"
#include "model/DSNumericColumnCategory.h"
#include "platform/store/DSManagedObjectContext.h"
#include "tests/model/ds_test_time.h"
#include "tests/varrow/vrw_test_support.h"
#include "varrow/varrow.h"

#include <memory>

namespace {

using Column = std::vector<double>;
using Rows = std::vector<int>;
constexpr double N = NAN;

class DSOutcomeVariableTest : public RegressionTest
{
protected:
    // The rows of an include mask, one 0 or 1 each.
    Rows maskRows(const uint8_t *mask, qint64 bytes) const
    {
        Rows out;
        for (qint64 r = 0; r < rows; ++r)
            out.push_back(r / 8 < bytes && (mask[r / 8] >> (r % 8) & 1));
        return out;
    }
    Rows modelMask(DSOutcomeVariable *outcome, const uint8_t *mask = nullptr, qint64 length = 0)
    {
        const uint8_t *out = nullptr;
        const qint64 bytes = outcome->getModelMask(&out, mask, length);
        return maskRows(out, bytes);
    }
    Rows predictionMask(DSOutcomeVariable *outcome)
    {
        const uint8_t *out = nullptr;
        const qint64 bytes = outcome->getPredictionMask(&out, nullptr, 0);
        return maskRows(out, bytes);
    }
};

TEST_F(DSOutcomeVariableTest, RolesLiveInRelationsMadeOnFirstWrite)
{
    auto *y = numeric(QStringLiteral("y"), {1, 2});
    auto *w = numeric(QStringLiteral("w"), {1, 1});
    DSOutcomeVariable *outcome = addOutcome(newModel(), y);
    EXPECT_EQ(outcome->exposure_column(), nullptr);
    EXPECT_EQ(outcome->default_column(), nullptr);
    EXPECT_FALSE(outcome->doExpose() || outcome->doWeight() || outcome->doCensor() || outcome->doStratify()
                 || outcome->doCause());

    outcome->setExposure_column(w);
    EXPECT_TRUE(outcome->apply_exposure()) << "an exposure applies at once";
    outcome->setWeight_column(w);
    EXPECT_FALSE(outcome->apply_weights());
    EXPECT_EQ(outcome->columnRelationWithTag(0)->integerForKey(QStringLiteral("tag")), 0);
    outcome->setCause_column(w);
    outcome->setApply_cause(true);
    EXPECT_EQ(outcome->objectsForKey(QStringLiteral("column_relations")).size(), 3);
    EXPECT_EQ(outcome->cause_column(), w);
    EXPECT_FALSE(outcome->doCause()) << "causes belong to Cox models";
    outcome->setCardinal_model(DSOutcomeModelCox);
    EXPECT_TRUE(outcome->doCause());
    EXPECT_TRUE(outcome->hasMultipleCoefficientSets());
    EXPECT_TRUE(outcome->hasPredictionDistribution());
}

TEST_F(DSOutcomeVariableTest, DeletingARoleColumnEmptiesEveryRole)
{
    auto *y = numeric(QStringLiteral("y"), {1, 2});
    auto *s = numeric(QStringLiteral("s"), {1, 1});
    DSOutcomeVariable *outcome = addOutcome(newModel(), y);
    outcome->setStratification_column(s);
    outcome->setDefault_column(s);
    outcome->setCause_column(s);
    outcome->setWeight_column(s);
    document.managedObjectContext()->deleteObject(s);
    document.managedObjectContext()->processPendingChanges();
    EXPECT_EQ(outcome->stratification_column(), nullptr);
    EXPECT_EQ(outcome->default_column(), nullptr);
    EXPECT_EQ(outcome->cause_column(), nullptr);
    EXPECT_EQ(outcome->weight_column(), nullptr);
}

// Which rows enter a fit: one table of models and roles over the same rows.
TEST_F(DSOutcomeVariableTest, IncludeMaskDropsWhatEachRoleCannotUse)
{
    auto *y = numeric(QStringLiteral("y"), {1, 0, -1, N, 2, 3});
    auto *exposure = numeric(QStringLiteral("e"), {1, 0, 2, 2, N, 1});
    auto *fallback = numeric(QStringLiteral("d"), {1, 1, 1, 1, 1, 1});
    auto *x = numeric(QStringLiteral("x"), {1, 2, 3, 4, 5, N});
    DSRegressionModel *model = newModel();
    DSOutcomeVariable *outcome = addOutcome(model, y);
    outcome->setExposure_column(exposure);
    outcome->setDefault_column(fallback);

    struct Case
    {
        const char *what;
        qint64 cardinal;
        bool exposed, defaulted;
        Rows rows;
    };
    const Case cases[] = {
        {"linear: the missing outcome leaves", DSOutcomeModelLinear, true, false, {1, 1, 1, 0, 1, 1}},
        {"Poisson with its exposure: exposure 0 and NaN leave", DSOutcomeModelPoisson, true, false, {1, 0, 1, 0, 0, 1}},
        {"Poisson, exposure not applied", DSOutcomeModelPoisson, false, false, {1, 1, 1, 0, 1, 1}},
        {"log-linear: outcomes at or below 0 leave", DSOutcomeModelLogLinear, true, false, {1, 0, 0, 0, 1, 1}},
        {"a default without missing rows keeps them", DSOutcomeModelLinear, false, true, {1, 1, 1, 1, 1, 1}},
    };
    for (const Case &c : cases) {
        outcome->setCardinal_model(c.cardinal);
        outcome->setApply_exposure(c.exposed);
        outcome->setApply_default(c.defaulted);
        EXPECT_EQ(modelMask(outcome), c.rows) << c.what;
    }

    // Included variables' missing rows leave; the caller's mask starts it;
    // the prediction mask keeps the missing outcome.
    outcome->setCardinal_model(DSOutcomeModelLinear);
    outcome->setApply_default(false);
    DSExplanatoryColumnVariable *vx = addVariable(model, x);
    EXPECT_EQ(modelMask(outcome), (Rows{1, 1, 1, 0, 1, 0}));
    EXPECT_EQ(predictionMask(outcome), (Rows{1, 1, 1, 1, 1, 0}));
    const uint8_t firstTwo = 0x3;
    EXPECT_EQ(modelMask(outcome, &firstTwo, 1), (Rows{1, 1, 0, 0, 0, 0}));
    vx->setIs_included(false);
    EXPECT_EQ(modelMask(outcome), (Rows{1, 1, 1, 0, 1, 1}));

    // Rows weighing less than 1 leave.
    table->setFrequency_weights_column(fallback);
    fallback->values = {1, 0, 2, 1, -1, 1};
    table->setApply_frequency_weights(true);
    EXPECT_EQ(modelMask(outcome), (Rows{1, 0, 1, 0, 0, 1}));
}

TEST_F(DSOutcomeVariableTest, LogLinearOutcomeOfAnotherKindKeepsNoRow)
{
    auto *b = indicator(QStringLiteral("b"), {1, 0, 1});
    DSOutcomeVariable *outcome = addOutcome(newModel(), b);
    outcome->setCardinal_model(DSOutcomeModelLogLinear);
    EXPECT_EQ(modelMask(outcome), (Rows{1, 1, 1})) << "a binary outcome is no log-linear one";
    auto *t = text(QStringLiteral("t"), {"a", "b", "a"});
    outcome->setColumn(t);
    EXPECT_EQ(modelMask(outcome), (Rows{0, 0, 0}));
}

TEST_F(DSOutcomeVariableTest, LogLinearTimeOutcomeKeepsNoRow)
{
    DSTimeDataColumn *t = times(QStringLiteral("t"), {ds_test_time(2001, 1, 2), ds_test_time(2001, 1, 3), N});
    DSOutcomeVariable *outcome = addOutcome(newModel(), t);
    EXPECT_EQ(modelMask(outcome), (Rows{1, 1, 0}));
    outcome->setCardinal_model(DSOutcomeModelLogLinear);
    EXPECT_EQ(modelMask(outcome), (Rows{0, 0, 0}));
    EXPECT_EQ(predictionMask(outcome), (Rows{1, 1, 1})) << "predictions keep them";
}

// A time outcome is written in days since 2001-01-01 (hours since midnight
// for times of day), a missing time taken from the applied default column;
// its reference is the start of the day (hour) of the earliest time written,
// which the 0.0 of a row without any time does not move.
TEST_F(DSOutcomeVariableTest, TimeOutcomeWritesDaysOrHours)
{
    constexpr double day = 86400, hour = 3600;
    const struct
    {
        const char *what;
        std::vector<double> times, defaults;
        bool timeOfDay, defaulted;
        Column written;
        double reference, divisor;
    } cases[] = {
        {"dates", {ds_test_time(2001, 1, 3, 12), N, ds_test_time(2001, 1, 2, 6)}, {}, false, false,
         {2.5, 0, 1.25}, 1, day},
        {"a date from the default",
         {ds_test_time(2001, 1, 3, 12), N, ds_test_time(2001, 1, 2, 6)},
         {ds_test_time(2001, 2, 1), ds_test_time(2000, 12, 30, 12), N}, false, true, {2.5, -1.5, 1.25}, -2, day},
        {"the default not applied", {ds_test_time(2001, 1, 3, 12), N, ds_test_time(2001, 1, 2, 6)},
         {ds_test_time(2001, 2, 1), ds_test_time(2000, 12, 30, 12), N}, false, false, {2.5, 0, 1.25}, 1, day},
        {"times of day", {9.5 * hour, 7.75 * hour, N}, {}, true, false, {9.5, 7.75, 0}, 7, hour},
        {"no time at all", {N, N}, {}, false, false, {0, 0}, 0, day},
    };
    for (const auto &c : cases) {
        DSTimeDataColumn *t = times(QStringLiteral("t"), c.times, c.timeOfDay);
        DSRegressionModel *model = newModel();
        DSOutcomeVariable *outcome = addOutcome(model, t);
        if (!c.defaults.empty()) {
            outcome->setDefault_column(times(QStringLiteral("d"), c.defaults));
            outcome->setApply_default(c.defaulted);
        }
        const WrittenMatrix w = ds_written_matrix(model);
        EXPECT_EQ(outcome->temp_matrix_col_range(), (ds_column_range_s{1, 1})) << c.what;
        EXPECT_EQ(w.column(1), c.written) << c.what;
        EXPECT_EQ(outcome->temp_reference_date(), c.reference) << c.what;
        EXPECT_EQ(outcome->temp_time_divisor(), c.divisor) << c.what;
    }
}

// Survival times from dates: a death date, and for those still alive the
// date last seen, which censors them. Rows without either leave the fit.
TEST_F(DSOutcomeVariableTest, FailureTimesFromDatesCensorWhereTheDefaultFills)
{
    DSTimeDataColumn *died = times(QStringLiteral("died"), {ds_test_time(2001, 3, 1), N, ds_test_time(2001, 2, 1), N});
    DSTimeDataColumn *seen = times(QStringLiteral("seen"), {N, ds_test_time(2001, 4, 1), ds_test_time(2001, 1, 1), N});
    DSRegressionModel *model = newModel();
    DSOutcomeVariable *outcome = addOutcome(model, died);
    outcome->setCardinal_model(DSOutcomeModelCox);
    outcome->setDefault_column(seen);
    outcome->setApply_default(true);
    EXPECT_FALSE(outcome->doCensor()) << "the default counts as an event unless it censors";
    outcome->setDefault_is_censored(true);
    EXPECT_TRUE(outcome->doCensor());
    EXPECT_EQ(modelMask(outcome), (Rows{1, 1, 1, 0}));

    const WrittenMatrix w = ds_written_matrix(model);
    EXPECT_EQ(w.column(1), (Column{59, 90, 31, 0}));
    EXPECT_EQ(outcome->temp_reference_date(), 31);

    std::unique_ptr<VRWContext_s, VRWContextFree> context(vrw_test_context(0));
    ASSERT_TRUE(context);
    model->rebuildLookupTables();
    ASSERT_EQ(outcome->rebuildBuffersWithPanelSizes(nullptr, 0, model->temp_panel_lookup().data(), context.get()), 0);
    ASSERT_TRUE(outcome->censoring_buf());
    std::vector<int32_t> censored(4);
    ASSERT_EQ(clEnqueueReadBuffer(context->queue, outcome->censoring_buf()->data, CL_TRUE, 0,
                                  censored.size() * sizeof(int32_t), censored.data(), 0, nullptr, nullptr),
              CL_SUCCESS);
    EXPECT_EQ(censored, (std::vector<int32_t>{0, 1, 0, 1}));
}

TEST_F(DSOutcomeVariableTest, OrderedValuesComeFirstThenTheSummaryOrder)
{
    auto *y = numeric(QStringLiteral("y"), {1, 2, 3, 3, N, 1});
    DSOutcomeVariable *outcome = addOutcome(newModel(), y);
    outcome->setTreat_as_categories(true);
    outcome->setOrdered_values(QCborArray{3, 9, 1});
    outcome->updateCategories();
    ASSERT_EQ(outcome->category_count(), 3);
    std::vector<double> values;
    for (qint64 i = 0; i < 3; ++i)
        values.push_back(std::dynamic_pointer_cast<DSNumericColumnCategory>(outcome->categoryAtIndex(i))->value());
    EXPECT_EQ(values, (Column{3, 1, 2}));
    EXPECT_EQ(outcome->category_lookup(), (Column{2, 0, 1}));
    EXPECT_EQ(outcome->categoryAtIndex(0)->count(), 2);
    EXPECT_EQ(outcome->categoryAtIndex(3), nullptr);
    EXPECT_EQ(outcome->temp_number_of_restrictions(), 2);
    EXPECT_FALSE(outcome->is_binary_response());
    EXPECT_TRUE(outcome->hasMultipleCoefficientSets());
}

// A text outcome's categories are its texts, and listed texts come first.
TEST_F(DSOutcomeVariableTest, TextOutcomeKeepsItsTextCategories)
{
    auto *y = text(QStringLiteral("y"), {"low", "high", "mid", "high", nullptr, "low"});
    DSOutcomeVariable *outcome = addOutcome(newModel(), y);
    outcome->setTreat_as_categories(true);
    outcome->setOrdered_values(QCborArray{QStringLiteral("mid"), QStringLiteral("none"), QStringLiteral("low")});
    outcome->updateCategories();
    ASSERT_EQ(outcome->category_count(), 3);
    QStringList values;
    for (qint64 i = 0; i < 3; ++i) {
        const auto category = std::dynamic_pointer_cast<DSTextColumnCategory>(outcome->categoryAtIndex(i));
        ASSERT_TRUE(category) << "category " << i << " is not a text category";
        values << category->value();
    }
    EXPECT_EQ(values, (QStringList{QStringLiteral("mid"), QStringLiteral("low"), QStringLiteral("high")}));
    EXPECT_EQ(outcome->categoryAtIndex(1)->count(), 2);
}

// A categorical outcome writes its bins; a multinomial fit numbers one set
// per own category, so the next outcome's sets start after all of them.
TEST_F(DSOutcomeVariableTest, CategoricalOutcomeWritesBinsAndFixesItsBase)
{
    auto *c = numeric(QStringLiteral("c"), {5, 6, 7, 5});
    auto *y = numeric(QStringLiteral("y"), {N, 1, 2, 3});
    auto *d = numeric(QStringLiteral("d"), {9, 9, 9, 9});
    DSRegressionModel *model = newModel();
    DSOutcomeVariable *first = addOutcome(model, c);
    first->setTreat_as_categories(true);
    first->setBase_category(17);
    DSOutcomeVariable *second = addOutcome(model, y);
    second->setDefault_column(d);
    second->setApply_default(true);
    const WrittenMatrix w = ds_written_matrix(model);
    EXPECT_EQ(w.column(1), (Column{0, 1, 2, 0}));
    EXPECT_EQ(w.column(2), (Column{9, 1, 2, 3})) << "the default fills the missing outcome";
    EXPECT_EQ(first->base_category(), 0) << "no own category matched";
    EXPECT_EQ(first->baseCategory(), first->categoryAtIndex(0));
    EXPECT_EQ(first->nonBaseCategory(), first->categoryAtIndex(1));
    EXPECT_EQ(first->coefficient_offset(), 0);
    EXPECT_EQ(second->coefficient_offset(), 3);
    EXPECT_EQ(first->coefficientSetForCategoryIndex(1), 1);
    EXPECT_EQ(second->active_coefficient_set(), 3);
    first->setActive_category(first->categoryAtIndex(2));
    EXPECT_EQ(first->active_coefficient_set(), 2);
}

TEST_F(DSOutcomeVariableTest, VectorsFollowThePanelLookup)
{
    auto *y = numeric(QStringLiteral("y"), {1, 2, 3, 4});
    auto *p = numeric(QStringLiteral("p"), {2, 1, 2, 1});
    auto *e = numeric(QStringLiteral("e"), {10, 20, 30, 40});
    DSRegressionModel *model = newModel();
    model->setPanel_column(p);
    model->setFixed_effects(true);
    DSOutcomeVariable *outcome = addOutcome(model, y);
    outcome->setCardinal_model(DSOutcomeModelPoisson);
    outcome->setExposure_column(e);
    model->rebuildLookupTables();
    ASSERT_EQ(model->temp_panel_lookup(), (std::vector<int32_t>{1, 3, 0, 2}));

    std::unique_ptr<VRWContext_s, VRWContextFree> context(vrw_test_context(0));
    ASSERT_TRUE(context);
    EXPECT_TRUE(outcome->secondary_buffers_need_reload());
    ASSERT_EQ(outcome->rebuildBuffersWithPanelSizes(model->temp_panel_sizes().data(), model->temp_panel_count(),
                                                    model->temp_panel_lookup().data(), context.get()),
              0);
    EXPECT_FALSE(outcome->secondary_buffers_need_reload());
    ASSERT_TRUE(outcome->exposure_buf());
    EXPECT_EQ(outcome->weight_buf(), nullptr);
    // Panels of two rows each pad to a quad of four.
    std::vector<double> device(size_t(outcome->exposure_buf()->blocks) * 16);
    ASSERT_EQ(vrw_read_fp_buffer(context.get(), outcome->exposure_buf()->data, device.size(), device.data()), 0);
    EXPECT_EQ(Column(device.begin(), device.begin() + 8), (Column{20, 40, 0, 0, 10, 30, 0, 0}));

    outcome->unloadBuffers();
    EXPECT_EQ(outcome->exposure_buf(), nullptr);
    EXPECT_TRUE(outcome->secondary_buffers_need_reload());
}

} // namespace
