// The driver and its class tree on a document: every outcome model code
// fitted through the model's run and compared with R on the same data
// (fixtures/make_regressions.R), the class answers, and the run's error
// codes.
#include "RegressionTestSupport.h"

#include "regression/DSCoxRegression.h"
#include "model/DSColumnCategory.h"
#include "model/DSDate.h"
#include "model/DSNumberFormatter.h"
#include "model/DSNumericDataColumn.h"
#include "platform/store/DSObjectFactory.h"
#include "model/util/ds_distribution.h"
#include "platform/format/DSPlatformNumberFormatter.h"
#include "platform/sterna/sterna.h"
#include "regression/DSLinearRegression.h"
#include "regression/DSRegression.h"
#include "regression/DSRegressionPostEstimator.h"
#include "regression/ds_load_vrw_programs.h"
#include "tests/varrow/vrw_test_support.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <memory>
#include <numeric>
#include <string>

namespace {

const std::string kFixtures = std::string(OSTREL_TEST_SOURCE_DIR) + "/fixtures/";

using Expected = std::map<std::string, std::vector<double>>;

// "case/what" -> values in index order.
const Expected &expected()
{
    static const Expected values = [] {
        Expected out;
        for (const auto &row : vrw_test_read_csv(kFixtures + "regressions_expected.csv"))
            out[row.at("case") + "/" + row.at("what")].push_back(std::stod(row.at("value")));
        return out;
    }();
    return values;
}

class DSRegressionTest : public RegressionTest
{
protected:
    void SetUp() override
    {
        RegressionTest::SetUp();
        vrw.reset(vrw_test_context(0));
        ASSERT_TRUE(vrw);
        std::map<std::string, std::vector<double>> data;
        for (const auto &row : vrw_test_read_csv(kFixtures + "regressions.csv"))
            for (const auto &[name, text] : row)
                data[name].push_back(std::stod(text));
        for (auto &[name, values] : data)
            columns[name] = numeric(QString::fromStdString(name), values);
    }

    // A model of x1, x2 and the categories of g with one outcome.
    DSOutcomeVariable *fit(const std::string &outcomeColumn, bool categorical, qint64 code, DSError *error = nullptr)
    {
        model = newModel();
        for (const char *name : {"x1", "x2"})
            variables.push_back(addVariable(model, columns.at(name)));
        variables.push_back(addVariable(model, columns.at("g"), true));
        DSOutcomeVariable *outcome = addOutcome(model, columns.at(outcomeColumn));
        outcome->setTreat_as_categories(categorical);
        outcome->setBinary_model(code);
        outcome->setCategory_model(code);
        outcome->setCardinal_model(code);
        DSError ignored;
        model->runRegressionIfNeededForMask(nullptr, 0, vrw.get(), error ? error : &ignored);
        return outcome;
    }

    // Constant (when the model has one), x1, x2, g = 1, g = 2 of one set.
    std::vector<double> coefficients(DSOutcomeVariable *outcome, qint64 set, bool errors = false)
    {
        std::vector<double> out;
        DSRegression *r = outcome->temp_regression();
        if (model->hasConstantTerm())
            out.push_back(errors ? r->constantStandardErrorAtIndex(set) : r->constantCoefficientAtIndex(set));
        for (DSExplanatoryVariable *variable : variables)
            for (qint64 k = 0; k < variable->numberOfEstimatesExcluding(DSEstimateExcludeByDesign); ++k) {
                const DSRegressionEstimate *e = variable->estimateAtIndex(k, DSEstimateExcludeByDesign);
                const qint64 absolute = outcome->coefficient_offset() + set;
                out.push_back(errors ? e->standardErrorForCoefficientSet(absolute)
                                     : e->coefficientForCoefficientSet(absolute));
            }
        return out;
    }

    // The prediction of x1 = 0.5, x2 = -0.2, g = 2 for the outcome category.
    struct Point at(DSOutcomeVariable *outcome, qint64 category);

