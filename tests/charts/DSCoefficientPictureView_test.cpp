// The coefficient picture of the model pane and the Predict view's survival
// and coefficient pictures, on fits of the regression driver's data
// (../regression/fixtures) run through the model, against R
// (fixtures/make_coefficient_pictures.R). The panes that will own them are
// stood in for by pane controllers of a real document window that answer
// the owners' questions; pictures go to the binary folder.
#include "../ui/window/window_test_support.h"
#include "coefficient_picture_fixtures.h"

#include "charts/DSCoefficientEstimatePainter.h"
#include "charts/DSCoefficientJointSignificancePainter.h"
#include "charts/DSCoefficientMultipleEstimatePainter.h"
#include "charts/DSCoefficientPictureOwner.h"
#include "charts/DSCoefficientPictureView.h"
#include "charts/DSPredictionCoefficientDistributionView.h"
#include "charts/DSPredictionCoefficientHypothesisView.h"
#include "charts/DSPredictionPictureOwner.h"
#include "charts/DSStyle.h"
#include "model/DSColumnCategory.h"
#include "model/DSDataTable.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSTable.h"
#include "platform/format/DSPlatformNumberFormatter.h"
#include "platform/graphics/DSRecordingContext.h"
#include "platform/store/DSManagedObjectContext.h"
#include "regression/DSCoxRegression.h"
#include "regression/DSExplanatoryColumnVariable.h"
#include "regression/DSOutcomeVariable.h"
#include "regression/DSPrediction.h"
#include "regression/DSPredictionAssumption.h"
#include "regression/DSRegression.h"
#include "regression/DSRegressionModel.h"
#include "regression/ds_load_vrw_programs.h"
#include "tests/varrow/vrw_test_support.h"
#include "ui/window/DSStatDocumentViewDelegate.h"
#include "ui/window/DSStatDocumentWindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <iostream>
#include <map>
#include <string>

namespace {

const auto &expected = coefficientPictureFixtures;

// The application side with the result formatters and a fitting context.
class FittingHost : public ResultFormattersHost
{
public:
    VRWContext_s *varrow_context() const override { return context; }
    VRWContext_s *context = nullptr;
};

// The model pane as the coefficient picture sees it: the outline's selected
// rows, counted refreshes, a condition and a mask it is told.
class ModelPane : public DSStatDocumentViewDelegate, public DSCoefficientPictureOwner
{
public:
    QList<DSExplanatoryOutlineItem> selectedExplanatoryItems() const override { return items; }
    void refreshExplanatoryView(QObject *) override { ++refreshes; }
    QString pictureConditionString() const override { return condition; }
    DSRowMaskRef pictureMask() override { return mask ? mask : DSStatDocumentViewDelegate::pictureMask(); }

    QList<DSExplanatoryOutlineItem> items;
    int refreshes = 0;
    QString condition;
    DSRowMaskRef mask;
};

// The Predict view as its pictures see it: a column variable's estimate is
// its first, or the assumed category's; clicks are counted.
class PredictPane : public DSStatDocumentViewDelegate, public DSPredictionPictureOwner
{
public:
    const DSRegressionEstimate *estimateForVariable(DSExplanatoryVariable *variable, DSPrediction *prediction) override
    {
        if (!variable->hasCategories())
            return variable->estimateAtIndex(0, DSEstimateExcludeByDesign);
        const DSPredictionAssumption *assumption = prediction->assumptionForVariable(variable);
        return variable->estimateAtIndex(assumption ? assumption->category_value() : 0);
    }
    void predictionEquationMouseDown(QMouseEvent *) override { ++clicks; }

    int clicks = 0;
};

QStringList pdfText(const QByteArray &pdf)
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("picture.pdf")));
    if (!file.open(QIODevice::WriteOnly) || file.write(pdf) != pdf.size())
        return {};
    file.close();
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), file.fileName(), QStringLiteral("-")});
    process.waitForFinished(20000);
    return QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'));
}

class CoefficientPictureTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ensureWindowTestApplication();
        vrw.reset(vrw_test_context(0));
        ASSERT_TRUE(vrw);
        host.context = vrw.get();
        document = std::make_unique<DSStatDocumentWindow>(&host);
        ASSERT_TRUE(document->initWithType(DSStatDocument::nativeType));
        table = document->active_table();
        std::map<std::string, std::vector<double>> data;
        for (const auto &row : vrw_test_read_csv(std::string(OSTREL_TEST_SOURCE_DIR)
                                                 + "/../regression/fixtures/regressions.csv"))
            for (const auto &[name, text] : row)
                data[name].push_back(std::stod(text));
        ASSERT_TRUE(ds_object_cast<DSDataTable>(table));
        ds_object_cast<DSDataTable>(table)->setNum_records(qint64(data.at("x1").size()));
        for (auto &[name, values] : data)
            columns[name] = addNumericColumn(table, QString::fromStdString(name), values);
        // Four categories from the signs of x1 and x2.
        std::vector<double> quadrant;
        for (size_t i = 0; i < data.at("x1").size(); ++i)
            quadrant.push_back((data.at("x1")[i] > 0) + 2 * (data.at("x2")[i] > 0));
        columns["q"] = addNumericColumn(table, QStringLiteral("q"), quadrant);
        view = std::make_unique<DSCoefficientPictureView>();
        modelPane.setDocument(document.get());
        predictPane.setDocument(document.get());
        view->setOwner(&modelPane);
        view->setFrame(ds_rect_make(0, 0, 480, 300));
    }

    // A model of x1, x2 and the categories of `categorical` for the outcome
    // column, fitted by the picture's refresh; the model is the table's
    // active one and the outcome its active outcome.
    DSOutcomeVariable *fit(const char *outcomeColumn, qint64 code, const char *categorical = "g",
                           bool oddsRatios = false)
    {
        auto *made = ds_object_cast<DSRegressionModel>(table->insertNewObjectOfEntity(QStringLiteral("DSRegressionModel")));
        made->setName(QStringLiteral("Model"));
        table->insertRegressionModel(made, table->sortedRegressionModels().size());
        made->setTable(table);
        model = made;
        variables.clear();
        for (const char *name : {"x1", "x2"})
            variables.push_back(model->insertNewExplanatoryVariableWithColumn(columns.at(name)));
        if (categorical) {
            variables.push_back(model->insertNewExplanatoryVariableWithColumn(columns.at(categorical)));
            ds_object_cast<DSExplanatoryColumnVariable>(variables.back())->setTreat_as_categories(true);
        }
        model->setReport_odds_ratios(oddsRatios);
        auto *outcome = ds_object_cast<DSOutcomeVariable>(model->insertNewObjectOfEntity(QStringLiteral("DSOutcomeVariable")));
        outcome->setColumn(columns.at(outcomeColumn));
        model->insertOutcomeVariable(outcome, 0);
        outcome->setModel(model);
        outcome->setTreat_as_categories(code == DSOutcomeModelLogit);
        outcome->setBinary_model(code);
        outcome->setCardinal_model(code);
        outcome->setCategory_model(code);
        table->setActive_model(model);
        model->setActive_outcome(outcome);
        model->setNeeds_regression(true);
        view->refreshView();
        return outcome;
    }

    // Selects the rows: the active variable is the first variable row's
    // variable, or the estimates' variable.
    void select(const QList<DSExplanatoryOutlineItem> &items, DSExplanatoryVariable *active)
    {
        modelPane.items = items;
        model->setActive_explanatory_variable(active);
    }
    static DSExplanatoryOutlineItem row(DSExplanatoryVariable *variable) { return {variable, nullptr}; }
    static DSExplanatoryOutlineItem row(const DSRegressionEstimate *estimate) { return {nullptr, estimate}; }
    DSRegressionEstimate *estimate(int variable, qint64 i) const
    {
        return variables[variable]->estimateAtIndex(i, DSEstimateExcludeByDesign);
    }

    std::vector<QString> drawnTexts()
    {
        DSRecordingContext context;
        view->drawRect(view->bounds(), modelPane.style(), false, &context);
        std::vector<QString> texts;
        for (const auto &text : context.primitives(DSRecordedPrimitive::Text))
            texts.push_back(text.text);
        return texts;
    }

    QString formatted(const char *key, double value)
    {
        return modelPane.style()->numberFormatterForKey(QString::fromLatin1(key))->stringFromNumber(value);
    }

    void keep(DSStatDocumentSubview &picture, const QString &name)
    {
        const QString path = QDir(QCoreApplication::applicationDirPath()).filePath(name);
        ASSERT_TRUE(picture.writePNGToURL(path, false));
        std::cout << "picture: " << path.toStdString() << std::endl;
    }

    std::unique_ptr<VRWContext_s, VRWContextFree> vrw;
    FittingHost host;
    std::unique_ptr<DSStatDocumentWindow> document;
    DSTable *table = nullptr;
    std::map<std::string, DSNumericDataColumn *> columns;
    ModelPane modelPane;
    PredictPane predictPane;
    std::unique_ptr<DSCoefficientPictureView> view;
    DSRegressionModel *model = nullptr;
    QList<DSExplanatoryVariable *> variables;
};

} // namespace

