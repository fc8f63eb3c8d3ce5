#pragma once

#include "platform/store/DSManagedObject.h"

class DSColumn;
class DSNumericColumn;

// One outcome of a regression model, as far as columns need it: the columns
// that play a role for the outcome live in its column relations
// ("DSOutcomeColumnRelation": tag, is_applied, column, owner; at most one
// per tag), tag 0 the weights and tag 1 the exposure.
//
// An entity model without column relations gives an outcome no role
// columns: the getters answer none and the setters change nothing.
class DSOutcomeVariable : public DSManagedObject
{
public:
    DSNumericColumn *weight_column() const;
    // Creates the tag-0 relation (not applied) when there is none.
    void setWeight_column(DSNumericColumn *column);
    DSNumericColumn *exposure_column() const;
    // Creates the tag-1 relation (applied) when there is none.
    void setExposure_column(DSNumericColumn *column);

    // Frees the weight, exposure, censoring, stratum and cause vectors so the
    // next fit loads them again. This build loads none.
    void unloadBuffers() {}

private:
    DSManagedObject *relationWithTag(qint64 tag) const;
    void setColumnWithTag(qint64 tag, bool appliedWhenNew, DSColumn *column);
};
