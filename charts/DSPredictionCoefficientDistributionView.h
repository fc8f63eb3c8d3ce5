#pragma once

#include "charts/DSStatDocumentSubview.h"

#include <QString>

#include <optional>
#include <vector>

class DSOutcomeVariable;
class DSPrediction;

// The Predict view's predicted survival picture: the survival curve of the
// active prediction under its proportional-hazards (Cox) model, as a step
// curve exp(-H(t) e^η) over the failure times of the prediction's stratum
// and cause, filled in the stratum's colour, over the time range of the
// longest stratum, titled "predicted survival by" the outcome column. Any
// other model leaves the picture white.
class DSPredictionCoefficientDistributionView : public DSStatDocumentSubview
{
    Q_OBJECT

public:
    // The step curve of a prediction: 2n + 1 points (min, 1), then for each
    // failure time (t, the previous level) and (t, its level), between the
    // ends of the time axis; the outcome and the fill colour.
    struct PredictedSurvival
    {
        std::vector<DSPoint> points;
        double min = 0;
        double max = 0;
        DSOutcomeVariable *outcome = nullptr;
        ds_rgba_s color;
    };

    Q_INVOKABLE explicit DSPredictionCoefficientDistributionView(QWidget *parent = nullptr);

    // The active table's active model's active prediction, or null.
    DSPrediction *activePrediction() const;
    // The predicted survival of the prediction; none unless its outcome's
    // last fit is a Cox fit with failure times.
    static std::optional<PredictedSurvival> predictedSurvival(DSPrediction *prediction, DSStyle *style);

    // "%1 survival curve" with the outcome column's name; none without a
    // prediction.
    QString suggestedFileName() const override;
    void drawRect(const DSRect &dirtyRect, DSStyle *style, bool screen, DSGraphicsContext *context) override;
};