// Each selection goes to its painter, whose title and legend print R's
// figures; the PDF export carries the same texts.
TEST_F(CoefficientPictureTest, SelectionsDrawTheirPaintersWithRFigures)
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    struct Case
    {
        const char *what;
        const char *outcome;
        qint64 code;
        bool oddsRatios;
        std::function<void()> choose;
        QString title;
        std::vector<QString> legend; // value texts of the rows, in order
    };
    const auto &lin = expected();
    auto p = [&](double value) -> QString { return QStringLiteral("= ") + formatted("ModelPValueFormatter", value); };
    auto stat = [&](double value) -> QString { return QStringLiteral("= ") + formatted("ModelFStatisticFormatter", value); };
    auto coef = [&](double value) -> QString { return QStringLiteral("= ") + formatted("ModelCoefficientFormatter", value); };
    auto odds = [&](double value) -> QString { return QStringLiteral("= ") + formatted("ModelOddsRatioFormatter", value); };
    auto se = [&](double value) -> QString { return QStringLiteral("= ") + formatted("ModelStandardErrorFormatter", value); };
    const std::vector<double> g1 = lin.at("linear_fit/g1"), lg1 = lin.at("logit_fit/g1");
    const std::vector<double> Fg = lin.at("linear_fit/F_g"), Fx = lin.at("linear_fit/F_x1x2");
    const std::vector<double> chi = lin.at("logit_fit/chisq_g");
    const Case cases[] = {
        {"one estimate of a linear fit", "y", 0, false, [&] { select({row(estimate(2, 0))}, variables[2]); },
         QStringLiteral("[g = 1] estimated coefficient"), {p(g1[2]), coef(g1[0]), se(g1[1])}},
        {"a categorical variable", "y", 0, false, [&] { select({row(variables[2])}, variables[2]); },
         QStringLiteral("g estimated coefficients"), {p(Fg[1]), stat(Fg[0])}},
        {"two estimates of two variables", "y", 0, false,
         [&] {
             model->setNull_hypothesis(2);
             select({row(estimate(0, 0)), row(estimate(1, 0))}, nullptr);
         },
         QStringLiteral("Combined significance test for 2 selected coefficients"), {p(Fx[1]), stat(Fx[0])}},
        {"an odds ratio of a logit", "b", DSOutcomeModelLogit, true,
         [&] { select({row(estimate(2, 0))}, variables[2]); },
         QStringLiteral("[g = 1] estimated odds ratio"), {p(lg1[2]), odds(lg1[0]), se(lg1[1])}},
        {"a logit's categorical variable", "b", DSOutcomeModelLogit, false,
         [&] { select({row(variables[2])}, variables[2]); }, QStringLiteral("g estimated coefficients"),
         {p(chi[1]), stat(chi[0])}},
    };
    const QStringList names = {QStringLiteral("p"), QStringLiteral("β"), QStringLiteral("exp(β)"),
                               QStringLiteral("SE"), QStringLiteral("F(2, 245)"), QStringLiteral("χ²(2)")};
    for (const Case &c : cases) {
        fit(c.outcome, c.code, "g", c.oddsRatios);
        ASSERT_FALSE(model->needs_regression()) << c.what;
        c.choose();
        const std::vector<QString> texts = drawnTexts();
        QStringList all(texts.begin(), texts.end());
        EXPECT_NE(std::find(texts.begin(), texts.end(), c.title), texts.end())
            << c.what << ": " << all.join(QStringLiteral(" | ")).toStdString();
        for (const QString &value : c.legend)
            EXPECT_NE(std::find(texts.begin(), texts.end(), value), texts.end())
                << c.what << ": " << value.toStdString();
        const QString pdf = pdfText(view->PDFData()).join(QLatin1Char('\n'));
        EXPECT_TRUE(pdf.contains(c.title)) << c.what << "\n" << pdf.toStdString();
        for (const QString &value : c.legend)
            EXPECT_TRUE(pdf.contains(value)) << c.what << ": " << value.toStdString() << "\n" << pdf.toStdString();
    }
    // The test names of both joint tests and the labels of the single one.
    const QString linearPdf = [&] {
        fit("y", 0);
        select({row(variables[2])}, variables[2]);
        return pdfText(view->PDFData()).join(QLatin1Char('\n'));
    }();
    EXPECT_TRUE(linearPdf.contains(QStringLiteral("F(2, 245) = "))) << linearPdf.toStdString();
    fit("b", DSOutcomeModelLogit);
    select({row(variables[2])}, variables[2]);
    EXPECT_TRUE(pdfText(view->PDFData()).join(QLatin1Char('\n')).contains(QStringLiteral("χ²(2) = ")));
    select({row(estimate(0, 0))}, variables[0]);
    const QString single = pdfText(view->PDFData()).join(QLatin1Char('\n'));
    for (const char *label : {"p = ", "β = ", "SE = "})
        EXPECT_TRUE(single.contains(QString::fromUtf8(label))) << label << "\n" << single.toStdString();
    fit("b", DSOutcomeModelLogit, "g", true);
    select({row(estimate(0, 0))}, variables[0]);
    EXPECT_TRUE(pdfText(view->PDFData()).join(QLatin1Char('\n')).contains(QStringLiteral("exp(β) = ")));
}

