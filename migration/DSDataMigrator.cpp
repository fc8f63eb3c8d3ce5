#include "migration/DSDataMigrator.h"

#include "migration/DSMigrationGraph.h"
#include "platform/store/DSAttributeDescription.h"
#include "platform/store/DSEntityDescription.h"
#include "platform/store/DSManagedObjectContext.h"
#include "platform/store/DSManagedObjectModel.h"
#include "platform/store/DSMigrationManager.h"

void DSDataMigrator::transferAttributesOfObject(DSManagedObject *source, DSManagedObject *destination)
{
    for (const DSAttributeDescription *attribute : source->entity()->attributes()) {
        const QVariant value = source->valueForKey(attribute->name());
        if (!value.isNull() && destination->entity()->attributeNamed(attribute->name()))
            destination->setValue(value, attribute->name());
    }
}

bool DSDataMigrator::migrateRoot(DSManagedObject *sourceRoot, const DSEntityMapping &mapping,
                                 DSMigrationManager &manager, DSStoreError *error, const GraphBuilder &build)
{
    DSMigrationGraph graph(manager.destinationContext());
    DSManagedObject *newRoot = graph.insert(QStringLiteral("DSDataRoot"));
    if (newRoot)
        DSMigrationGraph::set(newRoot, QStringLiteral("tables"),
                              build(graph, sourceRoot->objectsForKey(QStringLiteral("tables")), newRoot));
    if (graph.failed())
        return ds_store_fail(error, DSStoreError::MigrationFailed,
                             QStringLiteral("The document could not be brought up to store version %1: %2.")
                                 .arg(manager.destinationModel().version())
                                 .arg(graph.failure()));
    manager.associateSourceInstance(sourceRoot, newRoot, mapping);
    return true;
}