    std::unique_ptr<VRWContext_s, VRWContextFree> vrw;
    std::map<std::string, TestNumericColumn *> columns;
    DSRegressionModel *model = nullptr;
    QList<DSExplanatoryVariable *> variables;
};

void expectNear(const std::vector<double> &actual, const std::vector<double> &wanted, double tolerance,
                const std::string &what)
{
    ASSERT_EQ(actual.size(), wanted.size()) << what;
    for (size_t i = 0; i < wanted.size(); ++i)
        EXPECT_NEAR(actual[i], wanted[i], tolerance * std::max(1.0, std::fabs(wanted[i]))) << what << " " << i;
}

struct ModelCase {
    const char *name;
    const char *column;
    bool categorical;
    qint64 code;
    const char *className;
    double tolerance;
};

// Every single-set model: coefficients, standard errors and the joint Wald
// test of g against R; the class's name.
TEST_F(DSRegressionTest, EveryOutcomeModelEqualsR)
{
    const ModelCase cases[] = {
        {"linear", "y", false, DSOutcomeModelLinear, "linear", 1e-9},
        {"log_linear", "yp", false, DSOutcomeModelLogLinear, "log-linear", 1e-9},
        {"logit", "b", true, DSOutcomeModelLogit, "logit", 1e-7},
        {"probit", "b", true, DSOutcomeModelProbit, "probit", 1e-7},
        {"linear_probability", "b", true, DSOutcomeModelLinearProbability, "linear", 1e-9},
        {"poisson", "cnt", false, DSOutcomeModelPoisson, "poisson", 1e-7},
        {"geometric", "cnt", false, DSOutcomeModelGeometric, "geometric", 1e-7},
        {"negative_binomial", "cnt", false, DSOutcomeModelNegativeBinomial, "negative binomial", 1e-7},
    };
    for (const ModelCase &c : cases) {
        SCOPED_TRACE(c.name);
        variables.clear();
        DSOutcomeVariable *outcome = fit(c.column, c.categorical, c.code);
        DSRegression *r = outcome->temp_regression();
        ASSERT_TRUE(r);
        ASSERT_EQ(r->error_code(), 0);
        EXPECT_EQ(r->name(), QString::fromLatin1(c.className));
        const std::string key = std::string(c.name) + "/";
        expectNear(coefficients(outcome, 0), expected().at(key + "coefficients"), c.tolerance, "coefficients");
        expectNear(coefficients(outcome, 0, true), expected().at(key + "standard_errors"), c.tolerance * 10,
                   "standard errors");
        EXPECT_EQ(r->observation_count(), 250);
        EXPECT_NEAR(variables[2]->waldStatisticForCoefficientSet(outcome->coefficient_offset()),
                    expected().at(key + "g_wald")[0], 1e-5 * expected().at(key + "g_wald")[0]);
        EXPECT_EQ(variables[2]->temp_number_of_restrictions(), 2);
    }
}

// glm.nb's 1 / theta is the dispersion row's coefficient.
TEST_F(DSRegressionTest, NegativeBinomialDispersionEqualsGlmNb)
{
    DSOutcomeVariable *outcome = fit("cnt", false, DSOutcomeModelNegativeBinomial);
    ASSERT_EQ(outcome->temp_regression()->error_code(), 0);
    const QList<QVariantList> rows = outcome->nuisanceInfoForCoefficientSet(0, QStringLiteral("cnt"), 2, 0);
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0][1].toString(), QStringLiteral("dispersion"));
    EXPECT_NEAR(rows[0][2].toDouble(), expected().at("negative_binomial/alpha")[0], 1e-7);
}

// R squared and adjusted R squared as summary(lm) has them; the p-value of g
// is pf(W / 2, 2, df).
TEST_F(DSRegressionTest, LinearFitStatisticsEqualSummaryOfLm)
{
    for (const char *name : {"linear", "log_linear"}) {
        variables.clear();
        DSRegression *r = fit(std::string(name) == "linear" ? "y" : "yp", false,
                              std::string(name) == "linear" ? DSOutcomeModelLinear : DSOutcomeModelLogLinear)
                              ->temp_regression();
        const std::vector<double> &r2 = expected().at(std::string(name) + "/r_squared");
        EXPECT_NEAR(r->unadjustedRSquared(), r2[0], 1e-10) << name;
        EXPECT_NEAR(r->adjustedRSquared(), r2[1], 1e-10) << name;
    }
}

TEST_F(DSRegressionTest, LinearGPValueIsTheFTestOfItsWaldStatistic)
{
    DSOutcomeVariable *outcome = fit("y", false, DSOutcomeModelLinear);
    DSRegression *r = outcome->temp_regression();
    EXPECT_EQ(r->df(), qint64(expected().at("linear/df")[0]));
    EXPECT_NEAR(variables[2]->tempPValueForCoefficientSet(outcome->coefficient_offset(), r->coefficientDistribution(),
                                                          r->df()),
                expected().at("linear/g_p")[0], 1e-9);
}

// One set per category, the base category's held at 0.
TEST_F(DSRegressionTest, MultinomialLogitSetsEqualMultinom)
{
    DSOutcomeVariable *outcome = fit("m", true, DSOutcomeModelMultinomialLogit);
    DSRegression *r = outcome->temp_regression();
    ASSERT_EQ(r->error_code(), 0);
    ASSERT_EQ(outcome->category_count(), 3);
    const std::vector<double> &R = expected().at("multinomial_logit/coefficients");
    expectNear(coefficients(outcome, 1), std::vector<double>(R.begin(), R.begin() + 5), 1e-5, "set 1");
    expectNear(coefficients(outcome, 2), std::vector<double>(R.begin() + 5, R.end()), 1e-5, "set 2");
    EXPECT_EQ(r->oddsRatioHeaderName(), QStringLiteral("RRR"));
}

TEST_F(DSRegressionTest, OrderedChoiceSlopesEqualPolr)
{
    for (const auto &[name, code] : {std::pair{"ordered_logistic", DSOutcomeModelOrderedLogit},
                                     std::pair{"ordered_probit", DSOutcomeModelOrderedProbit}}) {
        variables.clear();
        DSOutcomeVariable *outcome = fit("m", true, code);
        ASSERT_EQ(outcome->temp_regression()->error_code(), 0) << name;
        expectNear(coefficients(outcome, 0), expected().at(std::string(name) + "/coefficients"), 1e-5, name);
    }
}

TEST_F(DSRegressionTest, CoxEqualsCoxph)
{
    DSOutcomeVariable *outcome = fit("t", false, DSOutcomeModelCox);
    auto *r = dynamic_cast<DSCoxRegression *>(outcome->temp_regression());
    ASSERT_TRUE(r);
    ASSERT_EQ(r->error_code(), 0);
    std::vector<double> slopes = coefficients(outcome, 0);
    std::vector<double> errors = coefficients(outcome, 0, true);
    if (model->hasConstantTerm()) {
        slopes.erase(slopes.begin());
        errors.erase(errors.begin());
    }
    expectNear(slopes, expected().at("cox/coefficients"), 1e-6, "coefficients");
    expectNear(errors, expected().at("cox/standard_errors"), 1e-5, "standard errors");
    EXPECT_EQ(r->oddsRatioHeaderName(), QStringLiteral("Haz. Ratio"));
    EXPECT_EQ(r->failureTimeCountForStratum(0, 0), 250) << "every time is a distinct failure";
}