TEST_F(CoefficientPictureTest, VectorHypothesisCodesTitleTheJointTest)
{
    fit("y", 0);
    select({row(estimate(0, 0)), row(estimate(1, 0)), row(estimate(2, 0))}, nullptr);
    const std::pair<qint64, const char *> cases[] = {
        {2, "Combined significance test for 3 selected coefficients"},
        {3, "Equality test for 3 selected coefficients"},
        {4, "Sum-to-zero test for 3 selected coefficients"},
        {5, "Sum-to-one test for 3 selected coefficients"},
    };
    for (const auto &[code, title] : cases) {
        model->setNull_hypothesis(code);
        const auto texts = drawnTexts();
        EXPECT_NE(std::find(texts.begin(), texts.end(), QString::fromUtf8(title)), texts.end()) << code;
    }
    model->setNull_hypothesis(2);
    modelPane.condition = QStringLiteral("x1 > 0");
    auto texts = drawnTexts();
    EXPECT_NE(std::find(texts.begin(), texts.end(),
                        QStringLiteral("Combined significance test for 3 selected coefficients [x1 > 0]")),
              texts.end());
}

TEST_F(CoefficientPictureTest, SpecialTitlesReplaceThePicture)
{
    fit("y", 0);
    struct Case
    {
        const char *what;
        void (*flag)(DSRegressionEstimate &);
        const char *title;
    };
    const Case cases[] = {
        {"lack of data", [](DSRegressionEstimate &e) { e.is_omitted_due_to_lack_of_data = true; },
         "[g = 1] omitted. Too much data was missing to estimate the effect."},
        {"constant", [](DSRegressionEstimate &e) { e.is_omitted_constant = true; },
         "[g = 1] omitted. The intercept term is constrained to zero."},
        {"category", [](DSRegressionEstimate &e) { e.is_omitted_category = true; },
         "[g = 1] omitted. Other estimates are relative to this category."},
        {"interaction", [](DSRegressionEstimate &e) { e.is_omitted_interaction = true; }, "[g = 1] omitted."},
        {"fixed effects", [](DSRegressionEstimate &e) { e.is_omitted_due_to_fixed_effects = true; },
         "[g = 1] omitted due to the presence of fixed effects."},
    };
    for (const Case &c : cases) {
        DSRegressionEstimate copy = *estimate(2, 0);
        c.flag(copy);
        EXPECT_EQ(view->specialTitleForEstimates({&copy}), QString::fromUtf8(c.title)) << c.what;
        EXPECT_TRUE(view->specialTitleForEstimates({&copy, &copy}).isNull()) << "only for one estimate";
    }
    // A condition never joins a special title.
    DSRegressionEstimate omitted = *estimate(2, 0);
    omitted.is_omitted_category = true;
    select({row(&omitted)}, variables[2]);
    modelPane.condition = QStringLiteral("x1 > 0");
    const auto texts = drawnTexts();
    EXPECT_EQ(texts.back(), QStringLiteral("[g = 1] omitted. Other estimates are relative to this category."));
    EXPECT_EQ(std::find(texts.begin(), texts.end(), QStringLiteral("p ")), texts.end()) << "no legend";

    // A variable included as fixed effects shows only its title.
    model->setPanel_column(columns.at("g"));
    model->setFixed_effects(true);
    select({row(variables[2])}, variables[2]);
    EXPECT_EQ(drawnTexts(), std::vector<QString>({QStringLiteral("g included as fixed effects.")}));
}

