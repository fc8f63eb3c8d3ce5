#pragma once

#include "migration/DSDataMigrator.h"

#include <QByteArray>

// Store version 2 to 3: the stored values of numeric data columns widen
// from 4-byte to 8-byte reals, and an outcome's weight and exposure columns
// become column relations tagged by role (0 weights, 1 exposure). Every
// other object passes as a copy of itself with its references rewired.
//
// Refuses (NO with an error naming it) an aggregation without a number
// formatter and an object of an entity the new version lacks.
class DSDataMigrator003 : public DSDataMigrator
{
public:
    bool createDestinationInstancesForSourceInstance(DSManagedObject *sourceRoot, const DSEntityMapping &mapping,
                                                     DSMigrationManager &manager, DSStoreError *error) override;

    // The zlib stream of 8-byte little-endian reals made from the zlib
    // stream of 4-byte ones, each widened exactly (NaN stays NaN); trailing
    // bytes short of a whole value are dropped. Absent, empty or damaged
    // values give an empty array. Answers false only when deflating fails.
    static bool widenStoredValues(const QByteArray &stored, QByteArray *widened);
};
