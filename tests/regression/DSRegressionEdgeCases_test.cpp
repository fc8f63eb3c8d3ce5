// Models at the edges, fitted through a document's model run and compared
// with R on the same data (fixtures/make_edge_models.R): errors clustered
// without fixed effects, Cox models censored by a condition and stratified,
// fixed-effects Poisson with panels that count nothing, a huge analytic
// weight, frequency weights; and the fits that must fail with a message
// that says why.
#include "RegressionTestSupport.h"

#include "model/DSColumnCondition.h"
#include "platform/predicate/DSPredicateValue.h"
#include "platform/store/DSManagedObjectContext.h"
#include "regression/DSRegression.h"
#include "tests/model/ds_test_pspp.h"
#include "tests/support/ds_oracles.h"
#include "tests/varrow/vrw_test_support.h"

#include <QProcess>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <string>

namespace {

const std::string kFixtures = std::string(OSTREL_TEST_SOURCE_DIR) + "/fixtures/";

// "case/what" -> values in index order.
const std::map<std::string, std::vector<double>> &expected()
{
    static const auto values = [] {
        std::map<std::string, std::vector<double>> out;
        for (const auto &row : vrw_test_read_csv(kFixtures + "edge_models_expected.csv"))
            out[row.at("case") + "/" + row.at("what")].push_back(std::stod(row.at("value")));
        return out;
    }();
    return values;
}

struct EdgeCase {
    const char *name;
    const char *data;             // fixtures/edge_<data>.csv
    const char *outcome;
    qint64 code;
    bool binary;                  // a 0/1 outcome treated as categories
    std::vector<const char *> numbers, categories;
    std::vector<std::pair<const char *, const char *>> interactions;
    const char *cluster = nullptr;
    const char *panels = nullptr; // fixed effects
    const char *weight = nullptr;
    const char *censoredWhereZero = nullptr;
    const char *strata = nullptr;
    qint64 rows = -1;             // keep only the first rows
    const char *message = nullptr; // the fit fails with it
    int64_t droppedPanels = 0;
    double tolerance = 1e-7;
    const char *frequency = nullptr; // the table's frequency weights
};

void PrintTo(const EdgeCase &c, std::ostream *out)
{
    *out << c.name;
}

const EdgeCase kCases[] = {
    {"linear_cluster", "mtcars", "mpg", DSOutcomeModelLinear, false, {"wt", "hp"}, {"cyl"}, {{"wt", "hp"}}, "carb"},
    {"poisson_cluster", "mtcars", "carb", DSOutcomeModelPoisson, false, {"wt", "hp"}, {}, {}, "cyl"},
    {"logit_cluster", "mtcars", "am", DSOutcomeModelLogit, true, {"wt", "hp"}, {}, {}, "carb"},
    {"cox_conditions", "veteran", "time", DSOutcomeModelCox, false, {"karno", "age"}, {}, {}, nullptr, nullptr,
     nullptr, "status"},
    {"cox_strata", "veteran", "time", DSOutcomeModelCox, false, {"karno", "age"}, {}, {}, nullptr, nullptr, nullptr,
     "status", "celltype"},
    {"fe_poisson_zero_panels", "panels", "y", DSOutcomeModelPoisson, false, {"x"}, {}, {}, nullptr, "p", nullptr,
     nullptr, nullptr, -1, nullptr, 2},
    // A condition number of 1e12 leaves the errors some six digits.
    {"huge_weight", "heavy", "y", DSOutcomeModelLinear, false, {"x"}, {}, {}, nullptr, nullptr, "w", nullptr,
     nullptr, -1, nullptr, 0, 1e-5},
    {"separated_logit", "separated", "y", DSOutcomeModelLogit, true, {"z", "x"}, {}, {}, nullptr, nullptr, nullptr,
     nullptr, nullptr, -1, "x predicts y perfectly"},
    {"separated_probit", "separated", "y", DSOutcomeModelProbit, true, {"z", "x"}, {}, {}, nullptr, nullptr,
     nullptr, nullptr, nullptr, -1, "x predicts y perfectly"},
    {"one_row", "heavy", "y", DSOutcomeModelLinear, false, {"x"}, {}, {}, nullptr, nullptr, nullptr, nullptr,
     nullptr, 1, "Not enough observations"},
    {"empty", "heavy", "y", DSOutcomeModelLinear, false, {"x"}, {}, {}, nullptr, nullptr, nullptr, nullptr, nullptr,
     0, "No observations"},
    {.name = "two_rows", .data = "heavy", .outcome = "y", .code = DSOutcomeModelLinear, .binary = false,
     .numbers = {"x"}, .categories = {}, .interactions = {}, .rows = 2, .message = "Not enough observations"},
    // "none" is a column of the data's length with no value at all.
    {.name = "all_missing", .data = "heavy", .outcome = "none", .code = DSOutcomeModelLinear, .binary = false,
     .numbers = {"x"}, .categories = {}, .interactions = {}, .message = "No observations"},
    // w's first row weighs 1e12, more than the table can count.
    {.name = "uncountable_frequency", .data = "heavy", .outcome = "y", .code = DSOutcomeModelLinear, .binary = false,
     .numbers = {"x"}, .categories = {}, .interactions = {}, .message = "Frequency weights above 2,147,483,647",
     .frequency = "w"},
    {.name = "linear_frequency", .data = "mtcars", .outcome = "mpg", .code = DSOutcomeModelLinear, .binary = false,
     .numbers = {"wt", "hp"}, .categories = {}, .interactions = {}, .frequency = "f"},
    {.name = "poisson_frequency", .data = "mtcars", .outcome = "carb", .code = DSOutcomeModelPoisson,
     .binary = false, .numbers = {"wt", "hp"}, .categories = {}, .interactions = {}, .frequency = "f"},
    {.name = "logit_frequency", .data = "mtcars", .outcome = "am", .code = DSOutcomeModelLogit, .binary = true,
     .numbers = {"wt", "hp"}, .categories = {}, .interactions = {}, .frequency = "f"},
};

class DSRegressionEdgeCaseTest : public RegressionTest, public ::testing::WithParamInterface<EdgeCase>
{
protected:
    void SetUp() override
    {
        RegressionTest::SetUp();
        vrw.reset(vrw_test_context(0));
        ASSERT_TRUE(vrw);
    }