// The base outcome of a multinomial outcome, also when it is a later
// outcome whose sets start past the model's first ones; an active category
// without rows.
TEST_F(CoefficientPictureTest, OutcomeCategoriesGetTheirTitles)
{
    DSOutcomeVariable *first = fit("y", 0);
    auto *multinomial = ds_object_cast<DSOutcomeVariable>(model->insertNewObjectOfEntity(QStringLiteral("DSOutcomeVariable")));
    multinomial->setColumn(columns.at("m"));
    model->insertOutcomeVariable(multinomial, 1);
    multinomial->setModel(model);
    multinomial->setTreat_as_categories(true);
    multinomial->setCategory_model(DSOutcomeModelMultinomialLogit);
    model->setActive_outcome(multinomial);
    // A new outcome needs its column in the matrix.
    model->unloadDataMatrix();
    model->setNeeds_regression(true);
    view->refreshView();
    ASSERT_FALSE(model->needs_regression());
    ASSERT_TRUE(multinomial->hasMultipleCoefficientSets());
    ASSERT_GT(multinomial->coefficient_offset(), first->coefficient_offset());
    select({row(variables[0])}, variables[0]);
    for (qint64 i = 0; i < multinomial->category_count(); ++i) {
        multinomial->setActive_category(multinomial->categoryAtIndex(i));
        const QString value = multinomial->categoryAtIndex(i)->longValue();
        const bool base = multinomial->category_lookup()[size_t(i)] == double(multinomial->base_category());
        const QString title = view->specialTitleForOutcome(multinomial, variables[0]);
        if (base)
            EXPECT_EQ(title, QStringLiteral("[m = %1] is the base outcome. All coefficients are zero.").arg(value));
        else
            EXPECT_TRUE(title.isNull()) << i;
    }
    multinomial->setActive_category(multinomial->categoryAtIndex(1));
    multinomial->categoryAtIndex(1)->setCount(0);
    EXPECT_EQ(view->specialTitleForOutcome(multinomial, variables[0]),
              QStringLiteral("[m = %1] omitted. Not enough data to include in the model.")
                  .arg(multinomial->categoryAtIndex(1)->longValue()));
    // No active category: the variable's coefficients across the sets.
    multinomial->setActive_category(nullptr);
    model->setNull_hypothesis(2);
    const auto texts = drawnTexts();
    EXPECT_NE(std::find(texts.begin(), texts.end(),
                        QStringLiteral("Combined significance test for x1 (2 coefficients)")),
              texts.end());
}

TEST_F(CoefficientPictureTest, LegendRowsStandFromTheTopRight)
{
    DSCoefficientPictureLegend legend;
    for (const char *label : {"p ", "β ", "SE "})
        legend.addEntry({QString::fromUtf8(label), QStringLiteral("= 1"), nullptr, std::nullopt});
    legend.setLeft_size({37, 60});
    legend.setRight_size({70, 60});
    DSRecordingContext context;
    const DSRect bounds = ds_rect_make(0, 0, 480, 300);
    DSCoefficientPictureView::drawLegend(legend, bounds, modelPane.style(), &context);
    const auto texts = context.primitives(DSRecordedPrimitive::Text);
    ASSERT_EQ(texts.size(), 6u);
    const double heights[] = {300 - 24, 300 - 44, 300 - 64};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(texts[2 * i].textOrigin.y, heights[i]) << i;
        EXPECT_NEAR(texts[2 * i].textOrigin.x + texts[2 * i].textWidth, 480 - 4 - 70, 1e-9) << "label right-aligned";
        EXPECT_EQ(texts[2 * i + 1].textOrigin.x, 480 - 4 - 70) << "value left-aligned";
    }
    // The title loses the legend's width and 4: a long title is cut there.
    fit("y", 0);
    select({row(estimate(0, 0))}, variables[0]);
    DSRecordingContext picture;
    view->drawRect(view->bounds(), modelPane.style(), false, &picture);
    double titleEnd = 0;
    for (const auto &text : picture.primitives(DSRecordedPrimitive::Text))
        if (text.text.startsWith(QStringLiteral("x1 estimated")))
            titleEnd = text.textOrigin.x + text.textWidth;
    EXPECT_GT(titleEnd, 0);
    const double legendLeft = 480 - 4 - DSCoefficientEstimatePainter::layoutRightLegendForCoefficient(0, 0, 0, modelPane.style()).width;
    EXPECT_LE(titleEnd, legendLeft);
}

