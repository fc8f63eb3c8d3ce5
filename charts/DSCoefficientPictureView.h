#pragma once

#include "charts/DSCoefficientPicturePainter.h"
#include "charts/DSStatDocumentSubview.h"

#include <QString>

class DSCoefficientPictureOwner;
class DSExplanatoryVariable;
class DSOutcomeVariable;
class DSRegressionModel;

// The hypothesis picture of the model pane: the sampling distribution of the
// estimates selected in the explanatory outline, for the active outcome of
// the active model of the active table, with a legend of test figures and a
// one-line title. The first of four painters (error, joint significance,
// single estimate, multiple estimates) that wants the outcome, variable and
// estimates draws, titles and takes clicks.
//
// The owner is the model pane: a picture owner that also answers
// DSCoefficientPictureOwner (without that, nothing is selected). The
// regression never runs while the picture paints: refreshView() runs it
// first when the model needs one, and a picture whose model still needs a
// run draws nothing.
class DSCoefficientPictureView : public DSStatDocumentSubview
{
    Q_OBJECT

public:
    Q_INVOKABLE explicit DSCoefficientPictureView(QWidget *parent = nullptr);

    // Runs the active model's regression under the document's row mask when
    // it needs one (a failure goes to the owner, presented once with a
    // beep), then schedules a redraw.
    void refreshView();

    DSRegressionModel *activeModel() const;
    DSOutcomeVariable *activeOutcome() const;
    DSExplanatoryVariable *activeVariable() const;

    // The estimates of the outline's selection: first the selected estimate
    // rows, then for each selected variable row (not one included as fixed
    // effects) its one meaningful estimate, or all its estimates unless one
    // of them is already listed, or its first estimate.
    DSEstimateList selectedEstimates() const;
    // The variable's active estimate (found again by its index), else its
    // one meaningful estimate, none for other categorical variables, else
    // its first estimate.
    const DSRegressionEstimate *estimateForVariable(DSExplanatoryVariable *variable) const;

    // A title that replaces the whole picture: an active outcome category
    // without rows, a multinomial outcome's base category, a variable
    // included as fixed effects; null otherwise.
    QString specialTitleForOutcome(DSOutcomeVariable *outcome, DSExplanatoryVariable *variable) const;
    // A title that replaces the painter's for one omitted estimate; null
    // otherwise.
    QString specialTitleForEstimates(const DSEstimateList &estimates) const;

    // One line in "HypothesisTitleTextStyle", left-aligned 10 points in,
    // cut with "…" when too long.
    static void drawTitle(const QString &title, DSStyle *style, const DSRect &bounds, DSGraphicsContext *context);
    // The legend in the top-right corner of the bounds: rows 20 points
    // apart, a sample box or line in front, labels right-aligned and values
    // left-aligned at the column boundary.
    static void drawLegend(const DSCoefficientPictureLegend &legend, const DSRect &bounds, DSStyle *style,
                           DSGraphicsContext *context);

    // The active explanatory variable's name, else the model's.
    QString suggestedFileName() const override;
    void drawRect(const DSRect &dirtyRect, DSStyle *style, bool screen, DSGraphicsContext *context) override;

    // The first painter that wants the outcome, variable and estimates.
    DSCoefficientPicturePainter *painterFor(DSOutcomeVariable *outcome, DSExplanatoryVariable *variable,
                                            const DSEstimateList &estimates);
    // A click at the point (view coordinates, y up): the accepting painter
    // takes it, then the owner refreshes its outline. The regression is not
    // run.
    void mouseDownAtPoint(DSPoint point);

protected:
    std::vector<PainterClass> painterClasses() const override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    DSCoefficientPictureOwner *coefficientOwner() const;
};
