#pragma once

#include "platform/store/DSManagedObject.h"
#include "platform/store/DSMappingModel.h"
#include "platform/store/DSStoreError.h"

#include <QHash>

#include <memory>

class DSManagedObjectContext;
class DSManagedObjectModel;
struct DSStoreOptions;

// Moves a store from one model version to the next: the source file is
// loaded read-only into a source context under the older model, policies
// fill a destination context under the newer model, and the destination is
// saved as a new file (written under a side name and renamed into place, so
// a failed migration leaves no file behind). The source file is never
// written.
class DSMigrationManager
{
public:
    DSMigrationManager(std::shared_ptr<const DSManagedObjectModel> sourceModel,
                       std::shared_ptr<const DSManagedObjectModel> destinationModel);
    ~DSMigrationManager();
    DSMigrationManager(const DSMigrationManager &) = delete;
    DSMigrationManager &operator=(const DSMigrationManager &) = delete;

    const DSManagedObjectModel &sourceModel() const { return *m_sourceModel; }
    const DSManagedObjectModel &destinationModel() const { return *m_destinationModel; }

    // Runs the mapping model from the store at sourcePath (opened read-only,
    // its entity versions not checked against the source model) into a new
    // store at destinationPath, which must not exist yet. Answers false with
    // the error of the step that failed.
    bool migrateStore(const QString &sourcePath, const DSStoreOptions &sourceOptions, const DSMappingModel &mapping,
                      const QString &destinationPath, const DSStoreOptions &destinationOptions,
                      DSStoreError *error = nullptr);

    // The contexts of the last migration; they stay until the next one or
    // the manager's end. Null before the first.
    DSManagedObjectContext *sourceContext() const { return m_source.get(); }
    DSManagedObjectContext *destinationContext() const { return m_destination.get(); }
    // The mapping being run, during a migration.
    const DSEntityMapping *currentEntityMapping() const { return m_current; }

    // Records that a destination object was made from a source object.
    void associateSourceInstance(DSManagedObject *source, DSManagedObject *destination, const DSEntityMapping &mapping);
    // The destination objects associated with the given sources under a
    // mapping, in association order.
    DSObjectList destinationInstancesForEntityMappingNamed(const QString &mappingName, const DSObjectList &sources) const;
    DSObjectList sourceInstancesForEntityMappingNamed(const QString &mappingName, const DSObjectList &destinations) const;

private:
    struct Associations {
        DSObjectList destinations; // in association order
        QHash<DSManagedObject *, DSObjectList> bySource;
        QHash<DSManagedObject *, DSObjectList> byDestination;
    };

    bool checkMapping(const DSEntityMapping &mapping, DSStoreError *error) const;
    DSObjectList associated(const QString &mappingName, const DSObjectList &objects, bool fromSources) const;

    std::shared_ptr<const DSManagedObjectModel> m_sourceModel;
    std::shared_ptr<const DSManagedObjectModel> m_destinationModel;
    std::unique_ptr<DSManagedObjectContext> m_source;
    std::unique_ptr<DSManagedObjectContext> m_destination;
    const DSEntityMapping *m_current = nullptr;
    QHash<QString, Associations> m_associations;
};
