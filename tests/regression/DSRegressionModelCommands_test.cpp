// The command texts of the four syntaxes, on the logit example and the
// options that change them.
#include "RegressionTestSupport.h"

#include "model/DSColumnCondition.h"
#include "platform/predicate/DSPredicateValue.h"

namespace {

class DSRegressionModelCommandsTest : public RegressionTest
{
protected:
    // Outcome y (binary) on the categories of g and the number x, table "t".
    DSOutcomeVariable *logitExample()
    {
        table->setName(QStringLiteral("t"));
        auto *y = indicator(QStringLiteral("y"), {1, 0, 1, 0, 1, 1});
        auto *g = numeric(QStringLiteral("g"), {0, 1, 2, 0, 1, 2});
        auto *x = numeric(QStringLiteral("x"), {1, 2, 3, 4, 5, 6});
        model = newModel();
        addVariable(model, g, true);
        addVariable(model, x);
        model->setReport_odds_ratios(true);
        DSOutcomeVariable *outcome = addOutcome(model, y);
        outcome->setTreat_as_categories(true);
        outcome->setBinary_model(DSOutcomeModelLogit);
        return outcome;
    }

    QStringList texts(DSOutcomeVariable *outcome) const
    {
        return {model->REstimationCommandForOutcome(outcome), model->StataEstimationCommandForOutcome(outcome),
                model->SPSSEstimationCommandForOutcome(outcome), model->SASEstimationCommandForOutcome(outcome)};
    }

