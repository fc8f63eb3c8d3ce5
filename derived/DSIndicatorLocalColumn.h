#pragma once

#include "derived/DSPurgeOnChange.h"
#include "model/DSIndicatorColumn.h"
#include "platform/predicate/DSPredicate.h"


class DSColumnCondition;
class DSComparisonPredicate;

// A TRUE/FALSE column whose row says whether the row satisfies comparisons
// on other columns of its table (Age ≥ 18, Region begins with N), all of
// them (predicate_type 1, AND) or any (2, OR). The stored definition is its
// conditions (DSColumnCondition, ordered by their index); predicate()
// turns them into one predicate tree for an editor and setPredicate()
// back. The bits are evaluated at every request, so an edit of a condition's
// column reaches them at once; a change of the conditions or of the
// combination purges the column and everything computed from it, undo
// included. A row is missing when any condition's column is missing there,
// under AND and OR alike.
class DSIndicatorLocalColumn : public DSIndicatorColumn
{
public:
    using DSIndicatorColumn::getBytes;

    ~DSIndicatorLocalColumn() override;

    // 1 AND, 2 OR (the compound codes).
    qint64 predicate_type() const { return integerForKey(QStringLiteral("predicate_type")); }
    void setPredicate_type(qint64 type) { setPrimitiveValue(qlonglong(type), QStringLiteral("predicate_type")); }
    // The column the indicator was made from (not stored): it places a new
    // indicator and gives the comparison shown while there is no condition.
    // Not owned: the sheet that sets it clears it before the column can go.
    DSColumn *default_column() const { return m_defaultColumn; }
    void setDefault_column(DSColumn *column) { m_defaultColumn = column; }

    // The conditions by index, ascending.
    QList<DSColumnCondition *> sortedConditions() const;
    // An OR compound when predicate_type is 2, else an AND, of one
    // comparison a condition in index order (left: the constant long name of
    // its column; right: its value); without conditions, of the default
    // column compared for equality with its default value, or of nothing.
    DSPredicatePtr predicate() const;
    // Deletes every condition, then makes one per comparison of a compound
    // (other members dropped), taking the compound's type, or one for a
    // lone comparison with the type AND; anything else leaves no condition
    // and the type as it was. Comparisons that name no column of the table
    // or have no right-hand value are dropped silently.
    void setPredicate(const DSPredicatePtr &predicate);
    // A new condition in the column's context for a comparison, numbered
    // after the present conditions, not yet added to them; null when the
    // left side names no column of the table (by long name; the last match
    // wins) or the right side has no value.
    DSColumnCondition *conditionForComparisonPredicate(const DSComparisonPredicate &comparison);

    // The bits of the range evaluated from the conditions into masks from
    // row 0 owned by the column (valid until its next request); the mask
    // length in bytes, 0 without rows. Without conditions every row is TRUE
    // under AND and FALSE under OR, none missing.
    qint64 getBytes(const uint8_t **values, const uint8_t **missing, qint64 offset, qint64 limit) override;

    // "[Age ≥ 18, Weight < 80]", or "[Age ≥ 18 OR Weight < 80]" under OR.
    QString suggestedName() const override;
    // The base's list, then every condition's, so a copy takes them along.
    DSObjectList managedObjectDependencies() override;

    void awakeFromInsert() override;
    void awakeFromFetch() override;
    void didTurnIntoFault() override;

private:
    DSPurgeOnChange m_definition;
    DSColumn *m_defaultColumn = nullptr;
};