TEST_F(CoefficientPictureTest, AFailedRunShowsOneErrorWithOneBeep)
{
    const std::vector<uint8_t> none(size_t((table->num_records() + 7) / 8), 0);
    modelPane.mask = ds_row_mask_copy(none.data(), qint64(none.size()), table->num_records());
    QSignalSpy errors(document.get(), &DSStatDocument::errorPresented);
    host.beeps = 0;
    fit("y", 0);
    EXPECT_FALSE(model->needs_regression()) << "a failed run is not retried at each redraw";
    QCoreApplication::sendPostedEvents();
    QTest::qWait(10);
    EXPECT_EQ(errors.count(), 1);
    EXPECT_EQ(host.beeps, 1);
    select({row(estimate(0, 0))}, variables[0]);
    DSRecordingContext context;
    view->drawRect(view->bounds(), modelPane.style(), false, &context);
    const auto texts = context.primitives(DSRecordedPrimitive::Text);
    ASSERT_EQ(texts.size(), 1u);
    // The filter leaves no row: the fit says so before the library runs.
    EXPECT_EQ(texts[0].text, QStringLiteral("Not enough data. Try fewer filters."));
    EXPECT_NEAR(texts[0].textOrigin.x + texts[0].textWidth / 2, 240, 1e-9);
    keep(*view, QStringLiteral("coefficient_error.png"));
    // A picture whose model still needs a run draws nothing and runs nothing.
    model->setNeeds_regression(true);
    DSRecordingContext waiting;
    view->drawRect(view->bounds(), modelPane.style(), false, &waiting);
    EXPECT_TRUE(waiting.primitives().empty());
    EXPECT_TRUE(model->needs_regression());
}

// Clicks on a categorical variable's curves: the selected curve keeps its
// estimate; beside every curve the single painter clears it and the
// multiple painter keeps it; on a wider, lower curve that category's
// estimate becomes active.
TEST_F(CoefficientPictureTest, ClicksPickTheCurveUnderThePoint)
{
    DSOutcomeVariable *outcome = fit("y", 0, "q");
    DSExplanatoryVariable *q = variables[2];
    ASSERT_EQ(q->temp_number_of_restrictions(), 3);
    const qint64 set = outcome->active_coefficient_set();
    const double df = double(outcome->temp_regression()->df());
    auto ref = [&](const DSRegressionEstimate *e) {
        for (const auto &estimate : q->estimates())
            if (estimate.get() == e)
                return estimate;
        return DSExplanatoryVariable::EstimateRef();
    };
    // The narrowest estimate selected; a point under a wider curve only.
    const DSRegressionEstimate *narrow = nullptr, *wide = nullptr;
    for (qint64 i = 0; i < 3; ++i) {
        const DSRegressionEstimate *e = q->estimateAtIndex(i, 255);
        if (!narrow || e->standardErrorForCoefficientSet(set) < narrow->standardErrorForCoefficientSet(set))
            narrow = e;
        if (!wide || e->standardErrorForCoefficientSet(set) > wide->standardErrorForCoefficientSet(set))
            wide = e;
    }
    ASSERT_NE(narrow, wide);
    select({row(narrow)}, q);
    q->setActive_estimate(ref(narrow));
    DSRecordingContext context;
    view->drawRect(view->bounds(), modelPane.style(), false, &context);
    auto *painter = dynamic_cast<DSCoefficientEstimatePainter *>(view->painterFor(outcome, q, {narrow}));
    ASSERT_TRUE(painter);
    const DSAffineTransform t = painter->temp_transform;
    auto height = [&](const DSRegressionEstimate *e, double x) {
        const double se = e->standardErrorForCoefficientSet(set);
        return DSCoefficientEstimatePainter::standardDensity(1, df, (x - e->coefficientForCoefficientSet(set)) / se) / se;
    };
    auto at = [&](double x, double y) { return ds_point_apply({x, y}, t); };

    const int before = modelPane.refreshes;
    view->mouseDownAtPoint(at(narrow->coefficientForCoefficientSet(set), 0.5 * height(narrow, narrow->coefficientForCoefficientSet(set))));
    EXPECT_EQ(q->active_estimate().get(), narrow) << "inside the selected curve";
    EXPECT_EQ(modelPane.refreshes, before + 1) << "the outline is refreshed after a click";

    double x = NAN;
    const double c = wide->coefficientForCoefficientSet(set), s = wide->standardErrorForCoefficientSet(set);
    for (double v = c - 3 * s; v <= c + 3 * s && std::isnan(x); v += s / 50) {
        bool inAnother = false;
        for (qint64 i = 0; i < 3; ++i) {
            const DSRegressionEstimate *e = q->estimateAtIndex(i, 255);
            if (e != wide && e->standardErrorForCoefficientSet(set) > s * 0.999)
                continue;
            inAnother = inAnother || (e != wide && height(e, v) >= 0.5 * height(wide, v));
        }
        if (!inAnother)
            x = v;
    }
    ASSERT_FALSE(std::isnan(x)) << "a point under the widest curve alone";
    view->mouseDownAtPoint(at(x, 0.5 * height(wide, x)));
    EXPECT_EQ(q->active_estimate().get(), wide) << "the wider, lower curve's category";

    select({row(narrow)}, q);
    view->drawRect(view->bounds(), modelPane.style(), false, &context);
    view->mouseDownAtPoint({5, view->bounds().height() - 5});
    EXPECT_FALSE(q->active_estimate()) << "the single painter clears it beside every curve";

    select({row(q)}, q);
    q->setActive_estimate(ref(wide));
    view->drawRect(view->bounds(), modelPane.style(), false, &context);
    ASSERT_TRUE(dynamic_cast<DSCoefficientMultipleEstimatePainter *>(view->painterFor(outcome, q, view->selectedEstimates())));
    view->mouseDownAtPoint({5, view->bounds().height() - 5});
    EXPECT_EQ(q->active_estimate().get(), wide) << "the multiple painter keeps it";
}