    // The model of the case, run on its data.
    DSOutcomeVariable *fit(const EdgeCase &c, DSError *error)
    {
        std::map<std::string, std::vector<double>> data;
        for (const auto &row : vrw_test_read_csv(kFixtures + "edge_" + c.data + ".csv"))
            for (const auto &[name, text] : row)
                data[name].push_back(std::stod(text));
        const size_t length = data.begin()->second.size();
        data["none"].assign(length, NAN);
        std::map<std::string, DSNumericColumn *> columns;
        for (auto &[name, values] : data) {
            if (c.rows >= 0)
                values.resize(size_t(c.rows));
            columns[name] = numeric(QString::fromStdString(name), values);
        }
        if (c.frequency) {
            table->setFrequency_weights_column(columns.at(c.frequency));
            table->setApply_frequency_weights(true);
        }
        model = newModel();
        std::map<std::string, DSExplanatoryColumnVariable *> variables;
        for (const char *name : c.numbers)
            variables[name] = addVariable(model, columns.at(name));
        for (const char *name : c.categories)
            variables[name] = addVariable(model, columns.at(name), true);
        for (const auto &[a, b] : c.interactions)
            addInteraction(model, variables.at(a), variables.at(b));
        DSOutcomeVariable *outcome = addOutcome(model, columns.at(c.outcome));
        outcome->setTreat_as_categories(c.binary);
        outcome->setBinary_model(c.code);
        outcome->setCardinal_model(c.code);
        if (c.cluster) {
            model->setPanel_column(columns.at(c.cluster));
            model->setRobust_standard_errors(true);
            model->setClustered_standard_errors(true);
        }
        if (c.panels) {
            model->setPanel_column(columns.at(c.panels));
            model->setFixed_effects(true);
        }
        if (c.weight) {
            outcome->setWeight_column(columns.at(c.weight));
            outcome->setApply_weights(true);
        }
        if (c.censoredWhereZero) {
            DSColumnCondition *condition = DSColumnCondition::insertNewConditionForColumn(
                columns.at(c.censoredWhereZero), DSPredicateValue::fromNumber(0), outcome->managedObjectContext());
            condition->setOperatorType(4);
            condition->setIndex(0);
            condition->setOwner_outcome_right_censoring(outcome);
            outcome->setRight_censoring_predicate_type(1);
            outcome->setApply_right_censoring(true);
        }
        if (c.strata) {
            outcome->setStratification_column(columns.at(c.strata));
            outcome->setApply_stratification(true);
        }
        model->runRegressionIfNeededForMask(nullptr, 0, vrw.get(), error);
        return outcome;
    }

