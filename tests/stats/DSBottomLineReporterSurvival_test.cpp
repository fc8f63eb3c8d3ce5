// The reporters of time and survival columns: their tests, sentences,
// labels and commands.
#include "../model/TimeColumnsTestSupport.h"

#include "model/DSColumnSelection.h"
#include "model/DSColumnSummary.h"
#include "model/DSNumericPartition.h"
#include "platform/predicate/DSComparisonPredicate.h"
#include "platform/predicate/DSCompoundPredicate.h"
#include "stats/DSBottomLineReporter.h"
#include "stats/DSBottomLineReporterChain.h"
#include "stats/DSBottomLineReporterMultipleSurvival.h"
#include "stats/DSBottomLineReporterSurvivalNoCovariate.h"
#include "stats/DSBottomLineReporterSurvivalOneCovariate.h"
#include "stats/DSBottomLineReporterTimeNoCovariate.h"
#include "stats/DSStatisticalTestKSampleLogRank.h"
#include "stats/DSStatisticalTestOneSampleLogRank.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

class SurvivalReporterTest : public ::testing::Test, public TimeColumnsFixture
{
protected:
    static void SetUpTestSuite() { ds_columns_test_setup(); }

    DSNumericColumn *survival(const QString &name, std::vector<double> values)
    {
        DSNumericColumn *column = addColumn(values, name);
        column->setTreat_as_survival_times(true);
        return column;
    }
    static DSColumnSelection selectionOf(std::initializer_list<DSColumn *> columns)
    {
        DSColumnSelection selection;
        for (DSColumn *column : columns)
            selection.addColumn(column);
        return selection;
    }
    static DSPredicatePtr comparison(const char *column, DSPredicateOperatorType type, const DSPredicateValue &value)
    {
        return DSComparisonPredicate::make(
            DSExpression::forConstantValue(DSPredicateValue::fromString(QString::fromLatin1(column))), type,
            DSExpression::forConstantValue(value));
    }

    DSBottomLineReporterChain chain;
};

// A numeric column with times 1, 2, 3: the rate is H(3) / 3 and every step
// counts (O = 3, E = 11/3); times 0, 1, 3: the slope of H from the first
// event, which does not count (O = E = 2). One event time, or
// one distinct one, gives no result.
TEST_F(SurvivalReporterTest, ConstantHazard)
{
    struct Case
    {
        std::vector<double> times;
        double statistic;  // NaN: no result
    };
    const Case cases[] = {
        {{1, 2, 3}, 4.0 / 33},
        {{0, 1, 3}, 0},
        {{2, 2, 2}, NAN},
        {{5}, NAN},
    };
    DSBottomLineReporterSurvivalNoCovariate reporter;
    int i = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(i);
        DSNumericColumn *t = survival(QStringLiteral("t%1").arg(i++), c.times);
        const DSColumnSelection columns = selectionOf({t}), none;
        ASSERT_EQ(chain.reporterForColumns(&columns, &none)->hasResultForColumns(&columns, &none), true);
        const auto result = reporter.resultForColumns(&columns, &none, nullptr, 0);
        if (std::isnan(c.statistic)) {
            EXPECT_EQ(result, nullptr);
            continue;
        }
        ASSERT_TRUE(dynamic_cast<const DSStatisticalTestOneSampleLogRank *>(result.get()));
        EXPECT_NEAR(result->statisticValue() * result->statisticValue(), c.statistic, 1e-12)
            << "one degree of freedom shows the chi-square's root";
        EXPECT_EQ(reporter.attributedStringForResult(result.get(), 0.05, &columns, &none)->markedString(),
                  QStringLiteral("*%1* does not depart from a constant hazard rate").arg(t->name()));
        EXPECT_EQ(reporter.shortStringForResult(result.get(), 0.05, &columns), QStringLiteral("Constant hazard rate"));
        EXPECT_EQ(reporter.REstimationCommandForResult(result.get(), &columns, &none), QString());
    }

    // A time column measures from its first event whatever its value:
    // slope (11/6 - 1/3) / 2, O = 2, E = 2.25.
    DSTimeDataColumn *time = addTimeColumn({1, 2, 3}, {1}, false, QStringLiteral("when"));
    time->setTreat_as_survival_times(true);
    const DSColumnSelection columns = selectionOf({time}), none;
    const auto result = reporter.resultForColumns(&columns, &none, nullptr, 0);
    ASSERT_TRUE(result);
    EXPECT_NEAR(result->statisticValue() * result->statisticValue(), 0.25 * 0.25 / 2.25, 1e-12);
}