TEST_F(CoefficientPictureTest, PicturesForALook)
{
    fit("y", 0, "q");
    select({row(variables[2])}, variables[2]);
    keep(*view, QStringLiteral("coefficient_four_categories.png"));
    select({row(estimate(0, 0))}, variables[0]);
    keep(*view, QStringLiteral("coefficient_estimate.png"));
    model->setNull_hypothesis(2);
    select({row(estimate(0, 0)), row(estimate(1, 0))}, nullptr);
    keep(*view, QStringLiteral("coefficient_f_test.png"));
    fit("b", DSOutcomeModelLogit, "g", true);
    select({row(estimate(2, 0))}, variables[2]);
    keep(*view, QStringLiteral("coefficient_odds_ratio.png"));
    select({row(variables[2])}, variables[2]);
    keep(*view, QStringLiteral("coefficient_odds_ratio_categories.png"));
    fit("b", DSOutcomeModelLogit);
    model->setNull_hypothesis(2);
    select({row(estimate(0, 0)), row(estimate(2, 0))}, nullptr);
    keep(*view, QStringLiteral("coefficient_chi_square_test.png"));
}

// The predicted survival of a Cox fit at x1 = 0.5, x2 = -0.2 (g = 2)
// equals survfit(coxph(..., ties = "breslow"), newdata) at every failure
// time, stratified too; any other fit leaves the picture white.
TEST_F(CoefficientPictureTest, PredictedSurvivalEqualsSurvfit)
{
    struct Case
    {
        const char *what;
        bool stratified;
        const char *oracle;
    };
    const Case cases[] = {{"g as a regressor", false, "cox"}, {"g as strata, stratum g = 1", true, "cox_stratum1"}};
    DSPredictionCoefficientDistributionView picture;
    picture.setOwner(&predictPane);
    picture.setFrame(ds_rect_make(0, 0, 400, 260));
    for (const Case &c : cases) {
        DSOutcomeVariable *outcome = fit("t", DSOutcomeModelCox, c.stratified ? nullptr : "g");
        if (c.stratified) {
            outcome->setStratification_column(columns.at("g"));
            outcome->setApply_stratification(true);
            model->unloadDataMatrix();
            model->setNeeds_regression(true);
            view->refreshView();
        }
        ASSERT_TRUE(dynamic_cast<DSCoxRegression *>(outcome->temp_regression())) << c.what;
        auto *prediction = ds_object_cast<DSPrediction>(model->insertNewObjectOfEntity(QStringLiteral("DSPrediction")));
        model->insertPrediction(prediction, model->sortedPredictions().size());
        prediction->setModel(model);
        prediction->setOutcome_variable(outcome);
        prediction->createMissingPredictionAssumptions();
        for (int i = 0; i < 2; ++i) {
            DSPredictionAssumption *assumption = prediction->assumptionForVariable(variables[i]);
            assumption->setNumeric_value(i == 0 ? 0.5 : -0.2);
            assumption->setTemp_numeric_value(i == 0 ? 0.5 : -0.2);
        }
        if (c.stratified)
            prediction->setOutcome_stratum(1);
        else
            prediction->assumptionForVariable(variables[2])->setCategory_value(2);
        model->setActive_prediction(prediction);

        const auto survival = DSPredictionCoefficientDistributionView::predictedSurvival(prediction, predictPane.style());
        ASSERT_TRUE(survival) << c.what;
        const std::vector<double> &times = expected().at(std::string(c.oracle) + "/time");
        const std::vector<double> &levels = expected().at(std::string(c.oracle) + "/survival");
        ASSERT_EQ(survival->points.size(), 2 * times.size() + 1) << c.what;
        EXPECT_EQ(survival->points[0].y, 1);
        for (size_t j = 0; j < times.size(); ++j) {
            EXPECT_NEAR(survival->points[2 * j + 1].x, times[j], 1e-9) << c.what << " time " << j;
            EXPECT_NEAR(survival->points[2 * j + 2].y, levels[j], 1e-6) << c.what << " level " << j;
            EXPECT_EQ(survival->points[2 * j + 1].y, j == 0 ? 1 : survival->points[2 * j].y);
        }
        EXPECT_EQ(survival->min, 0);
        EXPECT_NEAR(survival->max, expected().at("cox_stratified/longest")[0], 1e-9) << "the longest stratum";

        DSRecordingContext context;
        picture.drawRect(picture.bounds(), predictPane.style(), false, &context);
        const auto strokes = context.primitives(DSRecordedPrimitive::Stroke);
        ASSERT_FALSE(strokes.empty());
        EXPECT_EQ(strokes[1].path.elements().size(), survival->points.size()) << c.what << ": no vertical runs here";
        std::vector<QString> texts;
        for (const auto &text : context.primitives(DSRecordedPrimitive::Text))
            texts.push_back(text.text);
        EXPECT_NE(std::find(texts.begin(), texts.end(), QStringLiteral("predicted survival by t")), texts.end());
        EXPECT_EQ(picture.suggestedFileName(), QStringLiteral("t survival curve"));
        keep(picture, c.stratified ? QStringLiteral("predicted_survival_stratum.png")
                                   : QStringLiteral("predicted_survival.png"));
    }

    fit("y", 0);
    auto *linear = ds_object_cast<DSPrediction>(model->insertNewObjectOfEntity(QStringLiteral("DSPrediction")));
    model->insertPrediction(linear, 0);
    linear->setModel(model);
    linear->setOutcome_variable(model->active_outcome());
    model->setActive_prediction(linear);
    DSRecordingContext white;
    picture.drawRect(picture.bounds(), predictPane.style(), false, &white);
    EXPECT_TRUE(white.primitives().empty()) << "not a Cox model";
}

