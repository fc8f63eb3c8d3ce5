#pragma once

#include "regression/DSRegression.h"

// The base of the count models (log link): coefficients read as incidence
// risk ratios.
class DSCountRegression : public DSRegression
{
public:
    QString oddsRatioHeaderName() const override { return QStringLiteral("IRR"); }
    QString oddsRatioFigureName() const override { return QStringLiteral("incidence risk ratio"); }
    bool coefficientsCanBeExpressedAsOddsRatios() const override { return true; }
    bool isMeanExponentiated() const override { return true; }
};
