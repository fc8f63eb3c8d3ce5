#include "charts/DSStyle.h"

#include "model/DSAppServices.h"
#include "model/DSSmallNumberFormatter.h"
#include "model/DSStatDocument.h"

namespace {

// Where a formatter key of the default sheet points: an entry of the
// application's "number_format_options", or one of the document's two.
struct FormatterSource
{
    const char *key;
    const char *source;
};

constexpr char k_decimal[] = "decimal";
constexpr char k_smallDecimal[] = "small_decimal";

constexpr FormatterSource k_formatterSources[] = {
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

struct TextStyleEntry
{
    const char *key;
    const char *fontName;
    double size;
};

constexpr TextStyleEntry k_textStyles[] = {
    {"ValueCountTextStyle", "Lucida Grande", 18},
};

const DSPlatformNumberFormatter *formatterFrom(const char *source, DSStatDocument *document)
{
    const QLatin1String name(source);
    if (name == QLatin1String(k_decimal))
        return document ? document->decimal_formatter() : nullptr;
    if (name == QLatin1String(k_smallDecimal))
        return document ? document->small_decimal_formatter() : nullptr;
    const DSAppServices *app = DSStatDocument::app_delegate();
    return app ? app->formatterNamed(name) : nullptr;
}

} // namespace

DSStyle::DSStyle(DSStatDocument *document)
{
    for (const FormatterSource &entry : k_formatterSources) {
        const DSPlatformNumberFormatter *formatter = formatterFrom(entry.source, document);
        if (!formatter) {
            if (!m_fallback) {
                auto fallback = std::make_unique<DSSmallNumberFormatter>();
                fallback->setMaximumFractionDigits(3);
                fallback->setShowsUnrepresentableNumber(true);
                m_fallback = std::move(fallback);
            }
            formatter = m_fallback.get();
        }
        m_formatters.insert(QLatin1String(entry.key), formatter);
    }
    QHash<QString, DSTextStyle> &texts = m_textStyles.emplace_back();
    for (const TextStyleEntry &entry : k_textStyles)
        texts.insert(QLatin1String(entry.key), DSTextStyle{QLatin1String(entry.fontName), entry.size});
}

DSStyle::~DSStyle() = default;

std::optional<ds_rgba_s> DSStyle::NSColorForKey(const QString &key) const
{
    // The column highlight colours: the input columns of a derived column
    // tinted by their role.
    static const QHash<QString, ds_rgba_s> colours = {
        {QStringLiteral("ColumnSummandHighlightColor"), {0.905452, 0.721741, 1, 1}},
        {QStringLiteral("ColumnRecodeHighlightColor"), {0.985507, 1, 0.638342, 1}},
        {QStringLiteral("ColumnMinuendHighlightColor"), {0.561493, 1, 0.71239, 1}},
        {QStringLiteral("ColumnDividendHighlightColor"), {0.561493, 1, 0.71239, 1}},
        {QStringLiteral("ColumnDivisorHighlightColor"), {0.561493, 0.942446, 1, 1}},
        {QStringLiteral("ColumnSubtrahendHighlightColor"), {1, 0.561493, 0.561493, 1}},
        {QStringLiteral("ColumnJoinConditionHighlightColor"), {0.687776, 0.888175, 0.928431, 1}},
    };
    const auto found = colours.constFind(key);
    return found == colours.constEnd() ? std::nullopt : std::optional<ds_rgba_s>(*found);
}

const DSPlatformNumberFormatter *DSStyle::numberFormatterForKey(const QString &key) const
{
    return m_formatters.value(key);
}

std::optional<DSTextStyle> DSStyle::textStyleForKey(const QString &key) const
{
    const QHash<QString, DSTextStyle> &top = m_textStyles.back();
    const auto found = top.constFind(key);
    return found == top.cend() ? std::nullopt : std::optional<DSTextStyle>(*found);
}

void DSStyle::setTextStyle(const std::optional<DSTextStyle> &style, const QString &key)
{
    if (style)
        m_textStyles.back().insert(key, *style);
    else
        m_textStyles.back().remove(key);
}

void DSStyle::push()
{
    m_textStyles.push_back(m_textStyles.back());
}

void DSStyle::pop()
{
    if (m_textStyles.size() > 1)
        m_textStyles.pop_back();
}
