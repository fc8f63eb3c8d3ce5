#pragma once

#include "platform/store/DSEntityMigrationPolicy.h"
#include "platform/store/DSObjectSet.h"

#include <functional>

class DSMigrationGraph;

// The base of the store-version steps ("DSDataMigrator002" onwards). A step
// runs once, with the source store's root, and rebuilds the whole graph by
// hand in the migration manager's destination context: it makes every
// destination object itself and sets every reference itself.
class DSDataMigrator : public DSEntityMigrationPolicy
{
public:
    // Copies, by key, every attribute of source's entity whose value is set
    // and that destination's entity also has: the same value, unconverted.
    // A nil source value leaves the destination's default; relationships are
    // never copied.
    static void transferAttributesOfObject(DSManagedObject *source, DSManagedObject *destination);

protected:
    // Makes the new tables, with everything below them, from the source
    // root's tables, and answers them.
    using GraphBuilder =
        std::function<DSObjectList(DSMigrationGraph &graph, const DSObjectList &sourceTables, DSManagedObject *newRoot)>;

    // The frame every step shares: a new root in the destination context,
    // build() over an empty object map, the new root's "tables" set to what
    // it made, then the association of the two roots. Answers NO with an error naming what the step could not map
    // when build() recorded a failure; the manager then writes no store.
    bool migrateRoot(DSManagedObject *sourceRoot, const DSEntityMapping &mapping, DSMigrationManager &manager,
                     DSStoreError *error, const GraphBuilder &build);
};
