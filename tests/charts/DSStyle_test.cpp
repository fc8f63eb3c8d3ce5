// The style sheet: its stack of levels, the absent values of each kind, the
// line and text styles, and the default sheet every pane controller makes.
#include "../ui/window/window_test_support.h"

#include "charts/DSLineStyle.h"
#include "charts/DSStyle.h"
#include "charts/DSTextStyle.h"
#include "charts/ds_default_style.h"
#include "model/DSAppServices.h"
#include "model/DSSmallNumberFormatter.h"
#include "model/DSStatDocument.h"
#include "model/ds_number_format_options.h"
#include "platform/graphics/DSRecordingContext.h"
#include "ui/window/DSStatDocumentViewDelegate.h"

#include <QRegularExpression>

#include <cmath>
#include <map>
#include <memory>

namespace {

// The application's fourteen result formatters as the application sets
// them up, without the rest of the application.
class FormatterApp : public DSAppServices
{
public:
    FormatterApp()
    {
        for (const ds_result_format_entry_s &entry : ds_result_format_entries()) {
            auto formatter = std::make_unique<DSSmallNumberFormatter>(entry.setup == DSResultFormatterSetup::Percent
                                                                          ? DSPlatformNumberFormatter::PercentStyle
                                                                          : DSPlatformNumberFormatter::DecimalStyle);
            formatter->setMinimumFractionDigits(ds_minimum_digits_for_options({}, entry.fallback()));
            formatter->setMaximumFractionDigits(ds_maximum_digits_for_options({}, entry.fallback()));
            m_formatters[QString::fromLatin1(entry.name)] = std::move(formatter);
        }
    }
    VRWContext_s *varrow_context() const override { return nullptr; }
    const DSSmallNumberFormatter *formatterNamed(const QString &name) const override
    {
        const auto found = m_formatters.find(name);
        return found == m_formatters.end() ? nullptr : found->second.get();
    }
    void incrementActionCount() override {}

private:
    std::map<QString, std::unique_ptr<DSSmallNumberFormatter>> m_formatters;
};

enum Kind { Formatter, Text, Line, Colour, Double, Integer };

struct KeyCase
{
    const char *key;
    Kind kind;
    const char *value; // as the sheet's table writes it
};

// The default sheet, key by key.
const KeyCase k_defaultSheet[] = {
    {"SummaryMeanFormatter", Formatter, "DSAppDelegate::mean_values_formatter"},
    {"SummaryStandardDeviationFormatter", Formatter, "DSAppDelegate::standard_deviations_formatter"},
    {"SummaryStandardErrorFormatter", Formatter, "DSAppDelegate::percentages_formatter"},
    {"ValueCountFormatter", Formatter, "DSStatDocument::decimal_formatter"},
    {"ValueCountTextStyle", Text, "LucidaGrande-Regular 18, black"},
    {"SummaryTitleTextStyle", Text, "TimesNewRomanPS-ItalicMT 14, black"},
    {"ColumnSummandHighlightColor", Colour, "RGB (0.905452, 0.721741, 1, 1)"},
    {"ColumnRecodeHighlightColor", Colour, "RGB (0.985507, 1, 0.638342, 1)"},
    {"ColumnMinuendHighlightColor", Colour, "RGB (0.561493, 1, 0.71239, 1)"},
    {"ColumnDividendHighlightColor", Colour, "RGB (0.561493, 1, 0.71239, 1)"},
    {"ColumnDivisorHighlightColor", Colour, "RGB (0.561493, 0.942446, 1, 1)"},
    {"ColumnSubtrahendHighlightColor", Colour, "RGB (1, 0.561493, 0.561493, 1)"},
    {"ColumnJoinConditionHighlightColor", Colour, "RGB (0.687776, 0.888175, 0.928431, 1)"},
    {"HistogramCountFormatter", Formatter, "DSStatDocument::decimal_formatter"},
    {"HistogramAxisLine", Line, "black, width 0.5, solid"},
    {"HistogramLeadLine", Line, "black, width 0.5, solid"},
    {"TTestAxisLine", Line, "black, width 0.5, solid"},
    {"PointsAxisLine", Line, "black, width 0.5, solid"},
    {"TTestCIFormatter", Formatter, "DSAppDelegate::mean_values_formatter"},
    {"TTestMeanFormatter", Formatter, "DSAppDelegate::mean_values_formatter"},
    {"TTestPlusMinusFormatter", Formatter, "DSAppDelegate::mean_values_formatter"},
    {"PointsColor", Colour, "RGB (0.4, 0.4, 0.4, 0.4)"},
    {"PointsDefaultRadius", Double, "4"},
    {"TTestCIColor", Colour, "RGB (0.20277, 0.369331, 0.600092, 1)"},
    {"TTestCIOuterColor", Colour, "RGB (0.5662, 0.7064, 0.85686, 1)"},
    {"TTestCILine", Line, "black, width 1, dash 4 2"},
    {"HistogramFillColor", Colour, "RGB (0.452941, 0.0897, 0.106727, 1)"},
    {"TTestMeanTextStyle", Text, "TimesNewRomanPS-ItalicMT 14, black"},
    {"HistogramCountTextStyle", Text, "LucidaGrande-Regular 10, black"},
    {"HistogramValueTextStyle", Text, "LucidaGrande-Regular 10, black"},
    {"TTestCITextStyle", Text, "LucidaGrande-Regular 10, black"},
    {"PieChartTitleTextStyle", Text, "LucidaGrande-Regular 16, black"},
    {"PieChartStroke", Line, "black, width 0.5, solid"},
    {"PieChartProportionFormatter", Formatter, "DSAppDelegate::percentages_formatter"},
    {"PieChartLabelTextStyle", Text, "TimesNewRomanPS-ItalicMT 14, black"},
    {"PieChartLabelLightTextStyle", Text, "TimesNewRomanPS-ItalicMT 14, RGB (0.7, 0.7, 0.7, 1)"},
    {"BarCharAxisLine", Line, "black, width 0.5, solid"},
    {"BarChartValueCountFormatter", Formatter, "DSStatDocument::decimal_formatter"},
    {"BarChartValueProportionFormatter", Formatter, "DSAppDelegate::percentages_formatter"},
    {"BarChartMissingColor", Colour, "RGB (0.6, 0.6, 0.6, 0.2)"},
    {"BarChartUncertainColor", Colour, "RGB (0.6, 0.6, 0.6, 1)"},
    {"BarChartMissingFontColor", Colour, "RGB (0.6, 0.6, 0.6, 1)"},
    {"TimeBarChartRateFormatter", Formatter, "DSAppDelegate::mean_values_formatter"},
    {"TimeBarChartCountFormatter", Formatter, "DSStatDocument::decimal_formatter"},
    {"BarChartFillColor", Colour, "RGB (0.452941, 0.0897, 0.106727, 1)"},
    {"BarChartValueTextStyle", Text, "TimesNewRomanPS-ItalicMT 14, black"},
    {"BarChartLabelTextStyle", Text, "TimesNewRomanPS-ItalicMT 14, black"},
    {"TimeBarChartValueTextStyle", Text, "TimesNewRomanPS-ItalicMT 14, black"},
    {"ProportionBarsLegendStrokeColor", Line, "black, width 0.5, solid"},
    {"ProportionBarsStrokeWidth", Line, "black, width 0.5, solid"},
    {"ProportionBarsPercentageFormatter", Formatter, "DSAppDelegate::percentages_formatter"},
    {"ProportionBarsLegendTextStyle", Text, "TimesNewRomanPS-ItalicMT 14, black"},
    {"ProportionBarsLegendLightTextStyle", Text, "TimesNewRomanPS-ItalicMT 14, RGB (0.7, 0.7, 0.7, 1)"},
    {"ProportionBarsPercentageTextStyle", Text, "LucidaGrande-Regular mini size, black"},
    {"BoxPlotLeftColor", Colour, "RGB (1, 0.962168, 0.598039, 1)"},
    {"BoxPlotRightColor", Colour, "RGB (0.706805, 0.598039, 1, 1)"},
    {"BoxPlotWhiskerHeight", Double, "10"},
    {"BoxPlotBoxHeight", Double, "16"},
    {"BoxPlotLabelTextStyle", Text, "LucidaGrande-Regular mini size, RGB (0.6, 0.6, 0.6, 1)"},
    {"ScatterplotAxisLine", Line, "black, width 0.5, solid"},
    {"ScatterplotFillColor", Colour, "grey (0, 0.4)"},
    {"ScatterplotDefaultRadius", Double, "4"},
    {"QQPlotFillColor", Colour, "RGB (0, 0, 0, 0.4)"},
    {"QQPlotLine", Line, "RGB (0, 0, 0, 0.4), width 1, dash 4 4"},
    {"ScatterplotBestFitLine", Line, "RGB (0, 0, 0, 0.4), width 1, dash 4 4"},
    {"ScatterplotYLabelMinimumGap", Double, "30"},
    {"ScatterplotAxisLabelTextStyle", Text, "LucidaGrande-Regular small size, black"},
    {"ScatterplotYLabelTextStyle", Text, "LucidaGrande-Regular 10, black"},
    {"TimelineFillColorKey", Colour, "RGB (0.743122, 0.39104, 0.141669, 1)"},
    {"TimelineUncertainColorKey", Colour, "RGB (1, 0.808355, 0.618183, 1)"},
    {"TimelineAxisLine", Line, "black, width 0.5, solid"},
    {"TimelineLeadLine", Line, "black, width 0.5, solid"},
    {"TimelineCountFormatter", Formatter, "DSStatDocument::decimal_formatter"},
    {"TimelineRateFormatter", Formatter, "DSAppDelegate::mean_values_formatter"},
    {"TimelineRateLine", Line, "black, width 1, dash 2 2"},
    {"TimelineCountTextStyle", Text, "LucidaGrande-Regular 10, black"},
    {"TimelineValueTextStyle", Text, "LucidaGrande-Regular 10, black"},
    {"TimelineAverageTextStyle", Text, "LucidaGrande-Regular 10, black"},
    {"CovariateCovarianceFormatter", Formatter, "DSAppDelegate::covariances_formatter"},
    {"CovariateCorrelationFormatter", Formatter, "DSAppDelegate::correlations_formatter"},
    {"CovariateRSquaredFormatter", Formatter, "DSAppDelegate::r_squared_formatter"},
    {"CovariatePValueFormatter", Formatter, "DSAppDelegate::p_values_formatter"},
    {"CovariateCellTitleTextStyle", Text, "TimesNewRomanPS-ItalicMT 14, black"},
    {"CovariateTitleTextStyle", Text, "LucidaGrande-Regular system size, black"},
    {"CovariateAxisLabelTextStyle", Text, "LucidaGrande-Regular small size, black"},
    {"SurvivorshipConstantHazardLine", Line, "RGB (0, 0, 0, 0.4), width 1, dash 4 4"},
    {"SurvivorshipAxisLine", Line, "black, width 1, solid"},
    {"SurvivorshipStrokeLine", Line, "black, width 1, solid"},
    {"SurvivorshipExtendLine", Line, "black, width 1, dash 2 2"},
    {"SurvivorshipFillColor", Colour, "RGB (0.557532, 0.551029, 0.660555, 1)"},
    {"SurvivorshipUncertainFillColor", Colour, "RGB (0.557532, 0.551029, 0.660555, 0.3)"},
    {"SurvivorshipGridLine", Line, "RGB (0.8, 0.8, 0.8, 1), width 1, solid"},
    {"SurvivorshipGridLineCount", Integer, "2"},
    {"SurvivorshipGridLabelCount", Integer, "2"},
    {"SurvivorshipTitleTextStyle", Text, "TimesNewRomanPS-ItalicMT 14, black"},
    {"SurvivorshipLegendTextStyle", Text, "TimesNewRomanPS-ItalicMT 14, black"},
    {"SurvivorshipLevelTextStyle", Text, "LucidaGrande-Regular small size, black"},
    {"SurvivorshipTimeTextStyle", Text, "LucidaGrande-Regular small size, black"},
    {"HypothesisFillColor", Colour, "RGB (0.75, 0.9, 1, 1)"},
    {"HypothesisOuterFillColor", Colour, "RGB (0.4, 0.7, 0.9, 1)"},
    {"HypothesisAxisLine", Line, "black, width 1, solid"},
    {"HypothesisZeroLine", Line, "black, width 1, dash 1 1"},
    {"HypothesisAxisMajorTickHeight", Double, "6"},
    {"HypothesisAxisMinorTickHeight", Double, "3"},
    {"HypothesisStandardErrorLine", Line, "RGB (0.4, 0.4, 0.4, 1), width 1, dash 2 2"},
    {"HypothesisCoefficientLine", Line, "black, width 1.5, dash 4 4"},
    {"HypothesisLegendCoefficientLine", Line, "black, width 1.5, dash 4 3"},
    {"HypothesisNonSelectedCategoryColor", Colour, "RGB (0.9, 0.9, 0.9, 1)"},
    {"HypothesisTitleTextStyle", Text, "TimesNewRomanPS-ItalicMT 14, black"},
    {"HypothesisLegendLHSTextStyle", Text, "TimesNewRomanPS-ItalicMT 14, black"},
    {"HypothesisLegendRHSTextStyle", Text, "TimesNewRomanPS-ItalicMT 14, black"},
    {"HypothesisAxisLabelTextStyle", Text, "LucidaGrande-Regular system size, black"},
    {"ModelEquationTextStyle", Text, "Chalkduster 18, black"},
    {"ModelEquationWarningTextStyle", Text, "Chalkduster 18, RGB (1, 0.2, 0.2, 1)"},
    {"ModelErrorTextStyle", Text, "LucidaGrande-Regular 18, black"},
    {"ModelPValueFormatter", Formatter, "DSAppDelegate::p_values_formatter"},
    {"ModelFStatisticFormatter", Formatter, "DSAppDelegate::test_statistics_formatter"},
    {"ModelZScoreFormatter", Formatter, "DSAppDelegate::test_statistics_formatter"},
    {"ModelRSquaredFormatter", Formatter, "DSAppDelegate::r_squared_formatter"},
    {"ModelLogLikelihoodFormatter", Formatter, "DSAppDelegate::log_likelihoods_formatter"},
    {"ModelCoefficientFormatter", Formatter, "DSAppDelegate::coefficients_formatter"},
    {"ModelStandardErrorFormatter", Formatter, "DSAppDelegate::standard_errors_formatter"},
    {"ModelOddsRatioFormatter", Formatter, "DSAppDelegate::odds_ratios_formatter"},
    {"ResidualPictureTitleTextStyle", Text, "TimesNewRomanPS-ItalicMT 14, black"},
    {"ResidualAxisTextStyle", Text, "LucidaGrande-Regular system size, black"},
    {"ResidualTickLabelTextStyle", Text, "LucidaGrande-Regular small size, black"},
    {"ResidualYValueFormatter", Formatter, "DSStatDocument::small_decimal_formatter"},
    {"ResidualXValueFormatter", Formatter, "DSStatDocument::small_decimal_formatter"},
    {"ResidualPercentageFormatter", Formatter, "DSAppDelegate::percentages_formatter"},
    {"ResidualFillColor", Colour, "grey (0, 0.2)"},
    {"ResidualCircleRadius", Double, "5"},
    {"ResidualAxisColor", Line, "RGB (0, 0, 0, 0.2), width 1, solid"},
    {"ResidualAxisMinorTickHeight", Double, "3"},
    {"ResidualAxisMajorTickHeight", Double, "6"},
    {"ROCCurveAUCTextStyle", Text, "TimesNewRomanPS-ItalicMT 14, black"},
    {"ROCCurveNumberTextStyle", Text, "LucidaGrande-Regular small size, black"},
    {"ROCCurveFillColor", Colour, "RGB (0.813726, 1, 0.784099, 1)"},
    {"ROCCurveGridLine", Line, "RGB (0, 0, 0, 0.1), width 1, solid"},
    {"ROCCurveGridOutline", Line, "RGB (0, 0, 0, 0.4), width 1, solid"},
    {"ROCCurveLegendLine", Line, "RGB (0, 0, 0, 0.4), width 1, solid"},
    {"ROCCurveNoDiscriminationLine", Line, "black, width 1, dash 6 4"},
    {"ResponseProportionsSliceLine", Line, "black, width 1, dash 4 2"},
    {"ResponseProportionsKnobColor", Colour, "black"},
    {"ResponseProportionsKnobRadius", Double, "3"},
    {"PredictionValueCurveIntervalColor", Colour, "RGB (0.6, 0.6, 0.6, 0.2)"},
    {"PredictionValueCurveAxisLine", Line, "black, width 1, solid"},
    {"PredictionValueCurveTitleTextStyle", Text, "TimesNewRomanPS-ItalicMT 14, black"},
    {"PredictionEquationTextStyle", Text, "LucidaGrande-Regular system size, black"},
    {"PredictionInputValueTextStyle", Text, "LucidaGrande-Regular small size, black"},
    {"PredictionFittedFormatter", Formatter, "DSAppDelegate::predicted_values_formatter"},
    {"PredictionDefaultFormatter", Formatter, "DSAppDelegate::predicted_values_formatter"},
    {"PredictionChanceFormatter", Formatter, "DSAppDelegate::percentages_formatter"},
    {"PredictionValueCurveCircleRadius", Double, "5"},
    {"PredictionValueCurveLine", Line, "black, width 1.5, solid"},
    {"PredictionBarChartAxisLine", Line, "RGB (0.5, 0.5, 0.5, 1), width 0.5, solid"},
    {"PredictionOutputTitleTextStyle", Text, "LucidaGrande-Regular 14, black"},
    {"PredictionOutputValueTextStyle", Text, "LucidaGrande-Bold 36, black"},
    {"PredictionOutputFormulaTextStyle", Text, "LucidaGrande-Bold 24, black"},
    {"PredictionOutputIntervalTextStyle", Text, "LucidaGrande-Bold 30, black"},
    {"PredictionEquationOutline", Line, "black, width 1, solid"},
    {"StatisticalTestObservedValueLine", Line, "black, width 2, dash 6 2"},
    {"StatisticalTestCriticalValueLine", Line, "RGB (0, 0, 0, 0.4), width 2, dash 2 2"},
    {"BottomLineTestStatisticFormatter", Formatter, "DSAppDelegate::test_statistics_formatter"},
    {"BottomLineCriticalValueFormatter", Formatter, "DSAppDelegate::critical_values_formatter"},
    {"BottomLinePValueFormatter", Formatter, "DSAppDelegate::p_values_formatter"},
    {"StatisticalTestLineLabelTextStyle", Text, "TimesNewRomanPS-ItalicMT 14, black"},
};

// "black", "RGB (r, g, b, a)" or "grey (white, alpha)".
ds_rgba_s parseColour(const QString &text)
{
    if (text == QLatin1String("black"))
        return {0, 0, 0, 1};
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("^(RGB|grey) \\(([^)]*)\\)$")).match(text);
    EXPECT_TRUE(m.hasMatch()) << text.toStdString();
    const QStringList parts = m.captured(2).split(QStringLiteral(", "));
    if (m.captured(1) == QLatin1String("grey"))
        return {parts[0].toDouble(), parts[0].toDouble(), parts[0].toDouble(), parts[1].toDouble()};
    return {parts[0].toDouble(), parts[1].toDouble(), parts[2].toDouble(), parts[3].toDouble()};
}