double first(const std::optional<DSRange> &range)
{
    return range ? range->firstValue().toDouble() : NAN;
}
double last(const std::optional<DSRange> &range)
{
    return range ? range->lastValue().toDouble() : NAN;
}

// The prediction of the point x1 = 0.5, x2 = -0.2, g = 2 for the outcome
// category, and its fitted value of the outcome's set.
struct Point {
    DSPrediction *prediction;
    double fitted(qint64 set = 0) const
    {
        return prediction->fittedValueForCoefficientSet(prediction->outcome_variable()->coefficient_offset() + set);
    }
};

Point DSRegressionTest::at(DSOutcomeVariable *outcome, qint64 category)
{
    DSPrediction *prediction = addPrediction(model, outcome);
    assume(prediction, variables[0], 0.5);
    assume(prediction, variables[1], -0.2);
    assumeCategory(prediction, variables[2], 2);
    prediction->setOutcome_category(category);
    return {prediction};
}

// predict(lm, interval = "prediction") and plogis / pnorm of f +- z se from
// predict(glm, se.fit = TRUE), asked of the prediction at 95 %.
TEST_F(DSRegressionTest, PredictionRangesEqualR)
{
    struct Case {
        const char *name;
        const char *column;
        bool categorical;
        qint64 code;
    };
    for (const Case &c : {Case{"linear", "y", false, DSOutcomeModelLinear},
                          Case{"logit", "b", true, DSOutcomeModelLogit},
                          Case{"probit", "b", true, DSOutcomeModelProbit}}) {
        SCOPED_TRACE(c.name);
        variables.clear();
        DSOutcomeVariable *outcome = fit(c.column, c.categorical, c.code);
        const Point point = at(outcome, 1);
        const double f = point.fitted();
        EXPECT_EQ(point.prediction->rowVector(), (std::vector<double>{1, 0.5, -0.2, 0, 1}));
        const std::optional<DSRange> range = point.prediction->predictedRangeForFittedValue(f);
        const std::vector<double> &R = expected().at(std::string(c.name) + "/prediction");
        expectNear({point.prediction->predictedValueForFittedValue(f), first(range), last(range)}, R, 1e-7,
                   "value and range");
    }
}

// The logit of the base category is 1 minus the modelled chance, and its
// formula negates nothing.
TEST_F(DSRegressionTest, LogitOfTheBaseCategory)
{
    DSOutcomeVariable *binary = fit("b", true, DSOutcomeModelLogit);
    const Point point = at(binary, binary->base_category());
    EXPECT_DOUBLE_EQ(point.prediction->predictedValueForFittedValue(0), 0.5);
    EXPECT_DOUBLE_EQ(point.prediction->predictedValueForFittedValue(2), 1 - ds_logistic_cdf(2));
    DSPlatformNumberFormatter formatter(DSPlatformNumberFormatter::DecimalStyle, QLocale::c());
    EXPECT_EQ(point.prediction->explanationForPredictedValue(1 - ds_logistic_cdf(2), 2, &formatter),
              QStringLiteral("1/(1 + exp(2))"));
    point.prediction->setOutcome_category(1 - binary->base_category());
    EXPECT_EQ(point.prediction->explanationForPredictedValue(ds_logistic_cdf(2), 2, &formatter),
              QStringLiteral("1/(1 + exp(-2))"));
    model->setReport_odds_ratios(true);
    EXPECT_EQ(point.prediction->explanationForPredictedValue(ds_logistic_cdf(2), 2, &formatter),
              QStringLiteral("1/(1 + %1)").arg(formatter.stringFromNumber(std::exp(-2))));
}

TEST_F(DSRegressionTest, LinearRangeComputesItsCriticalTOncePerSignificance)
{
    DSOutcomeVariable *outcome = fit("y", false, DSOutcomeModelLinear);
    auto *r = dynamic_cast<DSLinearRegression *>(outcome->temp_regression());
    const Point point = at(outcome, 0);
    point.prediction->predictedRangeForFittedValue(point.fitted(), {}, {}, 0.95);
    point.prediction->predictedRangeForFittedValue(point.fitted(), {}, {}, 0.95);
    EXPECT_EQ(r->t_stat_computations(), 1);
    point.prediction->predictedRangeForFittedValue(point.fitted(), {}, {}, 0.9);
    EXPECT_EQ(r->t_stat_computations(), 2);
}

// Chances of every category add up to 1 and equal predict(type = "probs").
TEST_F(DSRegressionTest, CategoryPredictionsEqualRsChances)
{
    DSPlatformNumberFormatter formatter(DSPlatformNumberFormatter::DecimalStyle, QLocale::c());
    for (const auto &[name, code] : {std::pair{"multinomial_logit", DSOutcomeModelMultinomialLogit},
                                     std::pair{"ordered_logistic", DSOutcomeModelOrderedLogit}}) {
        SCOPED_TRACE(name);
        variables.clear();
        DSOutcomeVariable *outcome = fit("m", true, code);
        const bool multinomial = code == DSOutcomeModelMultinomialLogit;
        const Point point = at(outcome, 0);
        std::vector<double> chances;
        double sum = 0;
        for (qint64 k = 0; k < 3; ++k) {
            const double f = point.fitted(multinomial ? k : 0);
            chances.push_back(point.prediction->predictedValueForFittedValue(f, {}, k));
            sum += chances.back();
            const std::optional<DSRange> range = point.prediction->predictedRangeForFittedValue(f, {}, k);
            ASSERT_TRUE(range);
            EXPECT_LT(first(range), chances.back());
            EXPECT_GT(last(range), chances.back());
            EXPECT_GE(first(range), 0);
            EXPECT_LE(last(range), 1);
        }
        EXPECT_NEAR(sum, 1, 1e-12);
        expectNear(chances, expected().at(std::string(name) + "/prediction"), 1e-5, "chances");
        EXPECT_FALSE(point.prediction->predictedRangeForFittedValue(point.fitted(), {}, 3)) << "past the categories";
        const QString text = point.prediction->explanationForPredictedValue(chances[0], point.fitted(), &formatter);
        if (multinomial) {
            EXPECT_TRUE(text.startsWith(QStringLiteral("exp(0) / (1 + exp("))) << text.toStdString();
        } else {
            point.prediction->setOutcome_category(2);
            EXPECT_TRUE(point.prediction->explanationForPredictedValue(chances[2], point.fitted(), &formatter)
                            .startsWith(QStringLiteral("1 - Λ(")));
        }
    }
}

