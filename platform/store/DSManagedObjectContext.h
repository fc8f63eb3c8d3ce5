#pragma once

#include "platform/store/DSManagedObject.h"
#include "platform/store/DSObjectOwner.h"
#include "platform/store/DSStoreError.h"
#include "platform/store/DSUndoManager.h"

#include <QHash>
#include <QList>
#include <QObject>

#include <functional>
#include <memory>
#include <vector>

class DSFetchRequest;
class DSPersistentStore;
struct DSStoreOptions;

// What one processing of pending changes reports: the objects that entered
// the graph, changed, or left it since the last processing, each once, in
// the order they were first touched. An object inserted and deleted in the
// same cycle is in none; an object whose values came back to where they
// were is not updated.
struct DSObjectsDidChange
{
    DSObjectList inserted;
    DSObjectList updated;
    DSObjectList deleted;
    // What each deleted object's to-one relationships pointed at before its
    // deletion cleared them, by relationship name (none are left out of the
    // map), so an observer can still tell where a deleted object belonged.
    QHash<const DSManagedObject *, QHash<QString, DSManagedObject *>> formerToOne;
    bool isEmpty() const { return inserted.isEmpty() && updated.isEmpty() && deleted.isEmpty(); }
    // The target a deleted object's to-one relationship held before the
    // deletion, or the live value of any other object's; null when none.
    DSManagedObject *formerTarget(const DSManagedObject *object, const QString &key) const;
};

// A document's objects: it owns them, keeps inverse relationships in step,
// applies delete rules, tracks changes and, when they are processed, posts
// one objectsDidChange() and records one undo action in its undo manager.
// It holds at most one SQLite store, which it loads whole when the store is
// added (binary data excepted: that waits in the file until first read) and
// into which save() writes every change in one transaction.
//
// Single-threaded: a context is made and used on one thread (the main
// thread for a document). Objects built elsewhere live in a DSObjectPool.
//
// Pending changes are processed by processPendingChanges(), which also runs
// before every save, undo grouping, undo and redo, and by itself at the end
// of the current event when a Qt event loop runs.
class DSManagedObjectContext : public QObject, public DSObjectOwner
{
    Q_OBJECT

public:
    explicit DSManagedObjectContext(std::shared_ptr<const DSManagedObjectModel> model,
                                    QObject *parent = nullptr);
    ~DSManagedObjectContext() override;

    // A new object of the named entity, registered and numbered (its
    // identity is final from here on), after its awakeFromInsert(). Null,
    // with a warning, for an unknown or abstract entity.
    DSManagedObject *insertNewObject(const QString &entityName);
    DSManagedObject *insertNewObject(const DSEntityDescription *entity) override;
    template <class T>
    T *insertNewObject(const QString &entityName)
    {
        return ds_object_cast<T>(insertNewObject(entityName));
    }

    // Deletes an object: prepareForDeletion() runs on it, then its delete
    // rules apply (cascading deletions run their own hooks first, each once).
    // Deleting a deleted object does nothing and answers true. Answers false,
    // changing nothing, when a deny rule on the object or on anything the
    // deletion would cascade to still has objects, or when the object is not
    // this context's.
    bool deleteObject(DSManagedObject *object, DSStoreError *error = nullptr);

    // The live objects a request selects; an unknown entity answers an
    // empty list and an error.
    DSObjectList executeFetchRequest(const DSFetchRequest &request, DSStoreError *error = nullptr) const;
    // Every live object of an entity and its sub-entities, in store order.
    DSObjectList objectsOfEntity(const QString &entityName) const;
    // The registered object a URI names (deleted ones included), or null.
    DSManagedObject *objectForURI(const QUrl &uri) const;

    void processPendingChanges();
    // Whether anything changed since the last save (pending or processed).
    bool hasChanges() const;

    // Observes one key of one object: the callback runs after every change
    // of its value (setters, inverse upkeep, undo, redo), once the change in
    // progress is complete. Answers a token for removeObserver().
    using KeyObserver = std::function<void(DSManagedObject *object, const QString &key)>;
    int addObserver(DSManagedObject *object, const QString &key, KeyObserver callback);
    void removeObserver(int token);

    // The context owns its undo manager; a new context has one. Setting
    // null leaves the context without undo (migration, throwaway contexts).
    DSUndoManager *undoManager() const { return m_undoManager.get(); }
    void setUndoManager(std::unique_ptr<DSUndoManager> undoManager);

