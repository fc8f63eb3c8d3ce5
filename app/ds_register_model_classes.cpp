#include "app/ds_register_model_classes.h"

#include "derived/ds_register_derived_classes.h"
#include "filter/DSTableFilter.h"
#include "filter/DSTableFilterSet.h"
#include "import/ds_register_importer_classes.h"
#include "model/DSColumnConditionBit.h"
#include "model/DSColumnConditionInterval.h"
#include "model/DSColumnConditionString.h"
#include "model/DSColumnConditionValue.h"
#include "model/DSCompressDataTransformer.h"
#include "model/DSDataRoot.h"
#include "model/DSDataTable.h"
#include "model/DSIndicatorColumn.h"
#include "model/DSJoinColumnCondition.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSNumericPartition.h"
#include "model/DSTextDataColumn.h"
#include "model/DSTextPartition.h"
#include "model/DSTimeDataColumn.h"
#include "model/DSTimePartition.h"
#include "model/ds_register_formatter_classes.h"
#include "pivot/DSAggregationInput.h"
#include "pivot/DSColumnAggregation.h"
#include "pivot/DSComputeDifferenceAggregation.h"
#include "pivot/DSComputeDivisionAggregation.h"
#include "pivot/DSComputeProductAggregation.h"
#include "pivot/DSComputeSumAggregation.h"
#include "pivot/DSPivot.h"
#include "pivot/DSPivotInput.h"
#include "platform/store/DSObjectFactory.h"
#include "regression/ds_register_regression_classes.h"

void ds_register_model_classes()
{
    ds_register_formatter_classes();
    DSCompressDataTransformer::registerTransformer();
    DSObjectFactory::registerClass<DSDataRoot>(QStringLiteral("DSDataRoot"));
    DSObjectFactory::registerClass<DSTable>(QStringLiteral("DSTable"));
    DSObjectFactory::registerClass<DSDataTable>(QStringLiteral("DSDataTable"));
    DSObjectFactory::registerClass<DSColumn>(QStringLiteral("DSColumn"));
    DSObjectFactory::registerClass<DSNumericColumn>(QStringLiteral("DSNumericColumn"));
    DSObjectFactory::registerClass<DSNumericDataColumn>(QStringLiteral("DSNumericDataColumn"));
    DSObjectFactory::registerClass<DSTextColumn>(QStringLiteral("DSTextColumn"));
    DSObjectFactory::registerClass<DSTextDataColumn>(QStringLiteral("DSTextDataColumn"));
    DSObjectFactory::registerClass<DSTimeColumn>(QStringLiteral("DSTimeColumn"));
    DSObjectFactory::registerClass<DSTimeDataColumn>(QStringLiteral("DSTimeDataColumn"));
    DSObjectFactory::registerClass<DSIndicatorColumn>(QStringLiteral("DSIndicatorColumn"));
    DSObjectFactory::registerClass<DSJoinColumnCondition>(QStringLiteral("DSJoinColumnCondition"));
    DSObjectFactory::registerClass<DSColumnCondition>(QStringLiteral("DSColumnCondition"));
    DSObjectFactory::registerClass<DSColumnConditionValue>(QStringLiteral("DSColumnConditionValue"));
    DSObjectFactory::registerClass<DSColumnConditionInterval>(QStringLiteral("DSColumnConditionInterval"));
    DSObjectFactory::registerClass<DSColumnConditionBit>(QStringLiteral("DSColumnConditionBit"));
    DSObjectFactory::registerClass<DSColumnConditionString>(QStringLiteral("DSColumnConditionString"));
    DSObjectFactory::registerClass<DSPartition>(QStringLiteral("DSPartition"));
    DSObjectFactory::registerClass<DSNumericPartition>(QStringLiteral("DSNumericPartition"));
    DSObjectFactory::registerClass<DSTextPartition>(QStringLiteral("DSTextPartition"));
    DSObjectFactory::registerClass<DSTimePartition>(QStringLiteral("DSTimePartition"));
    ds_register_regression_classes();
    ds_register_derived_classes();
    DSObjectFactory::registerClass<DSTableFilterSet>(QStringLiteral("DSTableFilterSet"));
    DSObjectFactory::registerClass<DSTableFilter>(QStringLiteral("DSTableFilter"));
    DSObjectFactory::registerClass<DSPivot>(QStringLiteral("DSPivot"));
    DSObjectFactory::registerClass<DSPivotInput>(QStringLiteral("DSPivotInput"));
    DSObjectFactory::registerClass<DSAggregation>(QStringLiteral("DSAggregation"));
    DSObjectFactory::registerClass<DSColumnAggregation>(QStringLiteral("DSColumnAggregation"));
    DSObjectFactory::registerClass<DSComputedAggregation>(QStringLiteral("DSComputedAggregation"));
    DSObjectFactory::registerClass<DSComputeSumAggregation>(QStringLiteral("DSComputeSumAggregation"));
    DSObjectFactory::registerClass<DSComputeDifferenceAggregation>(QStringLiteral("DSComputeDifferenceAggregation"));
    DSObjectFactory::registerClass<DSComputeProductAggregation>(QStringLiteral("DSComputeProductAggregation"));
    DSObjectFactory::registerClass<DSComputeDivisionAggregation>(QStringLiteral("DSComputeDivisionAggregation"));
    DSObjectFactory::registerClass<DSAggregationInput>(QStringLiteral("DSAggregationInput"));
    ds_register_importer_classes();
}