    DSRegressionModel *model = nullptr;
};

TEST_F(DSRegressionModelCommandsTest, LogitExampleInAllFourSyntaxes)
{
    DSOutcomeVariable *outcome = logitExample();
    EXPECT_EQ(texts(outcome),
              (QStringList{QStringLiteral("glm(y ~ as.factor(g) + x, family=binomial(link=\"logit\"))"),
                           QStringLiteral("logistic y i.g x"),
                           QStringLiteral("logistic regression y with g x /categorical = g."),
                           QStringLiteral("proc logistic data=t descending;\n  class g / param=ref;\n"
                                          "  model y = g x / expb;\nrun;\n")}));

    model->setInclude_constant(false);
    EXPECT_EQ(texts(outcome),
              (QStringList{QStringLiteral("glm(y ~ 0 + as.factor(g) + x, family=binomial(link=\"logit\"))"),
                           QStringLiteral("logistic y i.g x, noconstant"),
                           QStringLiteral("logistic regression y with g x /categorical = g /origin."),
                           QStringLiteral("proc logistic data=t descending;\n  class g / param=ref;\n"
                                          "  model y = g x / expb noint;\nrun;\n")}));
}

// Robust errors add Stata's vce(robust) alone; clustered ones name the
// panel column, with or without fixed effects, as the fit clusters.
TEST_F(DSRegressionModelCommandsTest, RobustAndClusteredErrors)
{
    DSOutcomeVariable *outcome = logitExample();
    const QStringList plain = texts(outcome);
    model->setRobust_standard_errors(true);
    QStringList robust = plain;
    robust[1] = QStringLiteral("logistic y i.g x, vce(robust)");
    EXPECT_EQ(texts(outcome), robust);

    auto *panel = numeric(QStringLiteral("p"), {1, 1, 2, 2, 3, 3});
    model->setPanel_column(panel);
    model->setClustered_standard_errors(true);
    for (const bool fixedEffects : {false, true}) {
        model->setFixed_effects(fixedEffects);
        EXPECT_EQ(model->StataEstimationCommandForOutcome(outcome), QStringLiteral("logistic y i.g x, vce(cluster p)"));
        EXPECT_TRUE(model->SASEstimationCommandForOutcome(outcome).endsWith(
            QStringLiteral("  repeated subject=p / type=ind;\nrun;\n")));
    }
    model->setRobust_standard_errors(false);
    EXPECT_EQ(texts(outcome)[1], QStringLiteral("logistic y i.g x")) << "clustering is a kind of robust errors";
}

TEST_F(DSRegressionModelCommandsTest, CountOptionsAndEmptyTerms)
{
    auto *n = numeric(QStringLiteral("n"), {1, 0, 3, 2});
    auto *e = numeric(QStringLiteral("e"), {1, 2, 3, 4});
    table->setName(QStringLiteral("t"));
    model = newModel();
    model->setReport_odds_ratios(true);
    DSOutcomeVariable *outcome = addOutcome(model, n);
    outcome->setCardinal_model(DSOutcomeModelPoisson);
    outcome->setExposure_column(e);
    outcome->setApply_exposure(true);
    EXPECT_EQ(model->StataEstimationCommandForOutcome(outcome), QStringLiteral("poisson n , exposure(e) irr"));
    EXPECT_EQ(model->REstimationCommandForOutcome(outcome), QStringLiteral("glm(n ~ offset(log(e)), family=poisson)"));
    outcome->setCardinal_model(DSOutcomeModelLinear);
    EXPECT_EQ(model->StataEstimationCommandForOutcome(outcome), QStringLiteral("regress n ")) << "no irr";
    EXPECT_EQ(model->SPSSEstimationCommandForOutcome(outcome), QStringLiteral("regression /dependent n /method = enter ."));
    outcome->setCardinal_model(DSOutcomeModelCox);
    EXPECT_EQ(model->REstimationCommandForOutcome(outcome), QStringLiteral("coxph(Surv(n) ~ , ties = \"breslow\")"));
}

// A Cox outcome censored where status is 0 and stratified by s, in a table
// weighted by f: every syntax carries the events, the strata and R the
// weights; a categorical regressor in an interaction is a factor in R.
TEST_F(DSRegressionModelCommandsTest, CoxCarriesEventsStrataAndWeights)
{
    table->setName(QStringLiteral("t"));
    auto *time = numeric(QStringLiteral("time"), {5, 8, 2, 9});
    auto *status = numeric(QStringLiteral("status"), {1, 0, 1, 1});
    auto *strata = numeric(QStringLiteral("s"), {1, 2, 1, 2});
    auto *g = numeric(QStringLiteral("g"), {0, 1, 0, 1});
    auto *x = numeric(QStringLiteral("x"), {0.5, 1.5, 2.5, 3.5});
    auto *f = numeric(QStringLiteral("f"), {1, 2, 1, 3});
    table->setFrequency_weights_column(f);
    table->setApply_frequency_weights(true);
    model = newModel();
    DSExplanatoryColumnVariable *first = addVariable(model, g, true);
    addInteraction(model, first, addVariable(model, x));
    DSOutcomeVariable *outcome = addOutcome(model, time);
    outcome->setCardinal_model(DSOutcomeModelCox);
    DSColumnCondition *condition = DSColumnCondition::insertNewConditionForColumn(
        status, DSPredicateValue::fromNumber(0), outcome->managedObjectContext());
    condition->setOperatorType(4);
    condition->setOwner_outcome_right_censoring(outcome);
    outcome->setRight_censoring_predicate_type(1);
    outcome->setApply_right_censoring(true);
    outcome->setStratification_column(strata);
    outcome->setApply_stratification(true);
    EXPECT_EQ(model->REstimationCommandForOutcome(outcome),
              QStringLiteral("coxph(Surv(time, !(status == 0)) ~ as.factor(g) + x + x*as.factor(g) + strata(s), "
                             "ties = \"breslow\", weights = f)"));
    EXPECT_EQ(model->StataEstimationCommandForOutcome(outcome),
              QStringLiteral("generate byte time_event = !(status == 0)\nstset time, failure(time_event)\n"
                             "stcox i.g x c.x##i.g [fweight=f], strata(s) nohr"));
    EXPECT_TRUE(model->SPSSEstimationCommandForOutcome(outcome).contains(
        QStringLiteral("compute censored = (status = 0).\ncoxreg variables = time with")))
        << model->SPSSEstimationCommandForOutcome(outcome).toStdString();
    EXPECT_TRUE(model->SPSSEstimationCommandForOutcome(outcome).contains(QStringLiteral(" /strata = s")));
    EXPECT_TRUE(model->SASEstimationCommandForOutcome(outcome).startsWith(
        QStringLiteral("data t;\nset t;censored = (status = 0);\nrun;\n\nproc phreg data=t;\n")))
        << model->SASEstimationCommandForOutcome(outcome).toStdString();
    EXPECT_TRUE(model->SASEstimationCommandForOutcome(outcome).contains(QStringLiteral("model time*censored(1) = ")));
    EXPECT_TRUE(model->SASEstimationCommandForOutcome(outcome).contains(QStringLiteral("  strata s;\n")));
}

} // namespace
