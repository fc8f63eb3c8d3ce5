#pragma once

#include "platform/store/DSManagedObject.h"

class DSColumn;
class DSManagedObjectContext;
class DSPivot;

// One input slot (0 to 4) of a pivot: the column whose labels group the
// records. It takes part when enabled, with a column, in a slot below the
// table's pivot_input_count.
class DSPivotInput : public DSManagedObject
{
public:
    qint64 index() const { return integerForKey(QStringLiteral("index")); }
    void setIndex(qint64 index) { setPrimitiveValue(qlonglong(index), QStringLiteral("index")); }
    bool is_enabled() const { return boolForKey(QStringLiteral("is_enabled")); }
    void setIs_enabled(bool on) { setPrimitiveValue(on, QStringLiteral("is_enabled")); }
    DSColumn *column() const;
    void setColumn(DSColumn *column);
    DSPivot *owner() const;
    void setOwner(DSPivot *owner);
    // Enabled and with a column.
    bool takesPart() const { return is_enabled() && column(); }

    // The column of this slot's labels for a table exported from the owner,
    // one row per pivot row in display order, made in the context, saved
    // and named: the category values of a numeric column treated as
    // categories (NaN for "Missing"), the periods of a time column, the
    // label texts otherwise. It takes the source column's attributes and
    // formats. Null without a column or when it cannot be made.
    DSColumn *insertDataColumnInManagedObjectContext(DSManagedObjectContext *context);
};