TEST_F(SurvivalReporterTest, LogRankAcrossGroupsAndColumns)
{
    DSNumericColumn *t = survival(QStringLiteral("t"), {1, 2, 3, 4, 5, 6});
    DSNumericColumn *g = addColumn({0, 0, 0, 1, 1, 1}, QStringLiteral("g"));
    g->setTreat_as_categories(true);
    const DSColumnSelection columns = selectionOf({t}), covariates = selectionOf({g});
    DSBottomLineReporter *reporter = chain.reporterForColumns(&columns, &covariates);
    ASSERT_TRUE(dynamic_cast<DSBottomLineReporterSurvivalOneCovariate *>(reporter));
    const auto result = reporter->resultForColumns(&columns, &covariates, nullptr, 0);
    ASSERT_TRUE(dynamic_cast<const DSStatisticalTestKSampleLogRank *>(result.get()));
    EXPECT_NEAR(std::pow(result->statisticValue(), 2), 5.0517, 5e-5);
    EXPECT_EQ(reporter->attributedStringForResult(result.get(), 0.05, &columns, &covariates)->markedString(),
              QStringLiteral("Hazard rate of *t* varies across values of *g*"));
    EXPECT_EQ(reporter->shortStringForResult(result.get(), 0.05, &columns), QStringLiteral("Unequal hazard rates"));

    DSNumericColumn *a = survival(QStringLiteral("a"), {1, 2, 3});
    DSNumericColumn *b = survival(QStringLiteral("b"), {4, 5, 6});
    const DSColumnSelection two = selectionOf({a, b}), none;
    reporter = chain.reporterForColumns(&two, &none);
    ASSERT_TRUE(dynamic_cast<DSBottomLineReporterMultipleSurvival *>(reporter));
    const auto across = reporter->resultForColumns(&two, &none, nullptr, 0);
    ASSERT_TRUE(across);
    EXPECT_NEAR(std::pow(across->statisticValue(), 2), 5.0517, 5e-5);

    // A numeric and a time survival column: no reporter answers.
    DSTimeDataColumn *time = addTimeColumn({1, 2, 3}, {1}, false, QStringLiteral("when"));
    time->setTreat_as_survival_times(true);
    const DSColumnSelection mixed = selectionOf({a, time});
    EXPECT_EQ(chain.reporterForColumns(&mixed, &none), nullptr);

    // A group alone: no result.
    const DSColumnSelection single = selectionOf({a});
    DSNumericColumn *one = addColumn({1, 1, 1, 1, 1, 1}, QStringLiteral("one"));
    one->setTreat_as_categories(true);
    const DSColumnSelection oneGroup = selectionOf({one});
    EXPECT_EQ(chain.reporterForColumns(&single, &oneGroup)->resultForColumns(&single, &oneGroup, nullptr, 0), nullptr);
}

// The covariate's recoding comes first in every package; R states the
// censoring as the event indicator.
TEST_F(SurvivalReporterTest, OneCovariateCommands)
{
    DSNumericColumn *t = survival(QStringLiteral("t"), {1, 4, 2, 8, 5, 7});
    addColumn({0, 1, 1, 0, 1, 1}, QStringLiteral("status"));
    addTextColumn({"x", "Lost", "x", "x", "x", "x"}, QStringLiteral("note"));
    DSNumericColumn *age = addColumn({5, 15, 25, 35, 12, 8}, QStringLiteral("age"));
    auto *partition = dynamic_cast<DSNumericPartition *>(age->covariate_partition());
    partition->setPartition_type(2);
    partition->setCustom_interval_cutoffs({10, 20, 30});
    DSNumericColumn *w = addColumn({1, 2, 1, 1, 1, 1}, QStringLiteral("w"));
    table()->setFrequency_weights_column(w);
    table()->setApply_frequency_weights(true);
    const DSColumnSelection columns = selectionOf({t}), covariates = selectionOf({age});
    DSBottomLineReporterSurvivalOneCovariate reporter;
    const auto result = reporter.resultForColumns(&columns, &covariates, nullptr, 0);
    ASSERT_TRUE(result);

    const QString r = reporter.REstimationCommandForResult(result.get(), &columns, &covariates);
    // R repeats each row by its weight, then tests among those rows.
    EXPECT_TRUE(r.startsWith("df <- df[rep(seq_len(nrow(df)), df$w), ]\nwith(df, {\nlibrary(survival)\ndf$age_r <- NA\n"))
        << r.toStdString();
    EXPECT_TRUE(r.endsWith("\nsurvdiff(Surv(t, 1) ~ age_r, data = df)\n})")) << r.toStdString();
    EXPECT_EQ(reporter.SPSSEstimationCommandForResult(result.get(), &columns, &covariates),
              "weight by w.\nrecode age (30 thru hi=3) (20 thru hi=2) (10 thru hi=1) (lo thru hi=0) into age_r.\n"
              "km t by age_r /status = censored event(1).");
    EXPECT_EQ(reporter.StataEstimationCommandForResult(result.get(), &columns, &covariates),
              "egen age_r=cut(age), at(10,20,30)\nstset t\nsts test age_r [fweight=w]");
    const QString sas = reporter.SASEstimationCommandForResult(result.get(), &columns, &covariates);
    EXPECT_TRUE(sas.startsWith("age_r = .;\n")) << sas.toStdString();
    EXPECT_TRUE(sas.endsWith("proc lifetest;\n  time t;\n  strata age_r;\n  freq w;\nrun;")) << sas.toStdString();

    struct Case
    {
        DSPredicatePtr predicate;
        const char *event;
    };
    const Case cases[] = {
        {DSCompoundPredicate::orPredicate(
             {comparison("status", DSPredicateOperatorType::EqualTo, DSPredicateValue::fromNumber(0)),
              comparison("t", DSPredicateOperatorType::NotEqualTo, DSPredicateValue::fromNumber(5))}),
         "!((!is.na(status) & status == 0) | (is.na(t) | t != 5))"},
        {DSCompoundPredicate::andPredicate(
             {comparison("note", DSPredicateOperatorType::BeginsWith, DSPredicateValue::fromString("lo\"st")),
              comparison("note", DSPredicateOperatorType::LessThan, DSPredicateValue::fromString("a"))}),
         "!((!is.na(note) & startsWith(toupper(note), \"LO\\\"ST\")))"},
        {comparison("note", DSPredicateOperatorType::LessThan, DSPredicateValue::fromString("a")), "0"},
    };
    t->setApply_right_censoring(true);
    for (const Case &c : cases) {
        t->setRight_censoring_predicate(c.predicate);
        const QString command = reporter.REstimationCommandForResult(result.get(), &columns, &covariates);
        EXPECT_TRUE(command.endsWith(QStringLiteral("survdiff(Surv(t, %1) ~ age_r, data = df)\n})").arg(c.event)))
            << command.toStdString();
    }
}

