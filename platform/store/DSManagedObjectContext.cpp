#include "platform/store/DSManagedObjectContext.h"

#include "platform/dispatch/ds_parallel_for.h"
#include "platform/store/DSAttributeDescription.h"
#include "platform/store/DSEntityDescription.h"
#include "platform/store/DSFetchRequest.h"
#include "platform/store/DSManagedObjectModel.h"
#include "platform/store/DSPersistentStore.h"
#include "platform/store/DSRelationshipDescription.h"
#include "platform/store/DSUndoManager.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFileInfo>
#include <QSet>
#include <QThread>

#include <algorithm>

struct DSManagedObjectContext::PendingEntry
{
    DSManagedObject *object;
    bool wasLive;
    // The value of each property before its first change in this cycle.
    std::vector<std::pair<const DSPropertyDescription *, QVariant>> olds;
};

struct DSManagedObjectContext::PropertyChange
{
    const DSPropertyDescription *property;
    QVariant oldValue;
    QVariant newValue;
};

struct DSManagedObjectContext::ObjectChange
{
    DSManagedObject *object;
    bool wasLive;
    bool isLive;
    std::vector<PropertyChange> changes;
};

namespace {

// The memory one recorded value holds: its byte array's data (binary
// attributes are what make records large) or the variant alone.
qint64 valueBytes(const QVariant &value)
{
    const qint64 own = qint64(sizeof(QVariant));
    return value.typeId() == QMetaType::QByteArray ? own + value.toByteArray().size() : own;
}

} // namespace

struct DSManagedObjectContext::Observer
{
    int token;
    DSManagedObject *object;
    QString key;
    KeyObserver callback;
};

namespace {

// Cycles of observers changing what they observe end here rather than spin.
constexpr int k_maxProcessingRounds = 100;

} // namespace

DSManagedObjectContext::DSManagedObjectContext(std::shared_ptr<const DSManagedObjectModel> model, QObject *parent)
    : QObject(parent), DSObjectOwner(std::move(model))
{
    setUndoManager(std::make_unique<DSUndoManager>());
}

DSManagedObjectContext::~DSManagedObjectContext()
{
    // Undo actions point at objects; they go first. The objects' hooks then
    // run while the context is still whole.
    if (m_undoManager)
        m_undoManager->removeAllActions();
    m_observers.clear();
    destroyObjects();
    m_store.reset();
}

void DSManagedObjectContext::setUndoManager(std::unique_ptr<DSUndoManager> undoManager)
{
    if (m_undoManager)
        disconnect(m_undoManager.get(), nullptr, this, nullptr);
    m_undoManager = std::move(undoManager);
    if (m_undoManager)
        connect(m_undoManager.get(), &DSUndoManager::checkpoint, this, &DSManagedObjectContext::processPendingChanges);
}

DSManagedObject *DSManagedObjectContext::insertNewObject(const QString &entityName)
{
    const DSEntityDescription *entity = entityForInsertion(entityName);
    return entity ? insertNewObject(entity) : nullptr;
}

DSManagedObject *DSManagedObjectContext::insertNewObject(const DSEntityDescription *entity)
{
    const DSEntityDescription *root = entity ? entity->rootEntity() : nullptr;
    DSManagedObject *object = makeObject(entity, m_lastNumber.value(root) + 1);
    if (!object)
        return nullptr;
    ++m_lastNumber[root];
    registerObject(object);
    {
        ChangeBatch batch(this);
        setLive(object, true);
    }
    object->awakeFromInsert();
    return object;
}

void DSManagedObjectContext::registerObject(DSManagedObject *object)
{
    const DSEntityDescription *root = object->m_entity->rootEntity();
    m_objectsByRoot[root].append(object);
    m_byNumber[root].insert(object->m_number, object);
}

