#include "regression/DSRegressionModel.h"

#include "model/DSTable.h"
#include "model/DSUserDefaults.h"

namespace {

const QString k_outcomes = QStringLiteral("outcome_variables");
const QString k_explanatory = QStringLiteral("explanatory_variables");
const QString k_predictions = QStringLiteral("predictions");

// The copy's member of a relationship at the index of the source's member.
DSManagedObject *counterpart(const DSManagedObject *copy, const QString &key, const DSManagedObject *sourceMember)
{
    if (!sourceMember)
        return nullptr;
    return DSTable::indexedObjectInSet(copy->objectsForKey(key), sourceMember->integerForKey(QStringLiteral("index")));
}

} // namespace

void DSRegressionModel::awakeFromInsert()
{
    DSManagedObject::awakeFromInsert();
    const DSUserDefaults &defaults = DSUserDefaults::standardUserDefaults();
    for (const QString &key : {QStringLiteral("outcome_table_column_mask"), QStringLiteral("explanatory_table_column_mask")})
        setPrimitiveValue(qlonglong(defaults.integerForKey(key)), key);
}

void DSRegressionModel::didTurnIntoFault()
{
    m_activeOutcome = m_activeExplanatory = m_activePrediction = m_activeInstrument = nullptr;
    DSManagedObject::didTurnIntoFault();
}

DSObjectList DSRegressionModel::managedObjectDependencies()
{
    DSObjectList dependencies = DSManagedObject::managedObjectDependencies();
    for (const QString &key : {k_outcomes, k_explanatory, k_predictions})
        for (DSManagedObject *member : objectsForKey(key))
            dependencies += member->managedObjectDependencies();
    return dependencies;
}

void DSRegressionModel::transferTransientRelationshipsFromObject(DSManagedObject *source)
{
    if (auto *model = ds_object_cast<DSRegressionModel>(source)) {
        if (DSManagedObject *variable = counterpart(this, k_explanatory, model->active_explanatory_variable()))
            m_activeExplanatory = variable;
        if (DSManagedObject *outcome = counterpart(this, k_outcomes, model->active_outcome()))
            m_activeOutcome = outcome;
        if (DSManagedObject *prediction = counterpart(this, k_predictions, model->active_prediction()))
            m_activePrediction = prediction;
    }
    DSManagedObject::transferTransientRelationshipsFromObject(source);
}

bool DSRegressionModel::runRegressionIfNeededForMask(const uint8_t *, qint64, VRWContext_s *, DSError *error)
{
    if (!m_needsRegression)
        return true;
    if (!objectsForKey(k_outcomes).isEmpty()) {
        if (error)
            *error = ds_make_error(1, QStringLiteral("Error during regression"));
        return false;
    }
    m_needsRegression = false;
    return true;
}