    // The constant when the model has one (Cox has none), then every
    // included regressor in the model's order.
    std::vector<double> estimates(DSOutcomeVariable *outcome, bool errors)
    {
        std::vector<double> out;
        DSRegression *r = outcome->temp_regression();
        if (model->hasConstantTerm() && outcome->cardinal_model() != DSOutcomeModelCox)
            out.push_back(errors ? r->constantStandardErrorAtIndex(0) : r->constantCoefficientAtIndex(0));
        for (DSExplanatoryVariable *variable : model->sortedIncludedExplanatoryVariables())
            for (qint64 k = 0; k < variable->numberOfEstimatesExcluding(DSEstimateExcludeByDesign); ++k) {
                const DSRegressionEstimate *e = variable->estimateAtIndex(k, DSEstimateExcludeByDesign);
                out.push_back(errors ? e->standardErrorForCoefficientSet(0) : e->coefficientForCoefficientSet(0));
            }
        return out;
    }

    std::unique_ptr<VRWContext_s, VRWContextFree> vrw;
    DSRegressionModel *model = nullptr;
};

TEST_P(DSRegressionEdgeCaseTest, FitEqualsROrSaysWhyItCannot)
{
    const EdgeCase &c = GetParam();
    DSError error;
    DSOutcomeVariable *outcome = fit(c, &error);
    DSRegression *r = outcome->temp_regression();
    ASSERT_TRUE(r);
    if (c.message) {
        EXPECT_NE(r->error_code(), 0);
        EXPECT_TRUE(error.localizedDescription.startsWith(QString::fromLatin1(c.message)))
            << error.localizedDescription.toStdString();
        for (double value : estimates(outcome, false))
            EXPECT_TRUE(std::isnan(value)) << "no estimates are shown";
        return;
    }
    ASSERT_EQ(r->error_code(), 0) << error.localizedDescription.toStdString();
    std::vector<double> b = estimates(outcome, false), se = estimates(outcome, true);
    const std::string key = std::string(c.name) + "/";
    const std::vector<double> &wantedB = expected().at(key + "coefficients");
    const std::vector<double> &wantedSE = expected().at(key + "standard_errors");
    ASSERT_EQ(b.size(), wantedB.size());
    for (size_t i = 0; i < b.size(); ++i) {
        EXPECT_NEAR(b[i], wantedB[i], c.tolerance * std::max(1.0, std::fabs(wantedB[i]))) << "coefficient " << i;
        EXPECT_NEAR(se[i], wantedSE[i], c.tolerance * std::max(1.0, wantedSE[i])) << "standard error " << i;
    }
    EXPECT_EQ(r->dropped_panel_count(), c.droppedPanels);
}

INSTANTIATE_TEST_SUITE_P(Models, DSRegressionEdgeCaseTest, ::testing::ValuesIn(kCases),
                         [](const auto &info) { return std::string(info.param.name); });

// The R command the model writes, run by R on the same data, gives the
// model's coefficients, and its standard errors where the errors are not
// clustered (R's fits report plain ones). Fixed effects have no R text.
class DSRegressionEdgeCaseRTest : public DSRegressionEdgeCaseTest
{
};

TEST_P(DSRegressionEdgeCaseRTest, RCommandReproducesTheFit)
{
    const EdgeCase &c = GetParam();
    DS_FIND_ORACLE(rscript, "Rscript");
    DSError error;
    DSOutcomeVariable *outcome = fit(c, &error);
    ASSERT_EQ(outcome->temp_regression()->error_code(), 0);
    const QString command = model->REstimationCommandForOutcome(outcome);
    // Tight convergence, so that R's iterative fits end where ours do: the
    // fit is made again from its own call with tighter controls.
    const QString script =
        QStringLiteral("suppressMessages({library(survival); library(MASS); library(nnet)})\n"
                       "df <- read.csv(\"%1\")\n"
                       "fit <- with(df, %2)\n"
                       "if (inherits(fit, \"glm\")) fit <- with(df, update(fit, control = glm.control(epsilon = 1e-14, maxit = 100)))\n"
                       "if (inherits(fit, \"coxph\")) fit <- with(df, update(fit, control = coxph.control(eps = 1e-12, iter.max = 100)))\n"
                       "b <- if (inherits(fit, \"summary.glm\")) coef(fit)[, 1:2] else cbind(coef(fit), sqrt(diag(vcov(fit))))\n"
                       "write.table(format(b, digits = 17), quote = FALSE, col.names = FALSE, row.names = FALSE)\n")
            .arg(QString::fromStdString(kFixtures + "edge_" + c.data + ".csv"), command);
    QProcess r;
    r.start(rscript, {QStringLiteral("-e"), script});
    ASSERT_TRUE(r.waitForFinished(60000));
    ASSERT_EQ(r.exitCode(), 0) << command.toStdString() << "\n" << r.readAllStandardError().toStdString();
    std::vector<double> b, se;
    for (const QByteArray &line : r.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() == 2) {
            b.push_back(fields[0].toDouble());
            se.push_back(fields[1].toDouble());
        }
    }
    const std::vector<double> ours = estimates(outcome, false), ourErrors = estimates(outcome, true);
    ASSERT_EQ(b.size(), ours.size()) << command.toStdString();
    const double tolerance = std::max(c.tolerance, 1e-6);
    for (size_t i = 0; i < b.size(); ++i) {
        EXPECT_NEAR(b[i], ours[i], tolerance * std::max(1.0, std::fabs(ours[i]))) << command.toStdString() << ": " << i;
        if (!c.cluster) {
            EXPECT_NEAR(se[i], ourErrors[i], tolerance * std::max(1.0, ourErrors[i])) << command.toStdString() << ": " << i;
        }
    }
}