// Counts per period against the periods' lengths; one period gives no
// result and says so.
TEST_F(SurvivalReporterTest, TimeColumnAlone)
{
    const double day = 86400;
    DSTimeDataColumn *spread = addTimeColumn({0, day, 2 * day, 3 * day, 3 * day}, {day}, false, QStringLiteral("d"));
    DSTimeDataColumn *once = addTimeColumn({0, 60, 120}, {1}, false, QStringLiteral("o"));
    once->setDo_fix_time_unit(true);
    once->setFixed_time_unit(ds_time_unit_day);
    DSBottomLineReporterTimeNoCovariate reporter;
    const DSColumnSelection none;

    const DSColumnSelection spreadOnly = selectionOf({spread});
    spread->setTemp_summary(spread->summaryWithSignificance(0.05));
    const auto result = reporter.resultForColumns(&spreadOnly, &none, nullptr, 0);
    ASSERT_TRUE(result);
    const qsizetype periods = spread->temp_summary()->categories().size();
    const QString unit = QString::fromUtf8(ds_time_unit_plural_name(spread->temp_summary()->time_unit())).toLower();
    EXPECT_EQ(reporter.attributedStringForResult(result.get(), 0.05, &spreadOnly, &none)->markedString(),
              QStringLiteral("*d* is evenly distributed (across %1 %2)").arg(periods).arg(unit));
    EXPECT_EQ(reporter.shortStringForResult(result.get(), 0.05, &spreadOnly),
              QStringLiteral("Equal proportions (%1 %2)").arg(periods).arg(unit));

    const DSColumnSelection onceOnly = selectionOf({once});
    once->setTemp_summary(once->summaryWithSignificance(0.05));
    EXPECT_EQ(reporter.resultForColumns(&onceOnly, &none, nullptr, 0), nullptr);
    EXPECT_EQ(reporter.attributedStringForResult(nullptr, 0.05, &onceOnly, &none)->markedString(),
              QStringLiteral("*o* is concentrated in one period"));
    EXPECT_EQ(reporter.shortStringForResult(nullptr, 0.05, &onceOnly), QStringLiteral("Only 1 period"));
}

// The periods of the summary's unit against a covariate; the base sentence
// names the period and the column.
TEST_F(SurvivalReporterTest, TimeColumnAgainstACovariate)
{
    const double day = 86400;
    std::vector<double> days;
    for (int i = 0; i < 12; ++i)
        days.push_back(day * (i % 4));
    DSTimeDataColumn *d = addTimeColumn(days, {day}, false, QStringLiteral("d"));
    DSNumericColumn *g = addColumn({1, 1, 1, 1, 2, 2, 2, 2, 2, 1, 2, 1}, QStringLiteral("g"));
    g->setTreat_as_categories(true);
    d->setTemp_summary(d->summaryWithSignificance(0.05));
    const DSColumnSelection columns = selectionOf({d}), covariates = selectionOf({g});
    DSBottomLineReporter *reporter = chain.reporterForColumns(&columns, &covariates);
    ASSERT_TRUE(reporter);
    const auto result = reporter->resultForColumns(&columns, &covariates, nullptr, 0);
    ASSERT_TRUE(result);
    qint64 df = 0;
    const double chisq = d->calculateTimeIndependence(g, {}, &df, d->temp_summary()->time_unit(), nullptr, 0);
    EXPECT_DOUBLE_EQ(result->statisticValue(), chisq);
    EXPECT_EQ(df, 3);
    const QString period = QString::fromUtf8(ds_time_period_name(d->temp_summary()->time_unit()));
    const QString sentence = reporter->attributedStringForResult(result.get(), 0.05, &columns, &covariates)->markedString();
    EXPECT_TRUE(sentence.contains(QStringLiteral("%1 of *d*").arg(period))) << sentence.toStdString();
    EXPECT_EQ(reporter->REstimationCommandForResult(result.get(), &columns, &covariates), QString());
}

} // namespace
