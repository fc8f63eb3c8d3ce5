#include "derived/ds_register_derived_classes.h"

#include "derived/DSComputeDayOfMonthColumn.h"
#include "derived/DSComputeDayOfWeekColumn.h"
#include "derived/DSComputeDayOfYearColumn.h"
#include "derived/DSComputeDifferenceColumn.h"
#include "derived/DSComputeDivisionColumn.h"
#include "derived/DSComputeGregorianYearColumn.h"
#include "derived/DSComputeHourOfDayColumn.h"
#include "derived/DSComputeHourOfWeekColumn.h"
#include "derived/DSComputeISOWeekNumberingYearColumn.h"
#include "derived/DSComputeLeadingDigitsColumn.h"
#include "derived/DSComputeLogarithmColumn.h"
#include "derived/DSComputeMinuteOfDayColumn.h"
#include "derived/DSComputeMinuteOfHourColumn.h"
#include "derived/DSComputeMonthOfYearColumn.h"
#include "derived/DSComputePowerColumn.h"
#include "derived/DSComputeProductColumn.h"
#include "derived/DSComputeQuantileColumn.h"
#include "derived/DSComputeQuarterOfYearColumn.h"
#include "derived/DSComputeRoundedColumn.h"
#include "derived/DSComputeScaledColumn.h"
#include "derived/DSComputeStandardizedColumn.h"
#include "derived/DSComputeSumColumn.h"
#include "derived/DSComputeTimeDifferenceColumn.h"
#include "derived/DSComputeWeekOfYearColumn.h"
#include "derived/DSIndicatorJoinedColumn.h"
#include "derived/DSIndicatorLocalColumn.h"
#include "derived/DSIndicatorStackedColumn.h"
#include "derived/DSNumericConstantColumn.h"
#include "derived/DSNumericJoinedColumn.h"
#include "derived/DSNumericRecodeColumn.h"
#include "derived/DSNumericSourceIndexColumn.h"
#include "derived/DSNumericStackedColumn.h"
#include "derived/DSStackedTable.h"
#include "derived/DSTextConstantColumn.h"
#include "derived/DSTextJoinedColumn.h"
#include "derived/DSTextSourceNameColumn.h"
#include "derived/DSTextStackedColumn.h"
#include "derived/DSTextTupleColumn.h"
#include "derived/DSTimeCompositionColumn.h"
#include "derived/DSTimeConstantColumn.h"
#include "derived/DSTimeJoinedColumn.h"
#include "derived/DSTimeOfDayColumn.h"
#include "derived/DSTimeStackedColumn.h"
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
    DSObjectFactory::registerClass<DSComputeGregorianYearColumn>(QStringLiteral("DSComputeGregorianYearColumn"));
    DSObjectFactory::registerClass<DSComputeISOWeekNumberingYearColumn>(QStringLiteral("DSComputeISOWeekNumberingYearColumn"));
    DSObjectFactory::registerClass<DSComputeQuarterOfYearColumn>(QStringLiteral("DSComputeQuarterOfYearColumn"));
    DSObjectFactory::registerClass<DSComputeMonthOfYearColumn>(QStringLiteral("DSComputeMonthOfYearColumn"));
    DSObjectFactory::registerClass<DSComputeWeekOfYearColumn>(QStringLiteral("DSComputeWeekOfYearColumn"));
    DSObjectFactory::registerClass<DSComputeDayOfYearColumn>(QStringLiteral("DSComputeDayOfYearColumn"));
    DSObjectFactory::registerClass<DSComputeDayOfMonthColumn>(QStringLiteral("DSComputeDayOfMonthColumn"));
    DSObjectFactory::registerClass<DSComputeDayOfWeekColumn>(QStringLiteral("DSComputeDayOfWeekColumn"));
    DSObjectFactory::registerClass<DSComputeHourOfDayColumn>(QStringLiteral("DSComputeHourOfDayColumn"));
    DSObjectFactory::registerClass<DSComputeMinuteOfHourColumn>(QStringLiteral("DSComputeMinuteOfHourColumn"));
    DSObjectFactory::registerClass<DSComputeMinuteOfDayColumn>(QStringLiteral("DSComputeMinuteOfDayColumn"));
    DSObjectFactory::registerClass<DSComputeHourOfWeekColumn>(QStringLiteral("DSComputeHourOfWeekColumn"));
    DSObjectFactory::registerClass<DSTimeOfDayColumn>(QStringLiteral("DSTimeOfDayColumn"));
    DSObjectFactory::registerClass<DSTimeCompositionColumn>(QStringLiteral("DSTimeCompositionColumn"));
    DSObjectFactory::registerClass<DSComputeTimeDifferenceColumn>(QStringLiteral("DSComputeTimeDifferenceColumn"));
    DSObjectFactory::registerClass<DSStackedTable>(QStringLiteral("DSStackedTable"));
    DSObjectFactory::registerClass<DSNumericStackedColumn>(QStringLiteral("DSNumericStackedColumn"));
    DSObjectFactory::registerClass<DSTextStackedColumn>(QStringLiteral("DSTextStackedColumn"));
    DSObjectFactory::registerClass<DSTimeStackedColumn>(QStringLiteral("DSTimeStackedColumn"));
    DSObjectFactory::registerClass<DSIndicatorStackedColumn>(QStringLiteral("DSIndicatorStackedColumn"));
    DSObjectFactory::registerClass<DSNumericSourceIndexColumn>(QStringLiteral("DSNumericSourceIndexColumn"));
    DSObjectFactory::registerClass<DSTextSourceNameColumn>(QStringLiteral("DSTextSourceNameColumn"));
    DSObjectFactory::registerClass<DSNumericJoinedColumn>(QStringLiteral("DSNumericJoinedColumn"));
    DSObjectFactory::registerClass<DSTextJoinedColumn>(QStringLiteral("DSTextJoinedColumn"));
    DSObjectFactory::registerClass<DSTimeJoinedColumn>(QStringLiteral("DSTimeJoinedColumn"));
    DSObjectFactory::registerClass<DSIndicatorJoinedColumn>(QStringLiteral("DSIndicatorJoinedColumn"));
}