// Two outcomes of one model: each prediction reads its own outcome's set
// (R's coefficients at the point), and writes the linear formula, the
// log-linear one inside exp(); under fixed effects there is none.
TEST_F(DSRegressionTest, EachOutcomeReadsItsOwnSetAndFormula)
{
    model = newModel();
    for (const char *name : {"x1", "x2"})
        variables.push_back(addVariable(model, columns.at(name)));
    variables.push_back(addVariable(model, columns.at("g"), true));
    DSOutcomeVariable *linear = addOutcome(model, columns.at("y"));
    DSOutcomeVariable *logLinear = addOutcome(model, columns.at("yp"));
    logLinear->setCardinal_model(DSOutcomeModelLogLinear);
    DSError error;
    ASSERT_TRUE(model->runRegressionIfNeededForMask(nullptr, 0, vrw.get(), &error));
    ASSERT_EQ(logLinear->coefficient_offset(), 1);
    const std::vector<double> x = {1, 0.5, -0.2, 0, 1};
    DSPlatformNumberFormatter formatter(DSPlatformNumberFormatter::DecimalStyle, QLocale::c());
    for (const auto &[outcome, name] : {std::pair{linear, "linear"}, std::pair{logLinear, "log_linear"}}) {
        SCOPED_TRACE(name);
        const Point point = at(outcome, 0);
        const std::vector<double> &b = expected().at(std::string(name) + "/coefficients");
        const double f = std::inner_product(x.begin(), x.end(), b.begin(), 0.0);
        EXPECT_NEAR(point.fitted(), f, 1e-9);
        const QString text = QStringLiteral("%1 + %2").arg(formatter.stringFromNumber(b[0]),
                                                           formatter.stringFromNumber(point.fitted() - b[0]));
        const double value = point.prediction->predictedValueForFittedValue(point.fitted());
        EXPECT_EQ(point.prediction->explanationForPredictedValue(value, point.fitted(), &formatter),
                  outcome == linear ? text : QStringLiteral("exp(%1)").arg(text));
    }
    model->setPanel_column(columns.at("g"));
    model->setFixed_effects(true);
    ASSERT_TRUE(model->hasFixedEffects());
    EXPECT_TRUE(at(linear, 0).prediction->explanationForPredictedValue(1, 1, &formatter).isNull());
}

// A count with mean 1 and no uncertainty in x'b has variance 1.
TEST_F(DSRegressionTest, PoissonRangeNeverStartsBelowZero)
{
    DSOutcomeVariable *outcome = fit("cnt", false, DSOutcomeModelPoisson);
    const std::vector<double> zeros(5, 0.0);
    const DSPredictionQuery q{at(outcome, 0).prediction, 0, 0, nullptr, zeros.data(), 5};
    const std::optional<DSRange> range = outcome->temp_regression()->predictedRange(q, 0.05);
    const double z = ds_critical_value_z_score(0.05);
    EXPECT_DOUBLE_EQ(first(range), std::max(0.0, 1 - z));
    EXPECT_DOUBLE_EQ(last(range), 1 + z);
}

// New result columns are the stored kind (the next test's set-up puts the
// test columns back).
void useStoredNumericColumns()
{
    DSObjectFactory::registerClass<DSNumericDataColumn>(QStringLiteral("DSNumericDataColumn"));
}

QList<DSNumericDataColumn *> numericColumns(const QList<DSColumn *> &columns)
{
    QList<DSNumericDataColumn *> numeric;
    for (DSColumn *column : columns)
        numeric << dynamic_cast<DSNumericDataColumn *>(column);
    return numeric;
}

std::vector<double> valuesOf(DSNumericDataColumn *column)
{
    const double *values = nullptr;
    const qint64 n = column->getValues(&values);
    return std::vector<double>(values, values + n);
}

