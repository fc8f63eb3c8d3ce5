#include "platform/store/DSMigrationManager.h"

#include "platform/store/DSEntityDescription.h"
#include "platform/store/DSEntityMigrationPolicy.h"
#include "platform/store/DSManagedObjectContext.h"
#include "platform/store/DSManagedObjectModel.h"
#include "platform/store/DSPersistentStore.h"
#include "platform/store/DSUndoManager.h"

#include <QFileInfo>

DSMigrationManager::DSMigrationManager(std::shared_ptr<const DSManagedObjectModel> sourceModel,
                                       std::shared_ptr<const DSManagedObjectModel> destinationModel)
    : m_sourceModel(std::move(sourceModel)), m_destinationModel(std::move(destinationModel))
{
}

DSMigrationManager::~DSMigrationManager()
{
    // Destination objects may point at nothing of the source, but policies'
    // hooks may; the destination goes first.
    m_destination.reset();
    m_source.reset();
}

bool DSMigrationManager::checkMapping(const DSEntityMapping &mapping, DSStoreError *error) const
{
    const DSEntityDescription *source = m_sourceModel->entityNamed(mapping.sourceEntityName);
    const DSEntityDescription *destination = m_destinationModel->entityNamed(mapping.destinationEntityName);
    QString why;
    if (!source && !mapping.sourceExpression)
        why = QStringLiteral("the source model has no entity “%1”").arg(mapping.sourceEntityName);
    else if (source && !mapping.sourceEntityVersionHash.isEmpty() && source->versionHash() != mapping.sourceEntityVersionHash)
        why = QStringLiteral("it expects another version of the source entity “%1”").arg(mapping.sourceEntityName);
    else if (!destination)
        why = QStringLiteral("the destination model has no entity “%1”").arg(mapping.destinationEntityName);
    else if (!mapping.destinationEntityVersionHash.isEmpty() && destination->versionHash() != mapping.destinationEntityVersionHash)
        why = QStringLiteral("it expects another version of the destination entity “%1”").arg(mapping.destinationEntityName);
    return why.isEmpty()
           || ds_store_fail(error, DSStoreError::MigrationFailed, QStringLiteral("The mapping “%1” cannot run: %2").arg(mapping.name, why));
}

bool DSMigrationManager::migrateStore(const QString &sourcePath, const DSStoreOptions &sourceOptions,
                                      const DSMappingModel &mapping, const QString &destinationPath,
                                      const DSStoreOptions &destinationOptions, DSStoreError *error)
{
    m_destination.reset();
    m_source.reset();
    m_associations.clear();
    m_current = nullptr;
    if (QFileInfo::exists(destinationPath))
        return ds_store_fail(error, DSStoreError::MigrationFailed,
                             QStringLiteral("Could not migrate into “%1”: the file exists already").arg(QFileInfo(destinationPath).fileName()));
    for (const DSEntityMapping &m : mapping.entityMappings)
        if (!checkMapping(m, error))
            return false;

    std::vector<std::unique_ptr<DSEntityMigrationPolicy>> policies;
    for (const DSEntityMapping &m : mapping.entityMappings) {
        policies.push_back(DSEntityMigrationPolicy::createPolicy(m.entityMigrationPolicyClassName));
        if (!policies.back())
            return ds_store_fail(error, DSStoreError::MigrationFailed,
                                 QStringLiteral("No migration policy is named “%1”").arg(m.entityMigrationPolicyClassName));
    }

    m_source = std::make_unique<DSManagedObjectContext>(m_sourceModel);
    m_source->setUndoManager(nullptr);
    DSStoreOptions readOptions = sourceOptions;
    readOptions.readOnly = true;
    readOptions.ignoreVersioning = true;
    if (!m_source->addPersistentStore(sourcePath, readOptions, error))
        return false;
    m_destination = std::make_unique<DSManagedObjectContext>(m_destinationModel);
    m_destination->setUndoManager(nullptr);

    auto failed = [&](const DSEntityMapping &m, const QString &what) {
        m_current = nullptr;
        if (error && !error->isError())
            *error = DSStoreError(DSStoreError::MigrationFailed,
                                  QStringLiteral("The migration policy of “%1” failed %2").arg(m.name, what));
        return false;
    };
    if (error)
        *error = DSStoreError();
    for (size_t i = 0; i < policies.size(); ++i) {
        const DSEntityMapping &m = mapping.entityMappings[qsizetype(i)];
        m_current = &m;
        if (!policies[i]->beginEntityMapping(m, *this, error))
            return failed(m, QStringLiteral("to begin"));
        const DSObjectList sources = m.sourceExpression ? m.sourceExpression(*this) : m_source->objectsOfEntity(m.sourceEntityName);
        for (DSManagedObject *s : sources)
            if (!policies[i]->createDestinationInstancesForSourceInstance(s, m, *this, error))
                return failed(m, QStringLiteral("for %1").arg(s->uri().toString()));
    }
    for (size_t i = 0; i < policies.size(); ++i) {
        const DSEntityMapping &m = mapping.entityMappings[qsizetype(i)];
        m_current = &m;
        for (DSManagedObject *d : m_associations.value(m.name).destinations)
            if (!policies[i]->createRelationshipsForDestinationInstance(d, m, *this, error))
                return failed(m, QStringLiteral("for %1").arg(d->uri().toString()));
        if (!policies[i]->endEntityMapping(m, *this, error))
            return failed(m, QStringLiteral("to end"));
    }
    m_current = nullptr;
    m_destination->processPendingChanges();
    return m_destination->addPersistentStore(destinationPath, destinationOptions, error) && m_destination->save(error);
}

void DSMigrationManager::associateSourceInstance(DSManagedObject *source, DSManagedObject *destination,
                                                 const DSEntityMapping &mapping)
{
    Associations &a = m_associations[mapping.name];
    if (!a.byDestination.contains(destination))
        a.destinations.append(destination);
    a.bySource[source].append(destination);
    a.byDestination[destination].append(source);
}

DSObjectList DSMigrationManager::associated(const QString &mappingName, const DSObjectList &objects, bool fromSources) const
{
    DSObjectList result;
    const auto found = m_associations.constFind(mappingName);
    if (found != m_associations.constEnd())
        for (DSManagedObject *o : objects)
            result += (fromSources ? found->bySource : found->byDestination).value(o);
    return result;
}

DSObjectList DSMigrationManager::destinationInstancesForEntityMappingNamed(const QString &mappingName,
                                                                          const DSObjectList &sources) const
{
    return associated(mappingName, sources, true);
}

DSObjectList DSMigrationManager::sourceInstancesForEntityMappingNamed(const QString &mappingName,
                                                                     const DSObjectList &destinations) const
{
    return associated(mappingName, destinations, false);
}