    // Adds the store at a path. An existing file is opened (read-only when
    // the options say so) and its objects loaded; the context must then hold
    // no objects yet, and takes the store's identifier, so URIs match the
    // file. A path with no file names a new store, created by the first save
    // with the objects the context already holds. One store per context.
    bool addPersistentStore(const QString &path, const DSStoreOptions &options, DSStoreError *error = nullptr);
    DSPersistentStore *persistentStore() const { return m_store.get(); }
    // Copies the store's saved state into a new file at newPath (written
    // elsewhere, then renamed into place) and continues with that file;
    // unsaved changes stay pending for the next save. The old file is left
    // as it was. An existing file at newPath is replaced.
    bool migratePersistentStore(const QString &newPath, DSStoreError *error = nullptr);
    // Tells the store its file has been moved to newPath by someone else.
    bool setPersistentStorePath(const QString &newPath, DSStoreError *error = nullptr);
    // Detaches the store and resets the context: every object turns into a
    // fault and is forgotten, and undo is cleared.
    bool removePersistentStore(DSStoreError *error = nullptr);

    // Writes every change into the store in one transaction, after
    // prepareForSave() on the changed objects (side by side) and willSave()
    // on each. On failure nothing is written, the changes stay pending (an
    // object's edits held in memory included) and the error names what
    // failed. Deleted objects turn into faults when their deletion is saved.
    bool save(DSStoreError *error = nullptr);

    // Forgets everything: every object turns into a fault, undo is cleared.
    void reset();

Q_SIGNALS:
    void objectsDidChange(const DSObjectsDidChange &change);
    void didSave();

private:
    friend class DSManagedObject;
    friend class DSPersistentStore;
    // Groups the tracked stores of one change (a relationship and its
    // inverses) so that key observers run once the whole change is done.
    class ChangeBatch
    {
    public:
        explicit ChangeBatch(DSManagedObjectContext *context) : m_context(context)
        {
            if (m_context)
                m_context->beginBatch();
        }
        ~ChangeBatch()
        {
            if (m_context)
                m_context->endBatch();
        }
        ChangeBatch(const ChangeBatch &) = delete;
        ChangeBatch &operator=(const ChangeBatch &) = delete;

    private:
        DSManagedObjectContext *m_context;
    };
    struct PendingEntry;
    struct PropertyChange;
    struct ObjectChange;
    struct Observer;

    // Change tracking, called by DSManagedObject around every tracked store.
    void willChange(DSManagedObject *object, const DSPropertyDescription *property);
    void didChange(DSManagedObject *object, const DSPropertyDescription *property);
    void setLive(DSManagedObject *object, bool live);
    PendingEntry &pendingEntry(DSManagedObject *object);
    void markUnsaved(DSManagedObject *object, int propertyIndex);
    void scheduleProcessing();
    void beginBatch();
    void endBatch();

    // Runs prepareForSave() of the changed live objects side by side, then
    // commits what they made without undo registration. False, with the
    // error set and every preparation discarded, when one fails.
    bool prepareForSave(DSStoreError *error);
    bool collectDeletion(DSManagedObject *object, QList<DSManagedObject *> *closure, DSStoreError *error) const;
    void deleteWithRules(DSManagedObject *object);
    void revert(const std::vector<ObjectChange> &changes);
    static QHash<QString, DSManagedObject *> formerToOneTargets(const PendingEntry &entry);
    void turnIntoFault(DSManagedObject *object);
    void registerObject(DSManagedObject *object);

    // For a store loading into this context.
    DSManagedObject *makeLoadedObject(const DSEntityDescription *entity, qint64 number);
    QVariant loadStoredValue(const DSManagedObject *object, const DSAttributeDescription *attribute);

    std::unique_ptr<DSUndoManager> m_undoManager;
    std::unique_ptr<DSPersistentStore> m_store;
    // Per root entity: the registered objects in store order, by number, and
    // the last number handed out.
    QHash<const DSEntityDescription *, DSObjectList> m_objectsByRoot;
    QHash<const DSEntityDescription *, QHash<qint64, DSManagedObject *>> m_byNumber;
    QHash<const DSEntityDescription *, qint64> m_lastNumber;
    std::vector<PendingEntry> m_pending;
    DSObjectList m_unsaved;
    std::vector<Observer> m_observers;
    int m_lastObserverToken = 0;
    int m_batchDepth = 0;
    std::vector<std::pair<DSManagedObject *, const DSPropertyDescription *>> m_notifications;
    bool m_processing = false;
    bool m_processingScheduled = false;
};

Q_DECLARE_METATYPE(DSObjectsDidChange)
