#pragma once

class DSExplanatoryVariable;
class DSPrediction;
class DSRegressionEstimate;
class QMouseEvent;

// What the Predict view's pictures ask of the Predict view controller that
// owns them, beside what every picture owner answers: the prediction
// equation's estimate of a variable at a prediction, and the equation's
// handling of a click (the coefficient rows lie over the equation, and a
// click on them acts on it).
class DSPredictionPictureOwner
{
public:
    virtual ~DSPredictionPictureOwner() = default;

    // The estimate of a column variable at the prediction's assumption for
    // it, or of an interaction at the prediction; null for other variables.
    virtual const DSRegressionEstimate *estimateForVariable(DSExplanatoryVariable *variable,
                                                            DSPrediction *prediction) = 0;
    // Hands a click to the prediction equation view.
    virtual void predictionEquationMouseDown(QMouseEvent *event) = 0;
};