DSManagedObject *DSManagedObjectContext::makeLoadedObject(const DSEntityDescription *entity, qint64 number)
{
    DSManagedObject *object = makeObject(entity, number);
    object->setFlag(DSManagedObject::Live, true);
    object->setFlag(DSManagedObject::Persisted, true);
    registerObject(object);
    return object;
}

QVariant DSManagedObjectContext::loadStoredValue(const DSManagedObject *object, const DSAttributeDescription *attribute)
{
    if (!m_store) {
        qWarning("Binary data of %s is lost: its store was removed", qPrintable(object->uri().toString()));
        return QVariant();
    }
    return m_store->loadValue(object, attribute);
}

bool DSManagedObjectContext::deleteObject(DSManagedObject *object, DSStoreError *error)
{
    if (!object || object->m_context != this)
        return ds_store_fail(error, DSStoreError::InvalidArgument, QStringLiteral("The object to delete is not in this context"));
    if (!object->hasFlag(DSManagedObject::Live))
        return true;
    QList<DSManagedObject *> closure;
    if (!collectDeletion(object, &closure, error))
        return false;
    ChangeBatch batch(this);
    deleteWithRules(object);
    return true;
}

// Gathers what deleting `object` would cascade to and refuses when a deny
// rule of any of them still holds an object outside that set.
bool DSManagedObjectContext::collectDeletion(DSManagedObject *object, QList<DSManagedObject *> *closure,
                                             DSStoreError *error) const
{
    QSet<const DSManagedObject *> seen{object};
    closure->append(object);
    for (qsizetype i = 0; i < closure->size(); ++i) {
        const DSManagedObject *o = closure->at(i);
        for (const DSRelationshipDescription *r : o->m_entity->relationships()) {
            if (r->deleteRule() != DSDeleteRule::Cascade)
                continue;
            const DSObjectList targets = r->isToMany() ? o->m_toMany[size_t(r->slot())].toList()
                                                       : DSObjectList{o->m_toOne[size_t(r->slot())]};
            for (DSManagedObject *t : targets)
                if (t && t->hasFlag(DSManagedObject::Live) && !seen.contains(t)) {
                    seen.insert(t);
                    closure->append(t);
                }
        }
    }
    for (const DSManagedObject *o : *closure) {
        for (const DSRelationshipDescription *r : o->m_entity->relationships()) {
            if (r->deleteRule() != DSDeleteRule::Deny)
                continue;
            const DSObjectList targets = r->isToMany() ? o->m_toMany[size_t(r->slot())].toList()
                                                       : DSObjectList{o->m_toOne[size_t(r->slot())]};
            for (const DSManagedObject *t : targets)
                if (t && t->hasFlag(DSManagedObject::Live) && !seen.contains(t))
                    return ds_store_fail(error, DSStoreError::DeleteDenied,
                                         QStringLiteral("%1 %2 cannot be deleted while its relationship “%3” holds %4 %5")
                                             .arg(o->m_entity->name()).arg(o->m_number).arg(r->name(), t->m_entity->name())
                                             .arg(t->m_number));
        }
    }
    return true;
}

void DSManagedObjectContext::deleteWithRules(DSManagedObject *object)
{
    if (!object->hasFlag(DSManagedObject::Live))
        return;
    // Marked first, so a hook that reaches this object again finds it deleted.
    setLive(object, false);
    object->prepareForDeletion();
    for (const DSRelationshipDescription *r : object->m_entity->relationships()) {
        if (r->deleteRule() == DSDeleteRule::NoAction)
            continue;
        if (r->deleteRule() == DSDeleteRule::Cascade) {
            // Each target's own hook runs while it still points at this object.
            const DSObjectList targets = r->isToMany() ? object->m_toMany[size_t(r->slot())].toList()
                                                       : DSObjectList{object->m_toOne[size_t(r->slot())]};
            for (DSManagedObject *t : targets)
                if (t)
                    deleteWithRules(t);
        }
        if (r->isToMany())
            object->setToMany(r, DSObjectList());
        else
            object->setToOne(r, nullptr);
    }
}

