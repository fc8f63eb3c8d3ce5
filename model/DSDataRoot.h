#pragma once

#include "model/DSError.h"
#include "platform/store/DSManagedObject.h"

#include <QList>

class DSManagedObjectContext;
class DSTable;

// The one root object of a document's store: it holds the document's tables
// in the order of their "index", and the table the window shows.
class DSDataRoot : public DSManagedObject
{
public:
    // The first root of the context, or null: with an error (when asked for)
    // when the fetch fails, without one when the store holds no root.
    static DSDataRoot *fetchDataRootFromContext(const DSManagedObjectContext &context, DSError *error = nullptr);

    QList<DSTable *> tables() const;
    // The tables by "index", ascending.
    QList<DSTable *> sortedTables() const;

    // The table shown in the document window: in memory only, never saved.
    DSTable *active_table() const { return m_activeTable; }
    void setActive_table(DSTable *table) { m_activeTable = table; }

    void didTurnIntoFault() override;

private:
    DSTable *m_activeTable = nullptr;
};
