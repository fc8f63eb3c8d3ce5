#include "regression/ds_register_regression_classes.h"

#include "platform/store/DSObjectFactory.h"
#include "regression/DSExplanatoryColumnVariable.h"
#include "regression/DSExplanatoryInteractionVariable.h"
#include "regression/DSOutcomeVariable.h"
#include "regression/DSPrediction.h"
#include "regression/DSPredictionAssumption.h"
#include "regression/DSRegressionModel.h"

void ds_register_regression_classes()
{
    DSObjectFactory::registerClass<DSRegressionModel>(QStringLiteral("DSRegressionModel"));
    DSObjectFactory::registerClass<DSOutcomeVariable>(QStringLiteral("DSOutcomeVariable"));
    DSObjectFactory::registerClass<DSExplanatoryColumnVariable>(QStringLiteral("DSExplanatoryColumnVariable"));
    DSObjectFactory::registerClass<DSExplanatoryInteractionVariable>(
        QStringLiteral("DSExplanatoryInteractionVariable"));
    DSObjectFactory::registerClass<DSPrediction>(QStringLiteral("DSPrediction"));
    DSObjectFactory::registerClass<DSPredictionAssumption>(QStringLiteral("DSPredictionAssumption"));
}