DSObjectList DSManagedObjectContext::executeFetchRequest(const DSFetchRequest &request, DSStoreError *error) const
{
    const DSEntityDescription *entity = model().entityNamed(request.entityName());
    if (!entity) {
        ds_store_fail(error, DSStoreError::InvalidArgument,
                      QStringLiteral("No entity named “%1” to fetch").arg(request.entityName()));
        return DSObjectList();
    }
    DSObjectList result;
    for (DSManagedObject *o : m_objectsByRoot.value(entity->rootEntity())) {
        if (!o->hasFlag(DSManagedObject::Live))
            continue;
        if (request.includesSubentities() ? !o->m_entity->isKindOfEntity(entity) : o->m_entity != entity)
            continue;
        if (request.filter() && !request.filter()(o))
            continue;
        result.append(o);
    }
    DSFetchRequest::sortObjects(&result, request.sortDescriptors());
    return result;
}

DSObjectList DSManagedObjectContext::objectsOfEntity(const QString &entityName) const
{
    return executeFetchRequest(DSFetchRequest(entityName));
}

DSManagedObject *DSManagedObjectContext::objectForURI(const QUrl &uri) const
{
    DSManagedObjectID::URIParts parts;
    if (!DSManagedObjectID::parseURI(uri, &parts) || parts.temporary || parts.storeIdentifier != identifier())
        return nullptr;
    const DSEntityDescription *entity = model().entityNamed(parts.entityName);
    if (!entity)
        return nullptr;
    DSManagedObject *object = m_byNumber.value(entity->rootEntity()).value(parts.number);
    return object && object->m_entity == entity ? object : nullptr;
}

bool DSManagedObjectContext::hasChanges() const
{
    return !m_pending.empty() || !m_unsaved.isEmpty();
}

DSManagedObjectContext::PendingEntry &DSManagedObjectContext::pendingEntry(DSManagedObject *object)
{
    if (object->m_pendingIndex < 0) {
        object->m_pendingIndex = int(m_pending.size());
        m_pending.push_back({object, object->hasFlag(DSManagedObject::Live), {}});
        scheduleProcessing();
    }
    return m_pending[size_t(object->m_pendingIndex)];
}

void DSManagedObjectContext::markUnsaved(DSManagedObject *object, int propertyIndex)
{
    if (!object->hasFlag(DSManagedObject::Unsaved)) {
        object->setFlag(DSManagedObject::Unsaved, true);
        m_unsaved.append(object);
    }
    if (propertyIndex < 0)
        return;
    if (object->m_unsavedProperties.empty())
        object->m_unsavedProperties.assign(object->m_entity->properties().size(), false);
    object->m_unsavedProperties[size_t(propertyIndex)] = true;
}

void DSManagedObjectContext::willChange(DSManagedObject *object, const DSPropertyDescription *property)
{
    PendingEntry &entry = pendingEntry(object);
    for (const auto &old : entry.olds)
        if (old.first == property)
            return markUnsaved(object, property->index());
    // The snapshot reads binary data in from the store: undo must be able
    // to give back what the store is about to lose.
    entry.olds.emplace_back(property, object->primitiveValue(property));
    markUnsaved(object, property->index());
}

void DSManagedObjectContext::didChange(DSManagedObject *object, const DSPropertyDescription *property)
{
    if (m_observers.empty())
        return;
    m_notifications.emplace_back(object, property);
    if (m_batchDepth == 0) {
        beginBatch();
        endBatch();
    }
}

void DSManagedObjectContext::setLive(DSManagedObject *object, bool live)
{
    pendingEntry(object);
    markUnsaved(object, -1);
    object->setFlag(DSManagedObject::Live, live);
}

void DSManagedObjectContext::beginBatch()
{
    ++m_batchDepth;
}

