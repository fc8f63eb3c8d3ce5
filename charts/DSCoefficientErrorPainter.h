#pragma once

#include "charts/DSCoefficientPicturePainter.h"

#include <cstdint>

// Replaces the hypothesis picture by the regression's error message while
// the outcome's last fit failed: one line centred on the picture in
// "ModelErrorTextStyle". No title, legend or click.
class DSCoefficientErrorPainter : public DSCoefficientPicturePainter
{
public:
    // The message of a regression error code: codes 1 to 5 and 7 their own,
    // any other non-zero code the general one; null for 0.
    static QString messageForErrorCode(int64_t code);

    bool wantsToDrawOutcome(DSOutcomeVariable *outcome, DSExplanatoryVariable *variable,
                            const DSEstimateList &estimates) override;
    void drawOutcome(DSOutcomeVariable *outcome, DSExplanatoryVariable *variable, const DSEstimateList &estimates,
                     DSStyle *style, const DSRect &bounds, DSGraphicsContext *context) override;
};
