#pragma once

#include "stats/DSBottomLineReporterOwner.h"
#include "stats/DSEstimationCommandDelegate.h"
#include "ui/window/DSPopover.h"
#include "ui/window/DSStatDocumentViewDelegate.h"

#include <QPointer>

#include <memory>

class DSAttributedString;
class DSBottomLineReporter;
class DSBottomLineReporterChain;
class DSColumnSelection;

class DSStatisticalTest;
class DSStatisticalTestView;
class DSTable;
class QAbstractButton;
class QLabel;
class QWidget;

// The bottom line under the summary: the one-sentence answer of the first
// of the seventeen reporters that takes the selected columns and
// covariates, an information line with the test's short name and p-value,
// and a diagnostics popover with the test's statistic, critical value and
// verdict. It routes nothing itself: the reporter chain decides.
//
// User default "the_bottom_line_style": 0 shows the friendly sentence, 1
// the neutral one, any other value neither.
//
// Main thread only. The summary pane owns it and refreshes it.
class DSBottomLineViewDelegate : public DSStatDocumentViewDelegate,
                                 public DSBottomLineReporterOwner,
                                 public DSEstimationCommandDelegate::BottomLine
{
public:
    DSBottomLineViewDelegate();
    ~DSBottomLineViewDelegate() override;

    QString nibName() const override;

    // Recomputes the sentence, the information line and the picture's test.
    void refreshView(QObject *sender) override;
    // The first reporter that takes the selection, or null; owned here.
    DSBottomLineReporter *reporterForColumns(const DSColumnSelection *columns,
                                             const DSColumnSelection *covariates) override;
    // The test the diagnostics picture shows, or null.
    std::shared_ptr<const DSStatisticalTest> shownTest() const override;
    // Fills the fields: a result with a p-value is kept and fills the
    // popover; every other leaves the popover as it was and hides the
    // information line.
    void updateWithResult(const std::shared_ptr<const DSStatisticalTest> &result, const QString &shortString,
                          const DSAttributedString *fullString, double significance, DSStyle *style);
    // The information button's action: opens or closes the popover.
    void showDiagnostics(QObject *sender);
    // The critical-value lines of the popover for the kept result.
    void refreshPopover();
    // Passed on to the covariate pane's Q-Q picture (not there yet).
    void setQQPlotQuantiles(const double *values, const int32_t *weights, qint64 count) override;

    // The short sentence decorated for the covariates: a result significant
    // at the level, with the active column among the covariates, reads
    // "%@ (obviously)" when its test can be obvious; with other covariates
    // it gets the light bulb. Anything else stays as it is.
    static QString decoratedString(const QString &shortString, const DSStatisticalTest *result,
                                   const DSColumn *active, const DSColumnSelection *covariates, double level);

    // The p-value as the line and its popover state it, in one of two
    // forms: "p < 0.001" below the p-value formatter's precision (a p-value
    // that underflowed to 0 included), else "p = 0.027".
    QString pValueText(double p);

    const std::shared_ptr<const DSStatisticalTest> &result() const { return m_result; }
    const DSBottomLineReporterChain *reporters() const { return m_reporters.get(); }
    QWidget *the_bottom_line_view() const;
    QLabel *field(const char *name) const { return outlet<QLabel>(QString::fromLatin1(name)); }
    DSPopover *diagnostics_popover() const { return m_popover; }
    DSStatisticalTestView *visualization_view() const;

protected:
    void didLoadNib() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    DSTable *active_table() const;
    QString formatted(const char *key, double value);

    std::unique_ptr<DSBottomLineReporterChain> m_reporters;
    std::shared_ptr<const DSStatisticalTest> m_result;
    QPointer<DSPopover> m_popover;
};