// A logit gives one residual column named with its non-base category and one
// chance column of that category equal to R's fitted values; a row outside
// the row mask is NaN in both.
TEST_F(DSRegressionTest, BinaryResultColumnsReadTheFirstSet)
{
    DSOutcomeVariable *outcome = fit("b", true, DSOutcomeModelLogit);
    useStoredNumericColumns();
    std::vector<uint8_t> mask((250 + 7) / 8, 0xff);
    mask[0] = 0xfe; // row 0 filtered out
    const QList<DSNumericDataColumn *> residuals = outcome->insertColumnsFromResidualsForMask(mask.data(), qint64(mask.size()));
    const QList<DSNumericDataColumn *> predicted = numericColumns(
        outcome->insertColumnsFromPredictedValuesForMask(mask.data(), qint64(mask.size())));
    ASSERT_EQ(residuals.size(), 1);
    ASSERT_EQ(predicted.size(), 1);
    EXPECT_EQ(residuals[0]->name(), QStringLiteral("residual b = 1 (logit)"));
    EXPECT_EQ(predicted[0]->name(), QStringLiteral("predicted chance b = 1 (logit)"));
    EXPECT_EQ(predicted[0]->number_formatter()->number_style(), 3);
    std::vector<double> chances = valuesOf(predicted[0]);
    ASSERT_EQ(chances.size(), 250u);
    EXPECT_TRUE(std::isnan(chances[0]) && std::isnan(valuesOf(residuals[0])[0]));
    std::vector<double> wanted = expected().at("logit/fitted");
    chances.erase(chances.begin());
    wanted.erase(wanted.begin());
    expectNear(chances, wanted, 1e-7, "chances");
}

TEST_F(DSRegressionTest, MultinomialGivesAColumnPerCategoryAndAFailedFitNone)
{
    DSOutcomeVariable *outcome = fit("m", true, DSOutcomeModelMultinomialLogit);
    useStoredNumericColumns();
    EXPECT_EQ(outcome->insertColumnsFromResidualsForMask(nullptr, 0).size(), 3);
    const QList<DSNumericDataColumn *> chances
        = numericColumns(outcome->insertColumnsFromPredictedValuesForMask(nullptr, 0));
    ASSERT_EQ(chances.size(), 3);
    for (qint64 r = 0; r < 250; r += 50)
        EXPECT_NEAR(valuesOf(chances[0])[size_t(r)] + valuesOf(chances[1])[size_t(r)] + valuesOf(chances[2])[size_t(r)],
                    1, 1e-12);

    variables.clear();
    DSRegressionModel *twice = newModel();
    addVariable(twice, columns.at("x1"));
    addVariable(twice, columns.at("x1"));
    DSOutcomeVariable *failed = addOutcome(twice, columns.at("y"));
    DSError none;
    twice->runRegressionIfNeededForMask(nullptr, 0, vrw.get(), &none);
    ASSERT_EQ(failed->temp_regression()->error_code(), 5);
    EXPECT_TRUE(failed->insertColumnsFromResidualsForMask(nullptr, 0).isEmpty());
    EXPECT_TRUE(failed->insertColumnsFromPredictedValuesForMask(nullptr, 0).isEmpty());
}

// The times of a time column with their intervals.
std::pair<std::vector<double>, std::vector<double>> timesOf(DSColumn *column)
{
    const double *values = nullptr, *intervals = nullptr;
    const qint64 n = dynamic_cast<DSTimeColumn *>(column)->getTimeValues(&values, &intervals);
    return {std::vector<double>(values, values + n), std::vector<double>(intervals, intervals + n)};
}

// Predicted values of a time outcome are times of its kind: a date is the
// day of 2001-01-01 + the predicted days, as the numeric fit of the same
// days has them (in the days' number format); a time of day its second,
// and 23:59:59 where the prediction passes midnight.
TEST_F(DSRegressionTest, PredictedTimesAreTimesOfTheOutcomesKind)
{
    const std::vector<double> &y = columns.at("y")->values;
    std::vector<double> days, dates, hours, clock;
    for (double v : y) {
        days.push_back(10 + v);
        dates.push_back(days.back() * 86400);
        hours.push_back(std::clamp(21 + 2 * v, 0.0, 23.9));
        clock.push_back(hours.back() * 3600);
    }
    columns["days"] = numeric(QStringLiteral("days"), days);
    columns["hours"] = numeric(QStringLiteral("hours"), hours);
    columns["days"]->makeDependencies();
    columns["days"]->number_formatter()->setMaximum_fractional_digits(5);
    std::map<std::string, DSColumn *> timeColumns{{"days", times(QStringLiteral("date"), dates)},
                                                  {"hours", times(QStringLiteral("clock"), clock, true)}};
    useStoredNumericColumns();
    for (const auto &[name, timeColumn] : timeColumns) {
        SCOPED_TRACE(name);
        variables.clear();
        DSNumericDataColumn *predictedNumbers = numericColumns(
            fit(name, false, DSOutcomeModelLinear)->insertColumnsFromPredictedValuesForMask(nullptr, 0))[0];
        const std::vector<double> numbers = valuesOf(predictedNumbers);
        if (name == "days") {
            EXPECT_EQ(predictedNumbers->number_formatter()->maximum_fractional_digits(), 5) << "the outcome's format";
        }
        variables.clear();
        model = newModel();
        for (const char *x : {"x1", "x2"})
            variables.push_back(addVariable(model, columns.at(x)));
        variables.push_back(addVariable(model, columns.at("g"), true));
        DSOutcomeVariable *outcome = addOutcome(model, timeColumn);
        DSError error;
        ASSERT_TRUE(model->runRegressionIfNeededForMask(nullptr, 0, vrw.get(), &error));
        const QList<DSColumn *> made = outcome->insertColumnsFromPredictedValuesForMask(nullptr, 0);
        ASSERT_EQ(made.size(), 1);
        const auto *madeTimes = dynamic_cast<DSTimeDataColumn *>(made[0]);
        ASSERT_TRUE(madeTimes);
        const bool timeOfDay = name == "hours";
        EXPECT_EQ(madeTimes->isTimeOfDay(), timeOfDay);
        const auto [values, intervals] = timesOf(made[0]);
        ASSERT_EQ(values.size(), numbers.size());
        int clamped = 0;
        for (size_t r = 0; r < values.size(); ++r) {
            const double seconds = numbers[r] * (timeOfDay ? 3600 : 86400);
            const double wanted = timeOfDay ? std::min(std::floor(seconds + 1e-6), 86399.0)
                                            : std::floor(numbers[r] + 1e-9) * 86400;
            clamped += timeOfDay && seconds >= 86400;
            EXPECT_EQ(values[r], wanted) << r;
            EXPECT_EQ(intervals[r], timeOfDay ? 1 : 86400) << r;
        }
        EXPECT_TRUE(!timeOfDay || clamped > 0) << "some predictions pass midnight";
    }
}

