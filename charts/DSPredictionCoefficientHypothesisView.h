#pragma once

#include "charts/DSStatDocumentSubview.h"

class DSPredictionPictureOwner;

// The Predict view's coefficient rows: one row 40 points high per
// explanatory variable of the model, each showing the distribution of the
// variable's estimate at the active prediction, drawn at twice the
// resolution on a clear background over the prediction equation. A click
// goes through to the equation.
class DSPredictionCoefficientHypothesisView : public DSStatDocumentSubview
{
    Q_OBJECT

public:
    Q_INVOKABLE explicit DSPredictionCoefficientHypothesisView(QWidget *parent = nullptr);

    // The owner as the Predict view controller, or null.
    DSPredictionPictureOwner *predictor_delegate() const;
    // Clear: the equation shows through.
    ds_rgba_s backgroundColor() const override;
    void drawRect(const DSRect &dirtyRect, DSStyle *style, bool screen, DSGraphicsContext *context) override;

protected:
    void mousePressEvent(QMouseEvent *event) override;
};
