#include "charts/ds_default_style.h"

#include "charts/DSStyle.h"
#include "model/DSAppServices.h"
#include "model/DSSmallNumberFormatter.h"
#include "model/DSStatDocument.h"

#include <vector>

namespace {

constexpr ds_rgba_s k_black{0, 0, 0, 1};
constexpr double k_systemSize = k_ds_system_font_size;
constexpr double k_smallSize = k_ds_small_font_size;
constexpr double k_miniSize = k_ds_mini_font_size;

// Where a formatter key points: an entry of the application's
// "number_format_options", or one of the document's two.
struct FormatterEntry
{
    const char *key;
    const char *source;
};

constexpr char k_decimal[] = "decimal";
constexpr char k_smallDecimal[] = "small_decimal";

constexpr FormatterEntry k_formatters[] = {
    {"SummaryMeanFormatter", "mean_values"},
    {"SummaryStandardDeviationFormatter", "standard_deviations"},
    {"SummaryStandardErrorFormatter", "percentages"},
    {"ValueCountFormatter", k_decimal},
    {"HistogramCountFormatter", k_decimal},
    {"TTestCIFormatter", "mean_values"},
    {"TTestMeanFormatter", "mean_values"},
    {"TTestPlusMinusFormatter", "mean_values"},
    {"PieChartProportionFormatter", "percentages"},
    {"BarChartValueCountFormatter", k_decimal},
    {"BarChartValueProportionFormatter", "percentages"},
    {"TimeBarChartRateFormatter", "mean_values"},
    {"TimeBarChartCountFormatter", k_decimal},
    {"ProportionBarsPercentageFormatter", "percentages"},
    {"TimelineCountFormatter", k_decimal},
    {"TimelineRateFormatter", "mean_values"},
    {"CovariateCovarianceFormatter", "covariances"},
    {"CovariateCorrelationFormatter", "correlations"},
    {"CovariateRSquaredFormatter", "r_squared"},
    {"CovariatePValueFormatter", "p_values"},
    {"ModelPValueFormatter", "p_values"},
    {"ModelFStatisticFormatter", "test_statistics"},
    {"ModelZScoreFormatter", "test_statistics"},
    {"ModelRSquaredFormatter", "r_squared"},
    {"ModelLogLikelihoodFormatter", "log_likelihoods"},
    {"ModelCoefficientFormatter", "coefficients"},
    {"ModelStandardErrorFormatter", "standard_errors"},
    {"ModelOddsRatioFormatter", "odds_ratios"},
    {"ResidualYValueFormatter", k_smallDecimal},
    {"ResidualXValueFormatter", k_smallDecimal},
    {"ResidualPercentageFormatter", "percentages"},
    {"PredictionFittedFormatter", "predicted_values"},
    {"PredictionDefaultFormatter", "predicted_values"},
    {"PredictionChanceFormatter", "percentages"},
    {"BottomLineTestStatisticFormatter", "test_statistics"},
    {"BottomLineCriticalValueFormatter", "critical_values"},
    {"BottomLinePValueFormatter", "p_values"},
};

struct TextEntry
{
    const char *key;
    const char *fontName;
    double size;
    ds_rgba_s color;
};

const TextEntry k_textStyles[] = {
    {"ValueCountTextStyle", "LucidaGrande-Regular", 18, k_black},
    {"SummaryTitleTextStyle", "TimesNewRomanPS-ItalicMT", 14, k_black},
    {"TTestMeanTextStyle", "TimesNewRomanPS-ItalicMT", 14, k_black},
    {"HistogramCountTextStyle", "LucidaGrande-Regular", 10, k_black},
    {"HistogramValueTextStyle", "LucidaGrande-Regular", 10, k_black},
    {"TTestCITextStyle", "LucidaGrande-Regular", 10, k_black},
    {"PieChartTitleTextStyle", "LucidaGrande-Regular", 16, k_black},
    {"PieChartLabelTextStyle", "TimesNewRomanPS-ItalicMT", 14, k_black},
    {"PieChartLabelLightTextStyle", "TimesNewRomanPS-ItalicMT", 14, {0.7, 0.7, 0.7, 1}},
    {"BarChartValueTextStyle", "TimesNewRomanPS-ItalicMT", 14, k_black},
    {"BarChartLabelTextStyle", "TimesNewRomanPS-ItalicMT", 14, k_black},
    {"TimeBarChartValueTextStyle", "TimesNewRomanPS-ItalicMT", 14, k_black},
    {"ProportionBarsLegendTextStyle", "TimesNewRomanPS-ItalicMT", 14, k_black},
    {"ProportionBarsLegendLightTextStyle", "TimesNewRomanPS-ItalicMT", 14, {0.7, 0.7, 0.7, 1}},
    {"ProportionBarsPercentageTextStyle", "LucidaGrande-Regular", k_miniSize, k_black},
    {"BoxPlotLabelTextStyle", "LucidaGrande-Regular", k_miniSize, {0.6, 0.6, 0.6, 1}},
    {"ScatterplotAxisLabelTextStyle", "LucidaGrande-Regular", k_smallSize, k_black},
    {"ScatterplotYLabelTextStyle", "LucidaGrande-Regular", 10, k_black},
    {"TimelineCountTextStyle", "LucidaGrande-Regular", 10, k_black},
    {"TimelineValueTextStyle", "LucidaGrande-Regular", 10, k_black},
    {"TimelineAverageTextStyle", "LucidaGrande-Regular", 10, k_black},
    {"CovariateCellTitleTextStyle", "TimesNewRomanPS-ItalicMT", 14, k_black},
    {"CovariateTitleTextStyle", "LucidaGrande-Regular", k_systemSize, k_black},
    {"CovariateAxisLabelTextStyle", "LucidaGrande-Regular", k_smallSize, k_black},
    {"SurvivorshipTitleTextStyle", "TimesNewRomanPS-ItalicMT", 14, k_black},
    {"SurvivorshipLegendTextStyle", "TimesNewRomanPS-ItalicMT", 14, k_black},
    {"SurvivorshipLevelTextStyle", "LucidaGrande-Regular", k_smallSize, k_black},
    {"SurvivorshipTimeTextStyle", "LucidaGrande-Regular", k_smallSize, k_black},
    {"HypothesisTitleTextStyle", "TimesNewRomanPS-ItalicMT", 14, k_black},
    {"HypothesisLegendLHSTextStyle", "TimesNewRomanPS-ItalicMT", 14, k_black},
    {"HypothesisLegendRHSTextStyle", "TimesNewRomanPS-ItalicMT", 14, k_black},
    {"HypothesisAxisLabelTextStyle", "LucidaGrande-Regular", k_systemSize, k_black},
    {"ModelEquationTextStyle", "Chalkduster", 18, k_black},
    {"ModelEquationWarningTextStyle", "Chalkduster", 18, {1, 0.2, 0.2, 1}},
    {"ModelErrorTextStyle", "LucidaGrande-Regular", 18, k_black},
    {"ResidualPictureTitleTextStyle", "TimesNewRomanPS-ItalicMT", 14, k_black},
    {"ResidualAxisTextStyle", "LucidaGrande-Regular", k_systemSize, k_black},
    {"ResidualTickLabelTextStyle", "LucidaGrande-Regular", k_smallSize, k_black},
    {"ROCCurveAUCTextStyle", "TimesNewRomanPS-ItalicMT", 14, k_black},
    {"ROCCurveNumberTextStyle", "LucidaGrande-Regular", k_smallSize, k_black},
    {"PredictionValueCurveTitleTextStyle", "TimesNewRomanPS-ItalicMT", 14, k_black},
    {"PredictionEquationTextStyle", "LucidaGrande-Regular", k_systemSize, k_black},
    {"PredictionInputValueTextStyle", "LucidaGrande-Regular", k_smallSize, k_black},
    {"PredictionOutputTitleTextStyle", "LucidaGrande-Regular", 14, k_black},
    {"PredictionOutputValueTextStyle", "LucidaGrande-Bold", 36, k_black},
    {"PredictionOutputFormulaTextStyle", "LucidaGrande-Bold", 24, k_black},
    {"PredictionOutputIntervalTextStyle", "LucidaGrande-Bold", 30, k_black},
    {"StatisticalTestLineLabelTextStyle", "TimesNewRomanPS-ItalicMT", 14, k_black},
};

struct LineEntry
{
    const char *key;
    ds_rgba_s color;
    double width;
    double dash[2]; // on and off lengths; none for a solid line
};

const LineEntry k_lineStyles[] = {
    {"HistogramAxisLine", k_black, 0.5, {}},
    {"HistogramLeadLine", k_black, 0.5, {}},
    {"TTestAxisLine", k_black, 0.5, {}},
    {"PointsAxisLine", k_black, 0.5, {}},
    {"TTestCILine", k_black, 1, {4, 2}},
    {"PieChartStroke", k_black, 0.5, {}},
    {"BarCharAxisLine", k_black, 0.5, {}},
    {"ProportionBarsLegendStrokeColor", k_black, 0.5, {}},
    {"ProportionBarsStrokeWidth", k_black, 0.5, {}},
    {"ScatterplotAxisLine", k_black, 0.5, {}},
    {"QQPlotLine", {0, 0, 0, 0.4}, 1, {4, 4}},
    {"ScatterplotBestFitLine", {0, 0, 0, 0.4}, 1, {4, 4}},
    {"TimelineAxisLine", k_black, 0.5, {}},
    {"TimelineLeadLine", k_black, 0.5, {}},
    {"TimelineRateLine", k_black, 1, {2, 2}},
    {"SurvivorshipConstantHazardLine", {0, 0, 0, 0.4}, 1, {4, 4}},
    {"SurvivorshipAxisLine", k_black, 1, {}},
    {"SurvivorshipStrokeLine", k_black, 1, {}},
    {"SurvivorshipExtendLine", k_black, 1, {2, 2}},
    {"SurvivorshipGridLine", {0.8, 0.8, 0.8, 1}, 1, {}},
    {"HypothesisAxisLine", k_black, 1, {}},
    {"HypothesisZeroLine", k_black, 1, {1, 1}},
    {"HypothesisStandardErrorLine", {0.4, 0.4, 0.4, 1}, 1, {2, 2}},
    {"HypothesisCoefficientLine", k_black, 1.5, {4, 4}},
    {"HypothesisLegendCoefficientLine", k_black, 1.5, {4, 3}},
    {"ResidualAxisColor", {0, 0, 0, 0.2}, 1, {}},
    {"ROCCurveGridLine", {0, 0, 0, 0.1}, 1, {}},
    {"ROCCurveGridOutline", {0, 0, 0, 0.4}, 1, {}},
    {"ROCCurveLegendLine", {0, 0, 0, 0.4}, 1, {}},
    {"ROCCurveNoDiscriminationLine", k_black, 1, {6, 4}},
    {"ResponseProportionsSliceLine", k_black, 1, {4, 2}},
    {"PredictionValueCurveAxisLine", k_black, 1, {}},
    {"PredictionValueCurveLine", k_black, 1.5, {}},
    {"PredictionBarChartAxisLine", {0.5, 0.5, 0.5, 1}, 0.5, {}},
    {"PredictionEquationOutline", k_black, 1, {}},
    {"StatisticalTestObservedValueLine", k_black, 2, {6, 2}},
    {"StatisticalTestCriticalValueLine", {0, 0, 0, 0.4}, 2, {2, 2}},
};

// The two grey colours of the sheet are grey 0 (black) at some alpha, the
// same in every colour space, so they are stored as RGB.
struct ColorEntry
{
    const char *key;
    ds_rgba_s color;
};

constexpr ColorEntry k_colors[] = {
    {"ColumnSummandHighlightColor", {0.905452, 0.721741, 1, 1}},
    {"ColumnRecodeHighlightColor", {0.985507, 1, 0.638342, 1}},
    {"ColumnMinuendHighlightColor", {0.561493, 1, 0.71239, 1}},
    {"ColumnDividendHighlightColor", {0.561493, 1, 0.71239, 1}},
    {"ColumnDivisorHighlightColor", {0.561493, 0.942446, 1, 1}},
    {"ColumnSubtrahendHighlightColor", {1, 0.561493, 0.561493, 1}},
    {"ColumnJoinConditionHighlightColor", {0.687776, 0.888175, 0.928431, 1}},
    {"PointsColor", {0.4, 0.4, 0.4, 0.4}},
    {"TTestCIColor", {0.20277, 0.369331, 0.600092, 1}},
    {"TTestCIOuterColor", {0.5662, 0.7064, 0.85686, 1}},
    {"HistogramFillColor", {0.452941, 0.0897, 0.106727, 1}},
    {"BarChartMissingColor", {0.6, 0.6, 0.6, 0.2}},
    {"BarChartUncertainColor", {0.6, 0.6, 0.6, 1}},
    {"BarChartMissingFontColor", {0.6, 0.6, 0.6, 1}},
    {"BarChartFillColor", {0.452941, 0.0897, 0.106727, 1}},
    {"BoxPlotLeftColor", {1, 0.962168, 0.598039, 1}},
    {"BoxPlotRightColor", {0.706805, 0.598039, 1, 1}},
    {"ScatterplotFillColor", {0, 0, 0, 0.4}},
    {"QQPlotFillColor", {0, 0, 0, 0.4}},
    {"TimelineFillColorKey", {0.743122, 0.39104, 0.141669, 1}},
    {"TimelineUncertainColorKey", {1, 0.808355, 0.618183, 1}},
    {"SurvivorshipFillColor", {0.557532, 0.551029, 0.660555, 1}},
    {"SurvivorshipUncertainFillColor", {0.557532, 0.551029, 0.660555, 0.3}},
    {"HypothesisFillColor", {0.75, 0.9, 1, 1}},
    {"HypothesisOuterFillColor", {0.4, 0.7, 0.9, 1}},
    {"HypothesisNonSelectedCategoryColor", {0.9, 0.9, 0.9, 1}},
    {"ResidualFillColor", {0, 0, 0, 0.2}},
    {"ROCCurveFillColor", {0.813726, 1, 0.784099, 1}},
    {"ResponseProportionsKnobColor", k_black},
    {"PredictionValueCurveIntervalColor", {0.6, 0.6, 0.6, 0.2}},
};

struct DoubleEntry
{
    const char *key;
    double value;
};

constexpr DoubleEntry k_doubles[] = {
    {"PointsDefaultRadius", 4},
    {"BoxPlotWhiskerHeight", 10},
    {"BoxPlotBoxHeight", 16},
    {"ScatterplotDefaultRadius", 4},
    {"ScatterplotYLabelMinimumGap", 30},
    {"HypothesisAxisMajorTickHeight", 6},
    {"HypothesisAxisMinorTickHeight", 3},
    {"ResidualCircleRadius", 5},
    {"ResidualAxisMinorTickHeight", 3},
    {"ResidualAxisMajorTickHeight", 6},
    {"ResponseProportionsKnobRadius", 3},
    {"PredictionValueCurveCircleRadius", 5},
};

struct IntegerEntry
{
    const char *key;
    int64_t value;
};

constexpr IntegerEntry k_integers[] = {
    {"SurvivorshipGridLineCount", 2},
    {"SurvivorshipGridLabelCount", 2},
};

const DSPlatformNumberFormatter *fallbackFormatter()
{
    // Made once and kept for the process, as the application's are.
    static const DSPlatformNumberFormatter *const fallback = [] {
        auto *formatter = new DSSmallNumberFormatter;
        formatter->setMaximumFractionDigits(3);
        formatter->setShowsUnrepresentableNumber(true);
        return formatter;
    }();
    return fallback;
}

const DSPlatformNumberFormatter *formatterFrom(const char *source, DSStatDocument *document)
{
    const QLatin1String name(source);
    const DSPlatformNumberFormatter *formatter = nullptr;
    if (name == QLatin1String(k_decimal))
        formatter = document ? document->decimal_formatter() : nullptr;
    else if (name == QLatin1String(k_smallDecimal))
        formatter = document ? document->small_decimal_formatter() : nullptr;
    else if (const DSAppServices *app = DSStatDocument::app_delegate())
        formatter = app->formatterNamed(name);
    return formatter ? formatter : fallbackFormatter();
}

} // namespace

std::unique_ptr<DSStyle> ds_make_default_style(DSStatDocument *document)
{
    auto style = std::make_unique<DSStyle>();
    for (const FormatterEntry &entry : k_formatters)
        style->setNumberFormatter(formatterFrom(entry.source, document), QLatin1String(entry.key));
    for (const TextEntry &entry : k_textStyles)
        style->setTextStyle(std::make_shared<DSTextStyle>(QLatin1String(entry.fontName), entry.size, entry.color),
                            QLatin1String(entry.key));
    for (const LineEntry &entry : k_lineStyles)
        style->setLineStyle(std::make_shared<DSLineStyle>(entry.color, entry.width, entry.dash[0] > 0 ? std::vector<double>{entry.dash[0], entry.dash[1]} : std::vector<double>{}),
                            QLatin1String(entry.key));
    for (const ColorEntry &entry : k_colors)
        style->setColor(entry.color, QLatin1String(entry.key));
    for (const DoubleEntry &entry : k_doubles)
        style->setDoubleValue(entry.value, QLatin1String(entry.key));
    for (const IntegerEntry &entry : k_integers)
        style->setIntegerValue(entry.value, QLatin1String(entry.key));
    return style;
}
