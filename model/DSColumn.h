#pragma once

#include "platform/store/DSManagedObject.h"

#include <cstdint>
#include <set>

class DSTable;

// Row numbers, or aggregation tags: an ordered set of integers.
using DSIndexSet = std::set<qint64>;

// The base of every column: its place in its table, its names and the
// column protocol that tables and statistics call whatever the kind. The
// kinds (numeric, text, time, indicator) and the stored and derived classes
// supply the values.
class DSColumn : public DSManagedObject
{
public:
    qint64 index() const { return integerForKey(QStringLiteral("index")); }
    void setIndex(qint64 index) { setPrimitiveValue(qlonglong(index), QStringLiteral("index")); }
    // The stored name, else suggestedName().
    QString name() const;
    void setName(const QString &name) { setPrimitiveValue(name, QStringLiteral("name")); }
    // An optional longer description; none reads as "".
    QString title() const { return stringForKey(QStringLiteral("title")); }
    void setTitle(const QString &title) { setPrimitiveValue(title, QStringLiteral("title")); }
    bool treat_as_categories() const { return boolForKey(QStringLiteral("treat_as_categories")); }
    void setTreat_as_categories(bool on) { setPrimitiveValue(on, QStringLiteral("treat_as_categories")); }
    DSTable *table() const;
    void setTable(DSTable *table);

    // A name made from the column's inputs; "" for a stored column.
    virtual QString suggestedName() const { return QString(); }

    // The missing rows of the whole column (a set bit is a missing row),
    // owned by the column and valid until its next request or edit; null and
    // 0 when no row is missing. The ranged form covers rows offset to
    // offset + limit − 1 (indexed by absolute row). The base has no values
    // and answers null.
    virtual qint64 getMissingMask(const uint8_t **out);
    virtual qint64 getMissingMask(const uint8_t **out, qint64 offset, qint64 limit);
    // The rows included by mask that are complete in this column.
    qint64 getNonmissingMask(const uint8_t **out, const uint8_t *mask, qint64 length);

    // Creates the objects every column owns (formatters, partitions).
    virtual void makeDependencies() {}
    // Appends n missing rows, or removes the given rows, from stored values.
    virtual void addRows(qint64 /*n*/) {}
    virtual void dropRows(const DSIndexSet & /*rows*/) {}
};
