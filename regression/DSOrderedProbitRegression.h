#pragma once

#include "regression/DSOrderedChoiceRegression.h"

class DSOrderedProbitRegression : public DSOrderedChoiceRegression
{
public:
    QString name() const override { return QStringLiteral("ordered probit"); }
    VRWRegressionModel VRWRegressionModelForOutcome(const DSOutcomeVariable *) const override { return 14; }
};
