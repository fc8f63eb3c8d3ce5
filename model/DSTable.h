#pragma once

#include "platform/store/DSManagedObject.h"

class DSDataRoot;

// A table of a document: the stored entity that owns its columns and every
// per-table analysis object. DSDataTable stores its rows.
class DSTable : public DSManagedObject
{
public:
    qint64 index() const { return integerForKey(QStringLiteral("index")); }
    void setIndex(qint64 index) { setPrimitiveValue(qlonglong(index), QStringLiteral("index")); }
    QString name() const { return stringForKey(QStringLiteral("name")); }
    void setName(const QString &name) { setPrimitiveValue(name, QStringLiteral("name")); }
    DSDataRoot *data_root() const;
    void setData_root(DSDataRoot *root);

    // The number of rows; 0 here, stored by DSDataTable.
    virtual qint64 num_records() const { return 0; }

    // Creates the objects every table owns; called by whoever creates a
    // table, after inserting it and attaching it to its root.
    virtual void makeDependencies() {}

    // The padlock of the records grid: in memory only, NO after set-up.
    bool edit_data_unlocked() const { return m_editDataUnlocked; }
    void setEdit_data_unlocked(bool unlocked) { m_editDataUnlocked = unlocked; }

    // Members of a to-many relationship sorted by their "index", ascending;
    // members without an "index" attribute are left out.
    static DSObjectList sortedByIndex(const DSObjectList &set);

private:
    bool m_editDataUnlocked = false;
};
