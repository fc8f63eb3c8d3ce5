#include "database/DSDatabaseTableQuery.h"

#include "platform/calendar/ds_gmt_calendar.h"
#include "platform/predicate/DSComparisonPredicate.h"
#include "platform/predicate/DSCompoundPredicate.h"

#include <QDateTime>

QString DSDatabaseTableQuery::table_name() const
{
    if (m_qualifies_name && !m_source_schema_name.isEmpty())
        return m_source_schema_name + u'.' + m_source_table_name;
    return m_source_table_name;
}

qint64 DSDatabaseTableQuery::limited_count() const
{
    if (m_apply_row_limit && m_row_limit > 0)
        return std::min(m_row_limit, m_unlimited_count);
    return m_unlimited_count;
}

DSPredicatePtr DSDatabaseTableQuery::default_predicate() const
{
    if (m_columns.isEmpty())
        return nullptr;
    const DSDatabaseColumnInfo &column = *m_columns.first();
    DSPredicateOperatorType op = DSPredicateOperatorType::EqualTo;
    DSPredicateValue value;
    switch (column.type()) {
    case 1:
        op = DSPredicateOperatorType::GreaterThan;
        value = DSPredicateValue::fromNumber(0.0);
        break;
    case 2:
        value = DSPredicateValue::fromBool(true);
        break;
    case 3:
        value = DSPredicateValue::fromNumber(1);
        break;
    case 4:
        value = DSPredicateValue::fromString(QString(""));
        break;
    case 5:
    case 6:
    case 7:
        value = DSPredicateValue::fromDate(double(QDateTime::currentMSecsSinceEpoch()) / 1000.0 -
                                           kDSUnixToAbsoluteTime);
        break;
    default:
        return nullptr;
    }
    auto comparison = DSComparisonPredicate::make(
        DSExpression::forConstantValue(DSPredicateValue::fromString(column.name())), op,
        DSExpression::forConstantValue(value));
    return DSCompoundPredicate::andPredicate({comparison});
}