void expectColour(const ds_rgba_s &actual, const ds_rgba_s &expected)
{
    // The table gives six significant digits.
    constexpr double tolerance = 5e-7;
    EXPECT_NEAR(actual.red, expected.red, tolerance);
    EXPECT_NEAR(actual.green, expected.green, tolerance);
    EXPECT_NEAR(actual.blue, expected.blue, tolerance);
    EXPECT_NEAR(actual.alpha, expected.alpha, tolerance);
}

class StyleTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ensureWindowTestApplication();
        DSStatDocument::setApp_delegate(&app);
        document = std::make_unique<DSStatDocument>();
        ASSERT_TRUE(document->initWithType(DSStatDocument::nativeType));
    }
    void TearDown() override { DSStatDocument::setApp_delegate(nullptr); }

    // Checks the key of the sheet against the table's notation.
    void expectKey(const DSStyle &style, const KeyCase &c)
    {
        SCOPED_TRACE(c.key);
        const QString key = QString::fromLatin1(c.key), value = QString::fromUtf8(c.value);
        switch (c.kind) {
        case Formatter: {
            const QRegularExpressionMatch m =
                QRegularExpression(QStringLiteral("^(DSAppDelegate|DSStatDocument)::(\\w+)_formatter$")).match(value);
            ASSERT_TRUE(m.hasMatch());
            const QString name = m.captured(2);
            const DSPlatformNumberFormatter *expected =
                m.captured(1) == QLatin1String("DSAppDelegate") ? app.formatterNamed(name)
                : name == QLatin1String("decimal")              ? document->decimal_formatter()
                                                                : document->small_decimal_formatter();
            ASSERT_TRUE(expected);
            EXPECT_EQ(style.numberFormatterForKey(key), expected) << "the shared formatter itself";
            break;
        }
        case Text: {
            const QRegularExpressionMatch m =
                QRegularExpression(QStringLiteral("^(\\S+) (system size|small size|mini size|[\\d.]+), (.*)$"))
                    .match(value);
            ASSERT_TRUE(m.hasMatch());
            const std::map<QString, double> sizes = {{QStringLiteral("system size"), 13},
                                                     {QStringLiteral("small size"), 11},
                                                     {QStringLiteral("mini size"), 9}};
            const auto named = sizes.find(m.captured(2));
            const double size = named != sizes.end() ? named->second : m.captured(2).toDouble();
            const auto text = style.textStyleForKey(key);
            ASSERT_TRUE(text);
            EXPECT_EQ(text->font().name(), m.captured(1));
            EXPECT_EQ(text->font().size(), size);
            expectColour(text->color(), parseColour(m.captured(3)));
            break;
        }
        case Line: {
            const QRegularExpressionMatch m =
                QRegularExpression(QStringLiteral("^(black|RGB \\([^)]*\\)), width ([\\d.]+), (solid|dash (\\S+) (\\S+))$"))
                    .match(value);
            ASSERT_TRUE(m.hasMatch());
            const auto line = style.lineStyleForKey(key);
            ASSERT_TRUE(line);
            expectColour(line->color(), parseColour(m.captured(1)));
            EXPECT_EQ(line->width(), m.captured(2).toDouble());
            const std::vector<double> pattern = m.captured(3) == QLatin1String("solid")
                                                    ? std::vector<double>{}
                                                    : std::vector<double>{m.captured(4).toDouble(), m.captured(5).toDouble()};
            EXPECT_EQ(line->pattern(), pattern);
            break;
        }
        case Colour: {
            const auto colour = style.colorForKey(key);
            ASSERT_TRUE(colour);
            expectColour(*colour, parseColour(value));
            break;
        }
        case Double:
            EXPECT_EQ(style.doubleValueForKey(key), value.toDouble());
            break;
        case Integer:
            EXPECT_EQ(style.integerValueForKey(key), value.toLongLong());
            break;
        }
    }

    FormatterApp app;
    std::unique_ptr<DSStatDocument> document;
};

