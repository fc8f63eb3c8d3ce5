#include "derived/ds_register_derived_classes.h"

#include "derived/DSComputeDifferenceColumn.h"
#include "derived/DSComputeDivisionColumn.h"
#include "derived/DSComputeLeadingDigitsColumn.h"
#include "derived/DSComputeLogarithmColumn.h"
#include "derived/DSComputePowerColumn.h"
#include "derived/DSComputeProductColumn.h"
#include "derived/DSComputeQuantileColumn.h"
#include "derived/DSComputeRoundedColumn.h"
#include "derived/DSComputeScaledColumn.h"
#include "derived/DSComputeStandardizedColumn.h"
#include "derived/DSComputeSumColumn.h"
#include "derived/DSIndicatorLocalColumn.h"
#include "derived/DSNumericConstantColumn.h"
#include "derived/DSNumericRecodeColumn.h"
#include "derived/DSTextConstantColumn.h"
#include "derived/DSTextTupleColumn.h"
#include "derived/DSTimeConstantColumn.h"
#include "platform/store/DSObjectFactory.h"

void ds_register_derived_classes()
{
    DSObjectFactory::registerClass<DSComputeDivisionColumn>(QStringLiteral("DSComputeDivisionColumn"));
    DSObjectFactory::registerClass<DSComputeDifferenceColumn>(QStringLiteral("DSComputeDifferenceColumn"));
    DSObjectFactory::registerClass<DSComputeSumColumn>(QStringLiteral("DSComputeSumColumn"));
    DSObjectFactory::registerClass<DSComputeProductColumn>(QStringLiteral("DSComputeProductColumn"));
    DSObjectFactory::registerClass<DSComputeLogarithmColumn>(QStringLiteral("DSComputeLogarithmColumn"));
    DSObjectFactory::registerClass<DSComputePowerColumn>(QStringLiteral("DSComputePowerColumn"));
    DSObjectFactory::registerClass<DSComputeScaledColumn>(QStringLiteral("DSComputeScaledColumn"));
    DSObjectFactory::registerClass<DSComputeRoundedColumn>(QStringLiteral("DSComputeRoundedColumn"));
    DSObjectFactory::registerClass<DSComputeLeadingDigitsColumn>(QStringLiteral("DSComputeLeadingDigitsColumn"));
    DSObjectFactory::registerClass<DSComputeStandardizedColumn>(QStringLiteral("DSComputeStandardizedColumn"));
    DSObjectFactory::registerClass<DSComputeQuantileColumn>(QStringLiteral("DSComputeQuantileColumn"));
    DSObjectFactory::registerClass<DSNumericRecodeColumn>(QStringLiteral("DSNumericRecodeColumn"));
    DSObjectFactory::registerClass<DSNumericConstantColumn>(QStringLiteral("DSNumericConstantColumn"));
    DSObjectFactory::registerClass<DSTextConstantColumn>(QStringLiteral("DSTextConstantColumn"));
    DSObjectFactory::registerClass<DSTimeConstantColumn>(QStringLiteral("DSTimeConstantColumn"));
    DSObjectFactory::registerClass<DSTextTupleColumn>(QStringLiteral("DSTextTupleColumn"));
    DSObjectFactory::registerClass<DSIndicatorLocalColumn>(QStringLiteral("DSIndicatorLocalColumn"));
}
