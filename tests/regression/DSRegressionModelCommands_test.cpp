// The command texts of the four syntaxes, on the logit example and the
// options that change them.
#include "RegressionTestSupport.h"

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
    EXPECT_EQ(model->SPSSEstimationCommandForOutcome(outcome), QStringLiteral("regression /dependent n /method = enter  ."));
    outcome->setCardinal_model(DSOutcomeModelCox);
    EXPECT_EQ(model->REstimationCommandForOutcome(outcome), QStringLiteral("coxph(Surv(n) ~ , ties = \"breslow\")"));
}

} // namespace