TEST_F(StyleTest, TheDefaultSheetHoldsItsKeysOfEachKindAndValue)
{
    EXPECT_EQ(std::size(k_defaultSheet), 166u);
    const std::unique_ptr<DSStyle> style = ds_make_default_style(document.get());
    EXPECT_EQ(style->depth(), 1u);
    for (const KeyCase &c : k_defaultSheet)
        expectKey(*style, c);
}

TEST_F(StyleTest, TheSheetFontsMapToInstalledOnes)
{
    const std::unique_ptr<DSStyle> style = ds_make_default_style(document.get());
    struct Case
    {
        const char *key;
        const char *family;
        bool bold, italic;
    };
    const Case cases[] = {
        {"ValueCountTextStyle", "DejaVu Sans", false, false},
        {"PredictionOutputValueTextStyle", "DejaVu Sans", true, false},
        {"SummaryTitleTextStyle", "Liberation Serif", false, true},
        {"ModelEquationTextStyle", "Comic Neue", false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.key);
        const QFont font = style->textStyleForKey(QString::fromLatin1(c.key))->font().qfont();
        EXPECT_EQ(font.families().value(0), QString::fromLatin1(c.family));
        EXPECT_EQ(font.bold(), c.bold);
        EXPECT_EQ(font.italic(), c.italic);
    }
}

