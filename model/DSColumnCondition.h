#pragma once

#include "platform/predicate/DSExpression.h"
#include "platform/store/DSManagedObject.h"

#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

class DSColumn;
class DSManagedObjectContext;
class DSPredicateValue;

// A stored comparison of one column (the left-hand side) with a constant,
// owned by an indicator column, a column's or an outcome's right censoring.
// An owner turns its conditions into a row mask: all of them must hold when
// it starts from all ones and lets each clear the rows that do not match;
// any may hold when it starts from zeros and lets each set the rows that
// match. The kinds (value, interval, string, bit) hold the right-hand side
// and do the comparing; the base compares nothing.
//
// Main thread, like the column it reads.
class DSColumnCondition : public DSManagedObject
{
public:
    // The comparison code, as comparison predicates number them (0 <, 1 <=,
    // 2 >, 3 >=, 4 =, 5 !=, 8 begins with, 9 ends with, 99 contains).
    qint64 operatorType() const { return integerForKey(QStringLiteral("operator")); }
    void setOperatorType(qint64 code) { setPrimitiveValue(qlonglong(code), QStringLiteral("operator")); }
    // The place among the owner's conditions.
    qint64 index() const { return integerForKey(QStringLiteral("index")); }
    void setIndex(qint64 index) { setPrimitiveValue(qlonglong(index), QStringLiteral("index")); }
    DSColumn *lhs_column() const;
    void setLhs_column(DSColumn *column);
    DSManagedObject *owner_indicator() const { return objectForKey(QStringLiteral("owner_indicator")); }
    void setOwner_indicator(DSManagedObject *owner) { setObject(owner, QStringLiteral("owner_indicator")); }
    DSManagedObject *owner_column_right_censoring() const
    {
        return objectForKey(QStringLiteral("owner_column_right_censoring"));
    }
    void setOwner_column_right_censoring(DSManagedObject *owner)
    {
        setObject(owner, QStringLiteral("owner_column_right_censoring"));
    }
    DSManagedObject *owner_outcome_right_censoring() const
    {
        return objectForKey(QStringLiteral("owner_outcome_right_censoring"));
    }
    void setOwner_outcome_right_censoring(DSManagedObject *owner)
    {
        setObject(owner, QStringLiteral("owner_outcome_right_censoring"));
    }

    // A new condition in context of the kind that fits column (numeric:
    // value, time: interval, indicator: bit, any other: string) comparing it
    // with value: a number, a text, a boolean, or a date picked on the local
    // clock, which is stored as the GMT start of the day it shows locally. A
    // value of another kind reads as 0, the reference date, NO or no text.
    // The caller sets operator, index and owner. Null without a context.
    static DSColumnCondition *insertNewConditionForColumn(DSColumn *column, const DSPredicateValue &value,
                                                          DSManagedObjectContext *context);

    // Fills buffer (length bytes, a row mask of the conditions' table) with
    // the rows the conditions pick: the rows matching every condition when
    // all is set, else the rows matching any; no condition picks no row
    // when any is asked and every byte when all is.
    static void applyConditions(const QList<DSColumnCondition *> &conditions, bool all, uint8_t *buffer,
                                qint64 length);

    // The passes over every row of the column's table.
    void setMatchingBits(uint8_t *mask);
    void clearUnmatchingBits(uint8_t *mask);
    // Sets the bit of every matching row of [offset, offset + limit) and
    // never clears one; clears the bit of every other row there and never
    // sets one. The mask must cover the range. Base: nothing.
    virtual void setMatchingBits(uint8_t *, qint64, qint64) {}
    virtual void clearUnmatchingBits(uint8_t *, qint64, qint64) {}

    // The right-hand side as a predicate constant (a date back on the local
    // clock); none in the base.
    virtual std::optional<DSExpression> expressionForValue() const { return std::nullopt; }
    // The right-hand side as display text; null in the base.
    virtual QString rhsStringValue() const { return QString(); }
    // "<column name> <symbol> <right-hand side>", which names indicators.
    QString stringValue() const;
    // "<", "≤", ">", "≥", "=", "≠", "BEGINSWITH", "ENDSWITH", "CONTAINS";
    // null for any other code.
    static QString symbolForOperator(qint64 code);

protected:
    // The table's row count of the column; 0 without column or table.
    qint64 rowCount() const;
};
