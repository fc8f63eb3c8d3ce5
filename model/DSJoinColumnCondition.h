#pragma once

#include "platform/predicate/DSPredicate.h"
#include "platform/store/DSManagedObject.h"

class DSColumn;

// One key of a joined column: a column of the joined column's own table
// (local) and one of the table its values come from (foreign) whose values
// must be equal for a local row to take a foreign row's value. Joins always
// match for equality; the stored operator is carried along, not consulted.
class DSJoinColumnCondition : public DSManagedObject
{
public:
    // Position among the joined column's conditions, 0 up.
    qint64 index() const { return integerForKey(QStringLiteral("index")); }
    void setIndex(qint64 index) { setPrimitiveValue(qlonglong(index), QStringLiteral("index")); }
    qint64 operatorCode() const { return integerForKey(QStringLiteral("operator")); }
    void setOperatorCode(qint64 code) { setPrimitiveValue(qlonglong(code), QStringLiteral("operator")); }

    DSColumn *local_column() const;
    void setLocal_column(DSColumn *column);
    DSColumn *foreign_column() const;
    void setForeign_column(DSColumn *column);
    DSColumn *owner() const;
    void setOwner(DSColumn *column);

    // local joinName = foreign joinName, both sides constant texts (a
    // missing column's side is the empty text).
    DSPredicatePtr predicate() const;
};