TEST_F(StyleTest, AFreshSheetAnswersTheAbsentValueOfEachKind)
{
    DSStyle style;
    const QString key = QStringLiteral("SurvivorshipGridLineCount");
    EXPECT_FALSE(style.lineStyleForKey(key));
    EXPECT_FALSE(style.textStyleForKey(key));
    EXPECT_FALSE(style.fontForKey(key));
    EXPECT_FALSE(style.colorForKey(key));
    EXPECT_FALSE(style.NSColorForKey(key).isValid());
    EXPECT_FALSE(style.numberFormatterForKey(key));
    EXPECT_FALSE(style.dateFormatterForKey(key));
    EXPECT_TRUE(std::isnan(style.doubleValueForKey(key)));
    EXPECT_FALSE(style.boolValueForKey(key));
    EXPECT_EQ(style.integerValueForKey(key), -1);
}

TEST_F(StyleTest, ChangesInAPushedLevelEndWithItsPop)
{
    const std::unique_ptr<DSStyle> style = ds_make_default_style(document.get());
    const QString count = QStringLiteral("SurvivorshipGridLineCount");
    const QString fill = QStringLiteral("HistogramFillColor");
    const QString local = QStringLiteral("HistogramLeadFromTop");
    const ds_rgba_s before = *style->colorForKey(fill);

    style->push();
    style->setIntegerValue(4, count);
    style->setColor(ds_rgba_s{0, 1, 0, 1}, fill);
    style->setDoubleValue(12, local);
    EXPECT_EQ(style->integerValueForKey(count), 4);
    EXPECT_EQ(style->colorForKey(fill)->green, 1);
    EXPECT_EQ(style->doubleValueForKey(local), 12);
    style->pop();
    EXPECT_EQ(style->integerValueForKey(count), 2);
    expectColour(*style->colorForKey(fill), before);
    EXPECT_TRUE(std::isnan(style->doubleValueForKey(local))) << "a key set only in the pushed level";

    style->push();
    style->setColor(std::nullopt, fill);
    style->setTextStyle(nullptr, QStringLiteral("ValueCountTextStyle"));
    EXPECT_FALSE(style->colorForKey(fill));
    EXPECT_FALSE(style->textStyleForKey(QStringLiteral("ValueCountTextStyle")));
    style->push();
    EXPECT_FALSE(style->colorForKey(fill)) << "a level above sees the removal";
    style->pop();
    style->pop();
    expectColour(*style->colorForKey(fill), before);
    EXPECT_TRUE(style->textStyleForKey(QStringLiteral("ValueCountTextStyle"))) << "the removal was local";
    EXPECT_EQ(style->depth(), 1u);
}