void DSManagedObjectContext::endBatch()
{
    if (--m_batchDepth > 0 || m_notifications.empty())
        return;
    auto notifications = std::move(m_notifications);
    m_notifications.clear();
    QSet<std::pair<DSManagedObject *, const DSPropertyDescription *>> done;
    for (const auto &n : notifications) {
        if (done.contains(n))
            continue;
        done.insert(n);
        // Copied: a callback may add or remove observers.
        std::vector<std::pair<int, KeyObserver>> matching;
        for (const Observer &o : m_observers)
            if (o.object == n.first && o.key == n.second->name())
                matching.emplace_back(o.token, o.callback);
        for (const auto &[token, callback] : matching) {
            const bool stillThere = std::any_of(m_observers.begin(), m_observers.end(),
                                                [token = token](const Observer &o) { return o.token == token; });
            if (stillThere)
                callback(n.first, n.second->name());
        }
    }
}

int DSManagedObjectContext::addObserver(DSManagedObject *object, const QString &key, KeyObserver callback)
{
    m_observers.push_back({++m_lastObserverToken, object, key, std::move(callback)});
    return m_lastObserverToken;
}

void DSManagedObjectContext::removeObserver(int token)
{
    m_observers.erase(std::remove_if(m_observers.begin(), m_observers.end(),
                                     [token](const Observer &o) { return o.token == token; }),
                      m_observers.end());
}

void DSManagedObjectContext::scheduleProcessing()
{
    if (m_processingScheduled || !QCoreApplication::instance() || QThread::currentThread() != thread())
        return;
    m_processingScheduled = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_processingScheduled = false;
            processPendingChanges();
        },
        Qt::QueuedConnection);
}

void DSManagedObjectContext::processPendingChanges()
{
    if (m_processing)
        return;
    m_processing = true;
    for (int round = 0; round < k_maxProcessingRounds && !m_pending.empty(); ++round) {
        std::vector<PendingEntry> entries = std::move(m_pending);
        m_pending.clear();
        for (const PendingEntry &e : entries)
            e.object->m_pendingIndex = -1;
        std::vector<ObjectChange> changes;
        DSObjectsDidChange note;
        for (PendingEntry &e : entries) {
            const bool isLive = e.object->hasFlag(DSManagedObject::Live);
            if (!e.wasLive && !isLive)
                continue;
            if (e.wasLive && !isLive)
                note.formerToOne.insert(e.object, formerToOneTargets(e));
            ObjectChange change{e.object, e.wasLive, isLive, {}};
            for (auto &[property, old] : e.olds) {
                QVariant now = e.object->primitiveValue(property);
                if (!DSManagedObject::sameValue(old, now))
                    change.changes.push_back({property, std::move(old), std::move(now)});
            }
            if (e.wasLive != isLive)
                (isLive ? note.inserted : note.deleted).append(e.object);

            else if (!change.changes.empty())
                note.updated.append(e.object);
            else
                continue;
            changes.push_back(std::move(change));
        }
        if (!changes.empty() && m_undoManager && m_undoManager->isUndoRegistrationEnabled()) {
            auto recorded = std::make_shared<const std::vector<ObjectChange>>(std::move(changes));
            qint64 bytes = 0;
            for (const ObjectChange &change : *recorded)
                for (const PropertyChange &property : change.changes)
                    bytes += valueBytes(property.oldValue) + valueBytes(property.newValue);
            m_undoManager->registerUndo([this, recorded] { revert(*recorded); }, bytes);
        }
        if (!note.isEmpty())
            Q_EMIT objectsDidChange(note);
    }
    m_processing = false;
}

// A deleted object's to-one targets as they were before this cycle changed them.
QHash<QString, DSManagedObject *> DSManagedObjectContext::formerToOneTargets(const PendingEntry &entry)
{
    QHash<QString, DSManagedObject *> targets;
    for (const DSRelationshipDescription *r : entry.object->m_entity->relationships()) {
        if (r->isToMany())
            continue;
        DSManagedObject *target = entry.object->m_toOne[size_t(r->slot())];
        for (const auto &[property, old] : entry.olds)
            if (property == r)
                target = ds_object_from_variant(old);
        if (target)
            targets.insert(r->name(), target);
    }
    return targets;
}

