#include "regression/DSOutcomeVariable.h"

#include "model/DSNumericColumn.h"
#include "platform/store/DSEntityDescription.h"

namespace {

const QString k_relations = QStringLiteral("column_relations");
const QString k_tag = QStringLiteral("tag");
const QString k_column = QStringLiteral("column");

} // namespace

DSManagedObject *DSOutcomeVariable::relationWithTag(qint64 tag) const
{
    if (!entity()->relationshipNamed(k_relations))
        return nullptr;
    for (DSManagedObject *relation : objectsForKey(k_relations))
        if (relation->integerForKey(k_tag) == tag)
            return relation;
    return nullptr;
}

void DSOutcomeVariable::setColumnWithTag(qint64 tag, bool appliedWhenNew, DSColumn *column)
{
    if (!entity()->relationshipNamed(k_relations))
        return;
    DSManagedObject *relation = relationWithTag(tag);
    if (!relation) {
        relation = insertNewObjectOfEntity(QStringLiteral("DSOutcomeColumnRelation"));
        if (!relation)
            return;
        relation->setPrimitiveValue(qlonglong(tag), k_tag);
        relation->setPrimitiveValue(appliedWhenNew, QStringLiteral("is_applied"));
        relation->setObject(this, QStringLiteral("owner"));
    }
    relation->setObject(column, k_column);
}

DSNumericColumn *DSOutcomeVariable::weight_column() const
{
    const DSManagedObject *relation = relationWithTag(0);
    return relation ? ds_object_cast<DSNumericColumn>(relation->objectForKey(k_column)) : nullptr;
}

void DSOutcomeVariable::setWeight_column(DSNumericColumn *column)
{
    setColumnWithTag(0, false, column);
}

DSNumericColumn *DSOutcomeVariable::exposure_column() const
{
    const DSManagedObject *relation = relationWithTag(1);
    return relation ? ds_object_cast<DSNumericColumn>(relation->objectForKey(k_column)) : nullptr;
}

void DSOutcomeVariable::setExposure_column(DSNumericColumn *column)
{
    setColumnWithTag(1, true, column);
}
