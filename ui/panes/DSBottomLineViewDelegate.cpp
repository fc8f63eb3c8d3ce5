#include "ui/panes/DSBottomLineViewDelegate.h"

#include "charts/DSStatisticalTestView.h"
#include "charts/DSStyle.h"
#include "model/DSColumnSummary.h"
#include "model/DSIndicatorColumn.h"
#include "model/DSTable.h"
#include "model/DSTimeColumn.h"
#include "model/DSUserDefaults.h"
#include "platform/format/DSPlatformNumberFormatter.h"
#include "stats/DSBottomLineReporter.h"
#include "stats/DSBottomLineReporterChain.h"
#include "stats/DSStatisticalTest.h"
#include "ui/window/DSDocumentWindowHost.h"
#include "ui/window/DSPopover.h"
#include "ui/window/DSStatDocumentWindow.h"

#include <QEvent>
#include <QLabel>
#include <QPalette>
#include <QToolButton>

#include <cmath>

namespace {

// The conclusion as rich text: italic runs in <i>.
QString richText(const DSAttributedString &string)
{
    QString html;
    for (const DSAttributedString::Run &run : string.runs()) {
        const QString text = run.text.toHtmlEscaped();
        html += run.attributes.italic ? QStringLiteral("<i>%1</i>").arg(text) : text;
    }
    return html;
}

} // namespace

DSBottomLineViewDelegate::DSBottomLineViewDelegate() = default;

DSBottomLineViewDelegate::~DSBottomLineViewDelegate() = default;

QString DSBottomLineViewDelegate::nibName() const
{
    return QStringLiteral("DSStatDocumentBottomLine");
}

QWidget *DSBottomLineViewDelegate::the_bottom_line_view() const
{
    return outlet<QWidget>(QStringLiteral("the_bottom_line_view"));
}

DSStatisticalTestView *DSBottomLineViewDelegate::visualization_view() const
{
    return dynamic_cast<DSStatisticalTestView *>(outlet<QWidget>(QStringLiteral("visualization_view")));
}

DSTable *DSBottomLineViewDelegate::active_table() const
{
    return document() ? document()->active_table() : nullptr;
}

void DSBottomLineViewDelegate::didLoadNib()
{
    for (const char *name : {"the_bottom_line_info", "the_bottom_line_friendly_text", "the_bottom_line_neutral_text"})
        if (QLabel *label = field(name))
            label->clear();
    m_reporters = std::make_unique<DSBottomLineReporterChain>(this);
    m_popover = outlet<DSPopover>(QStringLiteral("diagnostics_popover"));
    if (m_popover)
        m_popover->installEventFilter(this);
    if (auto *button = outlet<QToolButton>(QStringLiteral("the_bottom_line_info_button"))) {
        button->hide();
        QObject::connect(button, &QToolButton::clicked, this, [this, button] { showDiagnostics(button); });
    }
    DSStatDocumentViewDelegate::didLoadNib();
}

DSBottomLineReporter *DSBottomLineViewDelegate::reporterForColumns(const DSColumnSelection *columns,
                                                                   const DSColumnSelection *covariates)
{
    return m_reporters ? m_reporters->reporterForColumns(columns, covariates) : nullptr;
}

std::shared_ptr<const DSStatisticalTest> DSBottomLineViewDelegate::shownTest() const
{
    DSStatisticalTestView *picture = visualization_view();
    return picture ? picture->test() : nullptr;
}

void DSBottomLineViewDelegate::refreshView(QObject *)
{
    DSTable *table = active_table();
    QWidget *view = the_bottom_line_view();
    if (!table || !view)
        return;
    if (table->build_model_unlocked()) {
        if (DSStatisticalTestView *picture = visualization_view())
            picture->setTest(nullptr);
        view->hide();
        return;
    }
    view->show();
    const double level = 1 - table->confidence_level();
    DSColumnSelection *columns = table->column_selection();
    DSColumnSelection *covariates = table->showSummaryCharts() ? table->covariate_selection() : nullptr;
    DSColumn *active = table->active_column();
    // The snapshot is held for as long as the reporters read it.
    const DSRowMaskRef snapshot = getMask();
    const uint8_t *mask = ds_mask_data(snapshot);
    const qint64 length = ds_mask_length(snapshot);
    // The category reporters read the active column's summary.
    if (active && !active->temp_summary()
        && (active->treat_as_categories() || dynamic_cast<DSIndicatorColumn *>(active)
            || dynamic_cast<DSTimeColumn *>(active)))
        active->setTemp_summary(active->summaryForMask(mask, length, level));

    std::shared_ptr<const DSStatisticalTest> result;
    std::optional<DSAttributedString> full;
    QString shortString;
    if (DSBottomLineReporter *reporter = reporterForColumns(columns, covariates)) {
        result = reporter->resultForColumns(columns, covariates, mask, length);
        full = reporter->attributedStringForResult(result.get(), level, columns, covariates);
        shortString = reporter->shortStringForResult(result.get(), level, columns);
    }
    if (!result && !active)
        shortString = QStringLiteral("%1 columns selected").arg(columns->count());
    if (active && active == table->frequency_weights_column() && table->apply_frequency_weights()) {
        shortString = QStringLiteral("%1 is the frequency weight").arg(active->shortName());
        result = nullptr;
    } else {
        shortString = decoratedString(shortString, result.get(), active, covariates, level);
    }
    updateWithResult(result, shortString, full ? &*full : nullptr, level, style());
    if (DSStatDocumentWindow *doc = document(); doc && doc->host())
        doc->host()->refreshEstimationCommandForDocument(doc);
}