DSManagedObject *DSObjectsDidChange::formerTarget(const DSManagedObject *object, const QString &key) const
{
    const auto former = formerToOne.constFind(object);
    if (former != formerToOne.constEnd())
        return former->value(key);
    return object ? object->objectForKey(key) : nullptr;
}

// Puts back the values a processing cycle recorded, both sides of every
// relationship from their own records, then lets the objects that left or
// came back run their hooks on the restored graph.
void DSManagedObjectContext::revert(const std::vector<ObjectChange> &changes)
{
    std::vector<DSManagedObject *> left, revived;
    {
        ChangeBatch batch(this);
        for (auto c = changes.rbegin(); c != changes.rend(); ++c) {
            for (auto p = c->changes.rbegin(); p != c->changes.rend(); ++p)
                c->object->restoreValue(p->property, p->oldValue);
            if (c->wasLive != c->isLive) {
                setLive(c->object, c->wasLive);
                (c->wasLive ? revived : left).push_back(c->object);
            }
        }
    }
    for (DSManagedObject *o : left)
        if (!o->hasFlag(DSManagedObject::Fault))
            turnIntoFault(o);
    for (DSManagedObject *o : revived)
        if (o->hasFlag(DSManagedObject::Fault)) {
            o->setFlag(DSManagedObject::Fault, false);
            o->awakeFromFetch();
        }
}

void DSManagedObjectContext::turnIntoFault(DSManagedObject *object)
{
    object->setFlag(DSManagedObject::Fault, true);
    object->didTurnIntoFault();
}

bool DSManagedObjectContext::addPersistentStore(const QString &path, const DSStoreOptions &options, DSStoreError *error)
{
    if (m_store)
        return ds_store_fail(error, DSStoreError::InvalidArgument, QStringLiteral("The context already has a store"));
    if (!QFileInfo::exists(path)) {
        if (options.readOnly)
            return ds_store_fail(error, DSStoreError::StoreNotFound,
                                 QStringLiteral("There is no store “%1” to open read-only").arg(QFileInfo(path).fileName()));
        m_store = DSPersistentStore::newFile(path, options, sharedModel(), identifier());
        return true;
    }
    if (!m_objectsByRoot.isEmpty())
        return ds_store_fail(error, DSStoreError::InvalidArgument,
                             QStringLiteral("A store file can only be loaded into a context that holds no objects"));
    std::unique_ptr<DSPersistentStore> store = DSPersistentStore::openFile(path, options, sharedModel(), error);
    if (!store)
        return false;
    setIdentifier(store->identifier());
    m_lastNumber.clear();
    if (!store->load(this, error))
        return false;
    m_store = std::move(store);
    return true;
}

bool DSManagedObjectContext::migratePersistentStore(const QString &newPath, DSStoreError *error)
{
    if (!m_store)
        return ds_store_fail(error, DSStoreError::StoreNotFound, QStringLiteral("The context has no store to move"));
    return m_store->copyTo(newPath, error);
}

bool DSManagedObjectContext::setPersistentStorePath(const QString &newPath, DSStoreError *error)
{
    if (!m_store)
        return ds_store_fail(error, DSStoreError::StoreNotFound, QStringLiteral("The context has no store"));
    return m_store->setPath(newPath, error);
}

bool DSManagedObjectContext::removePersistentStore(DSStoreError *error)
{
    if (!m_store)
        return ds_store_fail(error, DSStoreError::StoreNotFound, QStringLiteral("The context has no store to remove"));
    reset();
    m_store.reset();
    return true;
}