// The survival rows at x'b equal survfit(coxph, newdata, ctype = 1).
TEST_F(DSRegressionTest, CoxSurvivalRowsEqualSurvfit)
{
    DSOutcomeVariable *outcome = fit("t", false, DSOutcomeModelCox);
    const Point point = at(outcome, 0);
    const double x = point.fitted();
    EXPECT_NEAR(x, expected().at("cox/fitted")[0], 1e-7);
    const QList<QVariantList> rows = outcome->predictionDistributionInfoForFittedValue(x, 0, 0);
    ASSERT_EQ(rows.size(), 251);
    EXPECT_EQ(rows[0][2].toString(), QStringLiteral("survival rate"));
    std::vector<double> survival;
    for (qsizetype i = 1; i < rows.size(); ++i)
        survival.push_back(rows[i][2].toDouble());
    expectNear(survival, expected().at("cox/survival"), 1e-6, "survival");
    // The median: the first time the predicted survival falls below one half.
    double median = NAN;
    for (qsizetype i = 1; i < rows.size() && std::isnan(median); ++i)
        if (rows[i][2].toDouble() < 0.5)
            median = rows[i][0].toDouble();
    EXPECT_DOUBLE_EQ(point.prediction->predictedValueForFittedValue(x), median);
}

// A Cox outcome of dates (t days after 2001-01-01): the same survival, each
// failure time the day it falls on.
TEST_F(DSRegressionTest, CoxFailureTimesOfDatesAreDays)
{
    std::vector<double> dates;
    for (double t : columns.at("t")->values)
        dates.push_back(t * 86400);
    DSTimeDataColumn *when = times(QStringLiteral("when"), dates);
    model = newModel();
    for (const char *x : {"x1", "x2"})
        variables.push_back(addVariable(model, columns.at(x)));
    variables.push_back(addVariable(model, columns.at("g"), true));
    DSOutcomeVariable *outcome = addOutcome(model, when);
    outcome->setCardinal_model(DSOutcomeModelCox);
    DSError error;
    ASSERT_TRUE(model->runRegressionIfNeededForMask(nullptr, 0, vrw.get(), &error));
    const QList<QVariantList> rows = outcome->predictionDistributionInfoForFittedValue(at(outcome, 0).fitted(), 0, 0);
    ASSERT_EQ(rows.size(), 251);
    std::vector<double> sorted = columns.at("t")->values, survival;
    std::sort(sorted.begin(), sorted.end());
    for (qsizetype i = 1; i < rows.size(); ++i) {
        ASSERT_TRUE(rows[i][0].canConvert<DSDate>());
        const DSDate day = rows[i][0].value<DSDate>();
        EXPECT_FALSE(day.isTimeOfDay());
        EXPECT_EQ(day.timeIntervalSinceReferenceDate(), std::floor(sorted[size_t(i - 1)]) * 86400);
        EXPECT_EQ(day.duration(), 86400);
        survival.push_back(rows[i][2].toDouble());
    }
    expectNear(survival, expected().at("cox/survival"), 1e-6, "survival");
}

// The R command of every model code, as fixtures/r_commands.txt holds it,
// gives our coefficients when make_regressions.R runs it on the data.
TEST_F(DSRegressionTest, EmittedRCommandsReproduceOurCoefficients)
{
    std::ifstream file(kFixtures + "r_commands.txt");
    std::map<std::string, std::string> commands;
    for (std::string line; std::getline(file, line);)
        commands[line.substr(0, line.find('\t'))] = line.substr(line.find('\t') + 1);
    // R's default convergence stops the iterative fits a few digits short.
    const ModelCase cases[] = {
        {"linear", "y", false, DSOutcomeModelLinear, "", 1e-7},
        {"log_linear", "yp", false, DSOutcomeModelLogLinear, "", 1e-7},
        {"logit", "b", true, DSOutcomeModelLogit, "", 1e-4},
        {"probit", "b", true, DSOutcomeModelProbit, "", 1e-4},
        {"linear_probability", "b", true, DSOutcomeModelLinearProbability, "", 1e-7},
        {"poisson", "cnt", false, DSOutcomeModelPoisson, "", 1e-4},
        {"geometric", "cnt", false, DSOutcomeModelGeometric, "", 1e-4},
        {"ordered_logistic", "m", true, DSOutcomeModelOrderedLogit, "", 1e-4},
        {"ordered_probit", "m", true, DSOutcomeModelOrderedProbit, "", 1e-4},
        {"cox", "t", false, DSOutcomeModelCox, "", 1e-4},
        {"negative_binomial", "cnt", false, DSOutcomeModelNegativeBinomial, "", 1e-4},
        {"multinomial_logit", "m", true, DSOutcomeModelMultinomialLogit, "", 1e-4},
    };
    ASSERT_EQ(commands.size(), std::size(cases));
    for (const ModelCase &c : cases) {
        SCOPED_TRACE(c.name);
        variables.clear();
        DSOutcomeVariable *outcome = fit(c.column, c.categorical, c.code);
        EXPECT_EQ(model->REstimationCommandForOutcome(outcome).toStdString(), commands.at(c.name));
        std::vector<double> ours = coefficients(outcome, 0);
        // multinom's sets are those of the categories beside the base, 0.
        if (c.code == DSOutcomeModelMultinomialLogit) {
            ours = coefficients(outcome, 1);
            const std::vector<double> second = coefficients(outcome, 2);
            ours.insert(ours.end(), second.begin(), second.end());
        }
        if (c.code == DSOutcomeModelCox && model->hasConstantTerm())
            ours.erase(ours.begin());
        expectNear(ours, expected().at(std::string(c.name) + "/command_coefficients"), c.tolerance, "coefficients");
    }
}

