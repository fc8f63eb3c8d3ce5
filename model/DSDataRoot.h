#pragma once

#include "model/DSError.h"
#include "platform/store/DSManagedObject.h"

#include <QByteArray>
#include <QList>

#include <functional>

class DSManagedObjectContext;
class DSRegressionModel;
class DSTable;

// The one root object of a document's store: it holds the document's tables
// in the order of their "index", the table the window shows, and the doors
// through which objects are copied into the document.
class DSDataRoot : public DSManagedObject
{
public:
    // The first root of the context, or null: with an error (when asked for)
    // when the fetch fails, without one when the store holds no root.
    static DSDataRoot *fetchDataRootFromContext(const DSManagedObjectContext &context, DSError *error = nullptr);

    QList<DSTable *> tables() const;
    // The tables by "index", ascending.
    QList<DSTable *> sortedTables() const;
    // The first table whose index is i, or null.
    DSTable *tableAtIndex(qint64 i) const;
    // The table gets index i and the other tables at i or above move up one;
    // the caller adds the table to the root.
    void insertTable(DSTable *table, qint64 i);
    void moveTableAtIndex(qint64 from, qint64 to);
    // The table at i gets −1 and answers; the tables above move down one.
    // The caller removes and deletes it.
    DSTable *removeTableFromIndex(qint64 i);

    // The root, then every table's dependencies.
    DSObjectList managedObjectDependencies() override;

    // A copy of the object and its dependencies, made in the root's context
    // through the object-graph encoding: references among the copied objects
    // point at the copies, references to other objects of the document keep
    // pointing at them (which gain the copy in their inverse). The source may
    // belong to this document or to a pool (an import). The caller places the
    // copy (its index and owner). Null, with the error, when the encoding
    // cannot be decoded.
    DSManagedObject *duplicateManagedObject(DSManagedObject *object, DSError *error = nullptr);

    // The object and its dependencies as bytes for the pasteboard: every
    // reference that leaves them is dropped, since another document has none
    // of those objects.
    static QByteArray archivedManagedObjectDependencies(DSManagedObject *object);
    // Objects from the pasteboard or a drop, which may be hostile: inserted
    // into the root's context (the first is the dragged object; the caller
    // places it), or, for bytes that do not hold a well-formed graph of this
    // document's entities with every reference resolved within it or to a
    // live object of this document, nothing with an error, the document
    // unchanged.
    DSObjectList insertObjectsFromArchive(const QByteArray &archive, DSError *error = nullptr);

    // The table shown in the document window: in memory only, never saved.
    DSTable *active_table() const { return m_activeTable; }
    void setActive_table(DSTable *table);

    // Runs after the model the window shows (the active table's active
    // model) may have changed, through either setter, with the model shown
    // before (null when none); the document window sets it.
    using ActiveModelObserver = std::function<void(DSRegressionModel *previous)>;
    void setActiveModelObserver(ActiveModelObserver observer) { m_activeModelObserver = std::move(observer); }
    void activeModelDidChange(DSRegressionModel *previous) const;

    void didTurnIntoFault() override;

private:
    DSTable *m_activeTable = nullptr;
    ActiveModelObserver m_activeModelObserver;
};