TEST_F(StyleTest, NumbersReadBackAsStored)
{
    DSStyle style;
    const QString key = QStringLiteral("Flag");
    style.setBoolValue(true, key);
    EXPECT_TRUE(style.boolValueForKey(key));
    style.setBoolValue(false, key);
    EXPECT_FALSE(style.boolValueForKey(key));
    style.setIntegerValue(-1, key);
    EXPECT_EQ(style.integerValueForKey(key), -1) << "as if absent";
    style.setDoubleValue(2.5, key);
    EXPECT_EQ(style.doubleValueForKey(key), 2.5);
    EXPECT_EQ(style.integerValueForKey(key), -1) << "a key holds one kind";
}

TEST_F(StyleTest, TheWidgetColourOfAGreyKeepsItsAlpha)
{
    const std::unique_ptr<DSStyle> style = ds_make_default_style(document.get());
    const QColor grey = style->NSColorForKey(QStringLiteral("ScatterplotFillColor"));
    ASSERT_TRUE(grey.isValid());
    EXPECT_NEAR(grey.alphaF(), 0.4, 1e-3);
    EXPECT_EQ(grey.red(), 0);
    EXPECT_EQ(grey.red(), grey.green());
    EXPECT_EQ(grey.green(), grey.blue());
}

TEST_F(StyleTest, TwoPanesHaveDistinctSheetsWithEqualContents)
{
    DSStatDocumentViewDelegate first, second;
    DSStyle *sheet = first.style();
    EXPECT_EQ(first.style(), sheet) << "made once and kept";
    EXPECT_NE(second.style(), sheet);
    DSStatDocument::setApp_delegate(&app);
    for (const KeyCase &c : k_defaultSheet) {
        if (c.kind == Formatter)
            continue; // without a document the document's formatters stand in
        expectKey(*sheet, c);
        expectKey(*second.style(), c);
    }
    sheet->push();
    sheet->setIntegerValue(4, QStringLiteral("SurvivorshipGridLineCount"));
    EXPECT_EQ(second.style()->integerValueForKey(QStringLiteral("SurvivorshipGridLineCount")), 2);
    sheet->pop();
}