struct ClassCase {
    bool categorical;
    qint64 code;
    const char *name; // null: the factory makes none
    const char *oddsRatioHeader;
    bool oddsRatios;
    int64_t distribution;
};

// The factory's table and the class answers asked of unrun instances.
TEST_F(DSRegressionTest, FactoryPicksTheClassOfTheModelCode)
{
    auto *three = numeric(QStringLiteral("three"), std::vector<double>(250, 0));
    for (qint64 r = 0; r < 250; ++r)
        three->values[size_t(r)] = double(r % 3);
    const ClassCase cases[] = {
        {false, DSOutcomeModelLinear, "linear", "Odds Ratio", false, DSCoefficientDistributionT},
        {false, DSOutcomeModelLogLinear, "log-linear", "Odds Ratio", false, DSCoefficientDistributionT},
        {false, DSOutcomeModelPoisson, "poisson", "IRR", true, DSCoefficientDistributionNormal},
        {false, DSOutcomeModelGeometric, "geometric", "IRR", true, DSCoefficientDistributionNormal},
        {false, DSOutcomeModelNegativeBinomial, "negative binomial", "IRR", true, DSCoefficientDistributionNormal},
        {false, DSOutcomeModelCox, "proportional hazards", "Haz. Ratio", true, DSCoefficientDistributionNormal},
        {false, 5, nullptr, nullptr, false, 0},
        {true, DSOutcomeModelMultinomialLogit, "multinomial logit", "RRR", true, DSCoefficientDistributionNormal},
        {true, DSOutcomeModelOrderedLogit, "ordered logit", "Odds Ratio", false, DSCoefficientDistributionNormal},
        {true, DSOutcomeModelOrderedProbit, "ordered probit", "Odds Ratio", false, DSCoefficientDistributionNormal},
        {true, 5, nullptr, nullptr, false, 0},
    };
    DSOutcomeVariable *outcome = addOutcome(newModel(), three);
    for (const ClassCase &c : cases) {
        SCOPED_TRACE(c.code);
        outcome->setTreat_as_categories(c.categorical);
        outcome->updateCategories();
        outcome->setCategory_model(c.code);
        outcome->setCardinal_model(c.code);
        std::unique_ptr<DSRegression> r = DSRegression::regressionForOutcome(outcome);
        ASSERT_EQ(bool(r), c.name != nullptr);
        if (!r)
            continue;
        EXPECT_EQ(r->name(), QString::fromLatin1(c.name));
        EXPECT_EQ(r->oddsRatioHeaderName(), QString::fromLatin1(c.oddsRatioHeader));
        EXPECT_EQ(r->coefficientsCanBeExpressedAsOddsRatios(), c.oddsRatios);
        EXPECT_EQ(r->coefficientDistribution(), c.distribution);
    }
    outcome->setTreat_as_categories(true);
    outcome->setCategory_model(DSOutcomeModelMultinomialLogit);
    EXPECT_EQ(DSRegression::regressionForOutcome(outcome)->numberOfCoefficientSetsForOutcome(outcome), 3);
    outcome->setCategory_model(DSOutcomeModelOrderedLogit);
    EXPECT_EQ(DSRegression::regressionForOutcome(outcome)->numberOfNuisanceParametersForOutcome(outcome), 4);

    DSOutcomeVariable *binary = addOutcome(newModel(), columns.at("b"));
    binary->setTreat_as_categories(true);
    binary->updateCategories();
    for (const auto &[code, name] : {std::pair{qint64(DSOutcomeModelLogit), "logit"},
                                     std::pair{qint64(DSOutcomeModelProbit), "probit"},
                                     std::pair{qint64(DSOutcomeModelLinearProbability), "linear"}}) {
        binary->setBinary_model(code);
        EXPECT_EQ(DSRegression::regressionForOutcome(binary)->name(), QString::fromLatin1(name));
    }
    binary->setBinary_model(5);
    EXPECT_FALSE(DSRegression::regressionForOutcome(binary));
}