QString DSBottomLineViewDelegate::decoratedString(const QString &shortString, const DSStatisticalTest *result,
                                                  const DSColumn *active, const DSColumnSelection *covariates,
                                                  double level)
{
    if (shortString.isEmpty() || !active || !covariates || covariates->count() == 0 || !result
        || !result->isSignificantAtLevel(level))
        return shortString;
    if (!covariates->containsColumn(active))
        return QStringLiteral("💡 %1").arg(shortString);
    return result->canBeObvious() ? QStringLiteral("%1 (obviously)").arg(shortString) : shortString;
}

QString DSBottomLineViewDelegate::pValueText(double p)
{
    const DSPlatformNumberFormatter *formatter =
        style()->numberFormatterForKey(QStringLiteral("BottomLinePValueFormatter"));
    const int digits = formatter ? formatter->maximumFractionDigits() : 3;
    const auto text = [&](double value) {
        return formatter ? formatter->stringFromNumber(value) : QString::number(value, 'f', digits);
    };
    const double bound = std::pow(10.0, -digits);
    return p < bound ? QStringLiteral("p < %1").arg(text(bound)) : QStringLiteral("p = %1").arg(text(p));
}

QString DSBottomLineViewDelegate::formatted(const char *key, double value)
{
    const DSPlatformNumberFormatter *formatter = style()->numberFormatterForKey(QString::fromLatin1(key));
    return formatter ? formatter->stringFromNumber(value) : QString::number(value);
}

void DSBottomLineViewDelegate::updateWithResult(const std::shared_ptr<const DSStatisticalTest> &result,
                                                const QString &shortString, const DSAttributedString *fullString,
                                                double significance, DSStyle *)
{
    QLabel *info = field("the_bottom_line_info");
    auto *infoButton = outlet<QToolButton>(QStringLiteral("the_bottom_line_info_button"));
    if (result && !std::isnan(result->p_value())) {
        m_result = result;
        auto fill = [this](const char *name, const QString &text) {
            if (QLabel *label = field(name))
                label->setText(text);
        };
        fill("test_name_field", result->name());
        fill("statistic_value_field", QStringLiteral("%1 = %2").arg(
                                          result->statisticName(),
                                          formatted("BottomLineTestStatisticFormatter", result->statisticValue())));
        fill("is_significant_label", QStringLiteral("Significant? [ %1 > C ]").arg(result->shortStatisticName()));
        const QString p = pValueText(result->p_value());
        fill("p_value_field", p);
        if (info) {
            info->setText(QStringLiteral("(%1, %2)").arg(result->shortName(), p));
            setTextColour(info, result->isSignificantAtLevel(significance) ? Qt::black : Qt::gray);
        }
        if (infoButton)
            infoButton->show();
        if (QLabel *conclusion = field("conclusion_text"))
            conclusion->setText(fullString ? richText(*fullString) : QString());
    } else {
        if (info)
            info->clear();
        if (infoButton)
            infoButton->hide();
    }
    const qint64 style = DSUserDefaults::standardUserDefaults().integerForKey(QStringLiteral("the_bottom_line_style"));
    for (const auto &[name, shownStyle] : {std::pair{"the_bottom_line_friendly_text", 0},
                                           std::pair{"the_bottom_line_neutral_text", 1}})
        if (QLabel *sentence = field(name)) {
            sentence->setText(shortString);
            sentence->setVisible(style == shownStyle);
        }
    if (DSStatisticalTestView *picture = visualization_view())
        picture->setTest(result);
}

void DSBottomLineViewDelegate::refreshPopover()
{
    DSTable *table = active_table();
    if (!table)
        return;
    const double level = 1 - table->confidence_level();
    if (QLabel *label = field("critical_value_label"))
        label->setText(QStringLiteral("Critical value @ %1%:").arg(std::lround(level * 100)));
    const double critical = m_result ? m_result->criticalValueAtLevel(level) : NAN;
    QLabel *value = field("critical_value_field");
    QLabel *verdict = field("is_significant_field");
    if (!value || !verdict)
        return;
    if (std::isnan(critical)) {
        value->clear();
        verdict->clear();
        return;
    }
    value->setText(QStringLiteral("C = %1").arg(formatted("BottomLineCriticalValueFormatter", critical)));
    verdict->setText(m_result->isSignificantAtLevel(level) ? QStringLiteral("yes") : QStringLiteral("no"));
}

void DSBottomLineViewDelegate::showDiagnostics(QObject *sender)
{
    if (!m_popover)
        return;
    if (m_popover->isVisible()) {
        m_popover->close();
        return;
    }
    auto *anchor = qobject_cast<QWidget *>(sender);
    m_popover->showRelativeToView(anchor ? anchor : the_bottom_line_view(), DSPopover::MinYEdge);
}

bool DSBottomLineViewDelegate::eventFilter(QObject *watched, QEvent *event)
{
    // Comparing with the guarded pointer casts it to a popover, which a
    // popover whose destructor has run (its base still sends events) no
    // longer is: ask what the watched object is first.
    if (qobject_cast<DSPopover *>(watched) && watched == m_popover) {
        if (event->type() == QEvent::Show) {
            refreshPopover();
            if (DSStatisticalTestView *picture = visualization_view())
                picture->update();
        } else if (event->type() == QEvent::Hide) {
            if (auto *button = outlet<QToolButton>(QStringLiteral("the_bottom_line_info_button")))
                button->setChecked(false);
        }
    }
    return DSStatDocumentViewDelegate::eventFilter(watched, event);
}

void DSBottomLineViewDelegate::setQQPlotQuantiles(const double *, const int32_t *, qint64)
{
    // The covariate pane's Q-Q picture takes them once it exists.
}