TEST_F(StyleTest, TheStandardErrorOfASummaryIsFormattedAsAPercentage)
{
    const std::unique_ptr<DSStyle> style = ds_make_default_style(document.get());
    const DSPlatformNumberFormatter *formatter =
        style->numberFormatterForKey(QStringLiteral("SummaryStandardErrorFormatter"));
    ASSERT_TRUE(formatter);
    const QString text = formatter->stringFromNumber(0.25);
    EXPECT_EQ(text, app.formatterNamed(QStringLiteral("percentages"))->stringFromNumber(0.25));
    EXPECT_NE(text, app.formatterNamed(QStringLiteral("standard_errors"))->stringFromNumber(0.25));
    EXPECT_TRUE(text.contains(QLatin1String("25"))) << text.toStdString();
}

TEST_F(StyleTest, ALineStyleSetsTheStrokeItDescribes)
{
    struct Case
    {
        const char *what;
        std::vector<double> pattern;
    };
    const Case cases[] = {{"solid over an earlier dash", {}}, {"4 on, 2 off", {4, 2}}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        DSRecordingContext context;
        context.setLineDash(3, {1, 1});
        DSLineStyle(ds_rgba_s{0.5, 0, 0, 1}, 1.5, c.pattern).configureContext(&context);
        context.strokeLineSegments({{0, 0}, {10, 0}});
        const auto strokes = context.primitives(DSRecordedPrimitive::Stroke);
        ASSERT_EQ(strokes.size(), 1u);
        EXPECT_EQ(strokes[0].state.dashLengths, c.pattern);
        EXPECT_EQ(strokes[0].state.dashPhase, 0);
        EXPECT_EQ(strokes[0].state.lineWidth, 1.5);
        EXPECT_EQ(strokes[0].color.red, 0.5);
    }
}

} // namespace