// No data: 3 with its message, the sums NaN; nothing to estimate: 1 without
// a message; redundant regressors: 5 with the collinear set numbers kept
// and the coefficients purged.
TEST_F(DSRegressionTest, RunErrorCodes)
{
    DSOutcomeVariable *outcome = fit("y", false, DSOutcomeModelLinear);
    DSLinearRegression fresh;
    DSError error;
    EXPECT_EQ(fresh.runRegressionForOutcome(outcome, nullptr, nullptr, vrw.get(), &error), 3);
    EXPECT_EQ(error.code, 1);
    EXPECT_EQ(error.localizedDescription, QStringLiteral("No data! Try using a broader set of filters, or delete "
                                                         "variables that have a lot of missing values."));
    EXPECT_EQ(fresh.observation_count(), 0);
    EXPECT_TRUE(std::isnan(fresh.residual_sum_of_squares()) && std::isnan(fresh.log_likelihood())
                && std::isnan(fresh.total_sum_of_squares()));
    EXPECT_GE(fresh.running_time(), 0);
    EXPECT_FALSE(fresh.post_estimator());

    DSRegressionModel *empty = newModel();
    empty->setInclude_constant(false);
    DSOutcomeVariable *alone = addOutcome(empty, columns.at("y"));
    DSError none;
    EXPECT_TRUE(empty->runRegressionIfNeededForMask(nullptr, 0, vrw.get(), &none)) << "code 1 gives no error";
    EXPECT_EQ(alone->temp_regression()->error_code(), 1);
    EXPECT_TRUE(none.localizedDescription.isEmpty());

    variables.clear();
    DSRegressionModel *twice = newModel();
    DSExplanatoryColumnVariable *first = addVariable(twice, columns.at("x1"));
    DSExplanatoryColumnVariable *second = addVariable(twice, columns.at("x1"));
    DSOutcomeVariable *redundant = addOutcome(twice, columns.at("y"));
    EXPECT_TRUE(twice->runRegressionIfNeededForMask(nullptr, 0, vrw.get(), &none)) << "code 5 gives no error";
    EXPECT_EQ(redundant->temp_regression()->error_code(), 5);
    EXPECT_NE(first->multiCollinearityCountForCoefficientSet(-1) + second->multiCollinearityCountForCoefficientSet(-1),
              0);
    EXPECT_TRUE(std::isnan(first->estimateAtIndex(0)->coefficientForCoefficientSet(0)));
}

QStringList logged;

void keepMessage(QtMsgType, const QMessageLogContext &, const QString &message)
{
    logged << message;
}

// The run's log lines, and a kernel directory of the test's own, both put
// back afterwards.
class DSRegressionLogTest : public DSRegressionTest
{
protected:
    void SetUp() override
    {
        DSRegressionTest::SetUp();
        logged.clear();
        previous = qInstallMessageHandler(keepMessage);
    }
    void TearDown() override
    {
        qInstallMessageHandler(previous);
        ds_set_vrw_program_directory(QString());
        DSRegressionTest::TearDown();
    }
    QStringList linesStartingWith(const QString &start) const
    {
        QStringList lines;
        for (const QString &line : logged)
            if (line.startsWith(start))
                lines << line;
        return lines;
    }
    QtMessageHandler previous = nullptr;
};

// x1 above 0 separates the outcome completely: the logit's slope grows
// without end, and with every row counted 1e9 times each step still gains
// enough for the fit to go on until its 40 iterations are spent.
TEST_F(DSRegressionLogTest, FortyIterationsAreNoConvergence)
{
    std::vector<double> separated, heavy(250, 1e9);
    for (double x : columns.at("x1")->values)
        separated.push_back(x > 0 ? 1 : 0);
    columns["separated"] = numeric(QStringLiteral("separated"), separated);
    table->setFrequency_weights_column(numeric(QStringLiteral("w"), heavy));
    table->setApply_frequency_weights(true);
    DSError error;
    DSOutcomeVariable *outcome = fit("separated", true, DSOutcomeModelLogit, &error);
    ASSERT_TRUE(outcome->temp_regression());
    EXPECT_EQ(outcome->temp_regression()->error_code(), 7);
    EXPECT_EQ(error.code, 0);
    EXPECT_EQ(error.localizedDescription, QStringLiteral("Error during regression"));
    EXPECT_EQ(linesStartingWith(QStringLiteral("Warning: reached max iterations without converging")).size(), 1);
    const QStringList absolute = linesStartingWith(QStringLiteral("Absolute error in iteration #"));
    ASSERT_EQ(absolute.size(), 40);
    EXPECT_EQ(linesStartingWith(QStringLiteral("Relative error in iteration #")).size(), 40);
    EXPECT_TRUE(absolute.last().startsWith(QStringLiteral("Absolute error in iteration #39: ")));
    EXPECT_TRUE(std::isnan(variables[0]->estimateAtIndex(0)->coefficientForCoefficientSet(0))) << "purged";
    EXPECT_TRUE(outcome->insertColumnsFromResidualsForMask(nullptr, 0).isEmpty());
}

// Programs that do not build: 8 with the loader's message; programs that
// build without the fit's kernels: the library's status, 9.
TEST_F(DSRegressionLogTest, KernelProgramsThatFailAndOtherLibraryStatuses)
{
    ds_set_vrw_program_directory(QString::fromStdString(vrw_test_scratch_dir("no_programs")));
    DSError error;
    DSOutcomeVariable *outcome = fit("y", false, DSOutcomeModelLinear, &error);
    EXPECT_EQ(outcome->temp_regression()->error_code(), 8);
    EXPECT_EQ(error.code, 1);
    EXPECT_EQ(error.localizedDescription, QStringLiteral("Error compiling Varrow code"));
    EXPECT_FALSE(outcome->temp_regression()->post_estimator());

    const std::string markers = vrw_test_program_dir("marker_programs");
    for (const auto &[program, family] : vrw_test_programs())
        vrw_test_write_file(markers + "/" + program + ".cl", vrw_test_marker_program(program));
    ds_set_vrw_program_directory(QString::fromStdString(markers));
    variables.clear();
    logged.clear();
    DSError other;
    outcome = fit("y", false, DSOutcomeModelLinear, &other);
    EXPECT_EQ(outcome->temp_regression()->error_code(), 9);
    EXPECT_EQ(other.code, 0);
    EXPECT_EQ(other.localizedDescription, QStringLiteral("Error during regression"));
    EXPECT_EQ(linesStartingWith(QStringLiteral("Error during regression: ")),
              QStringList{QStringLiteral("Error during regression: -46")});
}

} // namespace
