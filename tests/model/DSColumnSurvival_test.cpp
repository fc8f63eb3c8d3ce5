// Right censoring of a column (its conditions, the predicate editor's view,
// the censored counts) and its survival functions and log-rank tests on
// stored columns, against R's survival package
// (util/fixtures/make_survival.R).
#include "ColumnsTestSupport.h"

#include "../stats/fixture_lines.h"
#include "model/DSColumnCondition.h"
#include "platform/predicate/DSComparisonPredicate.h"
#include "platform/predicate/DSCompoundPredicate.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

class DSColumnSurvivalTest : public ::testing::Test, public ColumnsFixture
{
protected:
    DSColumnSurvivalTest() { ds_columns_test_setup(); }

    static DSPredicatePtr comparison(const char *column, DSPredicateOperatorType type, double value)
    {
        return DSComparisonPredicate::make(
            DSExpression::forConstantValue(DSPredicateValue::fromString(QString::fromLatin1(column))), type,
            DSExpression::forConstantValue(DSPredicateValue::fromNumber(value)));
    }

    // Survival times censored where the column named status equals 1.
    static void censorWhereOne(DSColumn *times, const char *status)
    {
        times->setTreat_as_survival_times(true);
        times->setApply_right_censoring(true);
        times->setRight_censoring_predicate(comparison(status, DSPredicateOperatorType::EqualTo, 1));
    }

    // The fixture's sample of a case as columns of the table: times,
    // weights (the table's), censored (1) and, for log-rank cases, groups.
    std::vector<std::string> loadSample(const char *kind, const char *name)
    {
        for (const auto &fields : ds_fixture_lines("../util/fixtures/survival.txt"))
            if (fields.at(0) == kind && fields.at(1) == name) {
                m_times = addColumn(ds_fixture_list<double>(fields.at(2)), QStringLiteral("t"));
                DSColumn *weights = addColumn(ds_fixture_list<double>(fields.at(3)), QStringLiteral("w"));
                addColumn(ds_fixture_list<double>(fields.at(4)), QStringLiteral("c"));
                table()->setFrequency_weights_column(weights);
                table()->setApply_frequency_weights(true);
                censorWhereOne(m_times, "c");
                return fields;
            }
        ADD_FAILURE() << name;
        return {};
    }

    DSColumn *m_times = nullptr;
};

TEST_F(DSColumnSurvivalTest, CensoringPredicates)
{
    DSColumn *t = addColumn({1, 2, 3}, QStringLiteral("t"));
    addColumn({0, 1, 1}, QStringLiteral("status"));
    EXPECT_EQ(t->right_censoring_predicate()->toString(),
              DSCompoundPredicate::andPredicate({comparison("t", DSPredicateOperatorType::EqualTo, 0)})->toString())
        << "the default value offered without conditions";
    auto *plain = addColumnOfEntity<TestCategoryColumn>("DSTestCategoryColumn", QStringLiteral("c"));
    EXPECT_EQ(plain->right_censoring_predicate()->toString(), DSCompoundPredicate::andPredicate({})->toString());

    // Any of two comparisons; one naming no column is dropped.
    t->setRight_censoring_predicate(DSCompoundPredicate::orPredicate(
        {comparison("status", DSPredicateOperatorType::EqualTo, 0), comparison("nothing", DSPredicateOperatorType::EqualTo, 1),
         comparison("t", DSPredicateOperatorType::GreaterThan, 2)}));
    EXPECT_EQ(t->right_censoring_predicate_type(), 2);
    const QList<DSColumnCondition *> conditions = t->sortedCensoringConditions();
    ASSERT_EQ(conditions.size(), 2);
    EXPECT_EQ(conditions[0]->index(), 0);
    EXPECT_EQ(conditions[1]->index(), 1);
    EXPECT_EQ(conditions[1]->operatorType(), 2);
    EXPECT_EQ(t->right_censoring_predicate()->toString(), QStringLiteral("\"status\" == 0 AND \"t\" > 2"));

    t->setRight_censoring_predicate(comparison("status", DSPredicateOperatorType::EqualTo, 0));
    EXPECT_EQ(t->right_censoring_predicate_type(), 1);
    EXPECT_EQ(t->sortedCensoringConditions().size(), 1);
    EXPECT_TRUE(conditions[0]->isDeleted());
}

// All of two conditions censor only rows matching both; any, either.
TEST_F(DSColumnSurvivalTest, CensoringMaskAllOrAny)
{
    DSColumn *t = addColumn({1, 2, 3, 4}, QStringLiteral("t"));
    addColumn({0, 0, 1, 1}, QStringLiteral("a"));
    addColumn({0, 1, 0, 1}, QStringLiteral("b"));
    t->setTreat_as_survival_times(true);
    t->setApply_right_censoring(true);
    const auto both = {comparison("a", DSPredicateOperatorType::EqualTo, 1),
                       comparison("b", DSPredicateOperatorType::EqualTo, 1)};
    t->setRight_censoring_predicate(DSCompoundPredicate::andPredicate(both));
    uint8_t mask = 0;
    t->applyRightCensoringToBuffer(&mask, 1);
    EXPECT_EQ(mask & 0x0f, 0x08);
    t->setRight_censoring_predicate(DSCompoundPredicate::orPredicate(both));
    t->applyRightCensoringToBuffer(&mask, 1);
    EXPECT_EQ(mask & 0x0f, 0x0e);
}