// One row per variable, each with its separator; a variable without a
// coefficient gets an empty row; a click goes to the equation.
TEST_F(CoefficientPictureTest, PredictRowsStackOnePerVariable)
{
    DSOutcomeVariable *outcome = fit("y", 0);
    auto *prediction = ds_object_cast<DSPrediction>(model->insertNewObjectOfEntity(QStringLiteral("DSPrediction")));
    model->insertPrediction(prediction, 0);
    prediction->setModel(model);
    prediction->setOutcome_variable(outcome);
    prediction->createMissingPredictionAssumptions();
    prediction->assumptionForVariable(variables[2])->setCategory_value(2);
    model->setActive_prediction(prediction);
    DSPredictionCoefficientHypothesisView rows;
    rows.setOwner(&predictPane);
    rows.setFrame(ds_rect_make(0, 0, 300, 120));
    EXPECT_EQ(rows.backgroundColor().alpha, 0);
    DSRecordingContext context;
    rows.drawRect(rows.bounds(), predictPane.style(), false, &context);
    int separators = 0, fills = 0;
    for (const auto &stroke : context.primitives(DSRecordedPrimitive::Stroke)) {
        const DSRect box = stroke.path.boundingBox();
        if (box.height() == 0 && box.width() == 300)
            ++separators;
    }
    for (const auto &fill : context.primitives(DSRecordedPrimitive::Fill))
        fills += fill.path.isEmpty() ? 0 : 1;
    EXPECT_EQ(separators, 3) << "one separator a row, in half-scale drawing of doubled rows";
    EXPECT_GE(fills, 6) << "each row's curve and its region beyond the null";
    QTest::mouseClick(&rows, Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EQ(predictPane.clicks, 1);
    keep(rows, QStringLiteral("predict_rows.png"));
}