void DSManagedObjectContext::reset()
{
    for (const PendingEntry &e : m_pending)
        e.object->m_pendingIndex = -1;
    m_pending.clear();
    m_notifications.clear();
    m_observers.clear();
    if (m_undoManager)
        m_undoManager->removeAllActions();
    for (const auto &object : ownedObjects()) {
        if (!object->hasFlag(DSManagedObject::Fault))
            turnIntoFault(object.get());
        object->setFlag(DSManagedObject::Live, false);
        object->setFlag(DSManagedObject::Persisted, false);
        object->setFlag(DSManagedObject::Unsaved, false);
    }
    m_objectsByRoot.clear();
    m_byNumber.clear();
    m_unsaved.clear();
}

bool DSManagedObjectContext::prepareForSave(DSStoreError *error)
{
    DSObjectList live;
    for (DSManagedObject *o : m_unsaved)
        if (o->hasFlag(DSManagedObject::Live) && !o->hasFlag(DSManagedObject::Fault) && o->needsSavePreparation())
            live.append(o);
    std::vector<char> prepared(size_t(live.size()), 0);
    ds_dispatch_apply(uint64_t(live.size()), [&](uint64_t i) { prepared[i] = live[qsizetype(i)]->prepareForSave(); });
    if (std::find(prepared.begin(), prepared.end(), 0) != prepared.end()) {
        for (DSManagedObject *o : live)
            o->discardSavePreparation();
        return ds_store_fail(error, DSStoreError::SaveFailed,
                             QStringLiteral("Could not save “%1”: an edited column could not be compressed")
                                 .arg(QFileInfo(m_store->path()).fileName()));
    }
    // What the objects store now is what the file will hold, not a step to undo.
    if (m_undoManager)
        m_undoManager->disableUndoRegistration();
    for (DSManagedObject *o : live)
        o->commitSavePreparation();
    processPendingChanges();
    if (m_undoManager)
        m_undoManager->enableUndoRegistration();
    return true;
}

bool DSManagedObjectContext::save(DSStoreError *error)
{
    processPendingChanges();
    if (!m_store)
        return ds_store_fail(error, DSStoreError::StoreNotFound, QStringLiteral("The context has no store to save into"));
    if (m_store->isReadOnly())
        return ds_store_fail(error, DSStoreError::ReadOnlyStore,
                             QStringLiteral("Could not save “%1”: the store is read-only").arg(QFileInfo(m_store->path()).fileName()));
    if (m_unsaved.isEmpty() && m_store->hasFile())
        return true;
    if (!prepareForSave(error))
        return false;
    for (DSManagedObject *o : DSObjectList(m_unsaved))
        if (!o->hasFlag(DSManagedObject::Fault))
            o->willSave();
    processPendingChanges();

    DSPersistentStore::Changes changes;
    for (DSManagedObject *o : m_unsaved) {
        const bool live = o->hasFlag(DSManagedObject::Live), persisted = o->hasFlag(DSManagedObject::Persisted);
        if (live)
            (persisted ? changes.updated : changes.inserted).append(o);
        else if (persisted)
            changes.deleted.append(o);
    }
    // A saved deletion removes the row undo would need: what is still in the
    // file comes into memory first.
    if (m_undoManager)
        for (DSManagedObject *o : changes.deleted)
            for (const DSAttributeDescription *a : o->m_entity->attributes())
                o->loadedAttribute(a);
    for (auto it = m_lastNumber.cbegin(); it != m_lastNumber.cend(); ++it)
        changes.lastNumbers.insert(it.key(), it.value());
    if (!m_store->save(changes, error))
        return false;

    const DSObjectList saved = std::move(m_unsaved);
    m_unsaved.clear();
    for (DSManagedObject *o : saved) {
        const bool live = o->hasFlag(DSManagedObject::Live);
        o->setFlag(DSManagedObject::Persisted, live);
        o->setFlag(DSManagedObject::Unsaved, false);
        o->m_unsavedProperties.clear();
        if (!live && !o->hasFlag(DSManagedObject::Fault))
            turnIntoFault(o);
    }
    Q_EMIT didSave();
    return true;
}