// Weights 2, 1, 3; rows 0 and 2 censored, row 2 missing.
TEST_F(DSColumnSurvivalTest, CensoredCounts)
{
    DSColumn *t = addColumn({5, 6, NAN}, QStringLiteral("t"));
    addColumn({1, 0, 1}, QStringLiteral("s"));
    DSColumn *w = addColumn({2, 1, 3}, QStringLiteral("w"));
    table()->setFrequency_weights_column(w);
    table()->setApply_frequency_weights(true);
    censorWhereOne(t, "s");
    EXPECT_EQ(t->numberOfObservationsForMask(nullptr, 0), 3);
    EXPECT_EQ(t->numberOfCensoredObservationsForMask(nullptr, 0), 2);
    EXPECT_DOUBLE_EQ(t->fractionOfCensoredObservationsForMask(nullptr, 0), 2.0 / 3);
    const uint8_t secondOnly = 0x02, none = 0;
    EXPECT_EQ(t->numberOfCensoredObservationsForMask(&secondOnly, 1), 0);
    EXPECT_EQ(t->numberOfObservationsForMask(&secondOnly, 1), 1);
    EXPECT_EQ(t->numberOfCensoredObservationsForMask(&none, 0), 0) << "a mask of length 0 admits no row";
    EXPECT_EQ(t->fractionOfCensoredObservationsForMask(&none, 0), 0);
    t->setApply_right_censoring(false);
    EXPECT_EQ(t->numberOfCensoredObservationsForMask(nullptr, 0), 0);
    EXPECT_EQ(t->fractionOfCensoredObservationsForMask(nullptr, 0), 0);
}

TEST_F(DSColumnSurvivalTest, SurvivalFunctionEqualsSurvfit)
{
    const auto fields = loadSample("surv", "weighted_ties");
    const ds_survival_s *steps = nullptr;
    const double *times = nullptr;
    qint64 eventTimes = 0;
    const qint64 m = m_times->getSurvivalFunction(&steps, &times, &eventTimes, nullptr, 0);
    const auto rTimes = ds_fixture_list<double>(fields.at(5)), rRisk = ds_fixture_list<double>(fields.at(6)),
               rHazard = ds_fixture_list<double>(fields.at(9)), rVariance = ds_fixture_list<double>(fields.at(10));
    ASSERT_EQ(m, qint64(rTimes.size()));
    for (qint64 i = 0; i < m; ++i) {
        EXPECT_EQ(times[i], rTimes[size_t(i)]);
        EXPECT_EQ(double(steps[i].at_risk), rRisk[size_t(i)]);
        EXPECT_NEAR(steps[i].cumulative_hazard, rHazard[size_t(i)], 1e-9);
        EXPECT_NEAR(steps[i].hazard_variance, rVariance[size_t(i)], 1e-9);
    }
    EXPECT_EQ(eventTimes, m - (steps[m - 1].events == 0));

    // Under a mask that admits no row there is no function.
    const uint8_t none = 0;
    EXPECT_EQ(m_times->getSurvivalFunction(&steps, &times, &eventTimes, &none, 0), 0);
    EXPECT_EQ(steps, nullptr);
}

// The groups as a covariate's categories, and as one column each.
TEST_F(DSColumnSurvivalTest, LogRankEqualsSurvdiff)
{
    const auto fields = loadSample("logrank", "three_groups_weighted");
    const std::vector<double> groups = ds_fixture_list<double>(fields.at(5)),
                              times = ds_fixture_list<double>(fields.at(2));
    DSColumn *g = addColumn(groups, QStringLiteral("g"));
    g->setTreat_as_categories(true);
    const double rChisq = std::stod(fields.at(6));
    qint64 df = 0;
    EXPECT_NEAR(m_times->calculateLogRank(g, {}, &df, nullptr, 0), rChisq, 1e-9 * rChisq);
    EXPECT_EQ(df, 2);

    QList<DSColumn *> columns;
    for (int k = 0; k < 3; ++k) {
        std::vector<double> own(times.size(), NAN);
        for (size_t r = 0; r < times.size(); ++r)
            if (groups[r] == k)
                own[r] = times[r];
        columns.append(addColumn(own, QStringLiteral("t%1").arg(k)));
        censorWhereOne(columns.last(), "c");
    }
    EXPECT_NEAR(DSColumn::calculateLogRank(columns, &df, nullptr, 0), rChisq, 1e-9 * rChisq);
    EXPECT_EQ(df, 2);

    // A single column, or groups of which one has rows: NaN, df 0.
    EXPECT_TRUE(std::isnan(DSColumn::calculateLogRank({columns[0]}, &df, nullptr, 0)));
    EXPECT_EQ(df, 0);
    DSColumn *empty = addColumn(std::vector<double>(times.size(), NAN), QStringLiteral("empty"));
    EXPECT_TRUE(std::isnan(DSColumn::calculateLogRank({columns[1], empty}, &df, nullptr, 0)));
    EXPECT_EQ(df, 0);
}

} // namespace