std::vector<EdgeCase> fittedCases()
{
    std::vector<EdgeCase> fitted;
    for (const EdgeCase &c : kCases)
        if (!c.message && !c.panels)
            fitted.push_back(c);
    return fitted;
}

INSTANTIATE_TEST_SUITE_P(Models, DSRegressionEdgeCaseRTest, ::testing::ValuesIn(fittedCases()),
                         [](const auto &info) { return std::string(info.param.name); });

// One printed number and the half unit of its last printed digit; NaN for
// a cell that holds none.
struct Printed {
    double value = NAN;
    double halfUnit = NAN;
};

Printed printed(const QString &cell)
{
    bool ok = false;
    const double value = cell.toDouble(&ok);
    if (!ok || cell.contains(u'E'))
        return {};
    return {value, ds_test_printed_half_unit(cell)};
}

// The SPSS command of the linear and logistic models (the ones PSPP
// implements; its REGRESSION has no /REGWGT for analytic weights), run by PSPP on the same data, prints the model's
// coefficients, and its standard errors where they are not clustered, at
// the digits it prints.
class DSRegressionEdgeCasePsppTest : public DSRegressionEdgeCaseTest
{
};

TEST_P(DSRegressionEdgeCasePsppTest, SPSSCommandReproducesTheFit)
{
    const EdgeCase &c = GetParam();
    DS_FIND_ORACLE(pspp, "pspp");
    DSError error;
    DSOutcomeVariable *outcome = fit(c, &error);
    ASSERT_EQ(outcome->temp_regression()->error_code(), 0);
    const QString command = model->SPSSEstimationCommandForOutcome(outcome);
    const QString output =
        ds_test_run_pspp(pspp, QString::fromStdString(kFixtures + "edge_" + c.data + ".csv"), command);
    if (output.isNull())
        DS_ORACLE_FAILED("PSPP did not run " + command.toStdString());
    const QStringList lines = output.split(u'\n');
    // Regression's table lists the constant first, logistic regression's
    // last; both list the regressors in the order entered.
    std::vector<std::pair<Printed, Printed>> rows;
    bool constantLast = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const bool regression = lines[i].startsWith(QStringLiteral("Table: Coefficients"));
        const bool logistic = lines[i].startsWith(QStringLiteral("Table: Variables in the Equation"));
        if (!regression && !logistic)
            continue;
        constantLast = logistic;
        for (qsizetype j = i + (regression ? 3 : 2); j < lines.size() && !lines[j].isEmpty(); ++j) {
            const QStringList cells = lines[j].split(u',');
            const qsizetype first = logistic ? 2 : 1;
            if (cells.size() > first + 1)
                rows.push_back({printed(cells[first]), printed(cells[first + 1])});
        }
    }
    ASSERT_FALSE(rows.empty()) << command.toStdString() << "\n" << lines.join(u'\n').toStdString();
    if (constantLast)
        std::rotate(rows.begin(), rows.end() - 1, rows.end());
    const std::vector<double> ours = estimates(outcome, false), ourErrors = estimates(outcome, true);
    ASSERT_EQ(rows.size(), ours.size()) << command.toStdString();
    for (size_t i = 0; i < rows.size(); ++i) {
        // The printed digit may round either way of a value near its half.
        EXPECT_NEAR(rows[i].first.value, ours[i], rows[i].first.halfUnit) << command.toStdString() << ": " << i;
        if (!c.cluster) {
            EXPECT_NEAR(rows[i].second.value, ourErrors[i], rows[i].second.halfUnit)
                << command.toStdString() << ": " << i;
        }
    }
}

std::vector<EdgeCase> psppCases()
{
    std::vector<EdgeCase> cases;
    for (const EdgeCase &c : fittedCases())
        if ((c.code == DSOutcomeModelLinear || c.code == DSOutcomeModelLogit) && !c.weight)
            cases.push_back(c);
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Models, DSRegressionEdgeCasePsppTest, ::testing::ValuesIn(psppCases()),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
