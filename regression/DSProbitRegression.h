#pragma once

#include "regression/DSBinaryRegression.h"

class DSProbitRegression : public DSBinaryRegression
{
public:
    QString name() const override { return QStringLiteral("probit"); }
    VRWRegressionModel VRWRegressionModelForOutcome(const DSOutcomeVariable *) const override { return 6; }

};
