#pragma once

#include "regression/DSOrderedChoiceRegression.h"

class DSOrderedLogitRegression : public DSOrderedChoiceRegression
{
public:
    QString name() const override { return QStringLiteral("ordered logit"); }
    VRWRegressionModel VRWRegressionModelForOutcome(const DSOutcomeVariable *) const override { return 13; }
};
