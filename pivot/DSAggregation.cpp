#include "pivot/DSAggregation.h"

#include "model/DSColumnCategory.h"
#include "model/DSColumnSummary.h"
#include "model/DSDate.h"
#include "model/DSNumberFormatter.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSStatDocument.h"
#include "model/DSTable.h"
#include "model/DSTextFormatter.h"
#include "pivot/DSAggregationInput.h"
#include "pivot/DSPivot.h"
#include "platform/store/DSManagedObjectContext.h"
#include "platform/store/DSManagedObjectModel.h"

#include <QDebug>

#include <algorithm>
#include <cmath>

namespace {

const QString k_inputs = QStringLiteral("inputs");
const QString k_numberFormatter = QStringLiteral("number_formatter");

} // namespace

DSTable *DSAggregation::table() const
{
    return ds_object_cast<DSTable>(objectForKey(QStringLiteral("table")));
}

DSNumberFormatter *DSAggregation::number_formatter() const
{
    return ds_object_cast<DSNumberFormatter>(objectForKey(k_numberFormatter));
}

DSObjectList DSAggregation::managedObjectDependencies()
{
    DSObjectList dependencies = DSManagedObject::managedObjectDependencies();
    if (DSManagedObject *formatter = objectForKey(k_numberFormatter))
        dependencies += formatter->managedObjectDependencies();
    for (DSManagedObject *input : objectsForKey(k_inputs))
        dependencies += input->managedObjectDependencies();
    return dependencies;
}

void DSAggregation::awakeFromInsert()
{
    DSManagedObject::awakeFromInsert();
    if (!isOfCurrentStore())
        return;
    setupNumberFormatter();
    m_insertedFormatter = objectForKey(k_numberFormatter);
}

bool DSAggregation::isOfCurrentStore() const
{
    const DSManagedObjectContext *context = managedObjectContext();
    return context && context->model().version() == DSStatDocument::storeModels().size();
}

void DSAggregation::decodeAttributes(const QCborMap &dictionary)
{
    DSManagedObject::decodeAttributes(dictionary);
    // The relationships come next: let the copy's own formatter in.
    if (dictionary.contains(k_numberFormatter) && m_insertedFormatter &&
        objectForKey(k_numberFormatter) == m_insertedFormatter)
        setObject(nullptr, k_numberFormatter);
    dropInsertedFormatter();
}

void DSAggregation::setValue(const QVariant &value, const QString &key)
{
    DSManagedObject::setValue(value, key);
    if (key == k_numberFormatter)
        dropInsertedFormatter();
}

void DSAggregation::dropInsertedFormatter()
{
    DSManagedObject *made = m_insertedFormatter;
    m_insertedFormatter = nullptr;
    if (!made || objectForKey(k_numberFormatter) == made)
        return;
    if (DSManagedObjectContext *context = managedObjectContext())
        context->deleteObject(made);
}

void DSAggregation::awakeFromFetch()
{
    DSManagedObject::awakeFromFetch();
    if (isOfCurrentStore())
        setupNumberFormatter();
}

void DSAggregation::didTurnIntoFault()
{
    m_summary.reset();
    DSManagedObject::didTurnIntoFault();
}

void DSAggregation::setupNumberFormatter()
{
    if (objectForKey(k_numberFormatter))
        return;
    if (DSManagedObject *formatter = insertNewObjectOfEntity(QStringLiteral("DSNumberFormatter")))
        setObject(formatter, k_numberFormatter);
}

void DSAggregation::prepareForDeletion()
{
    if (DSTable *owner = table()) {
        const qint64 at = index();
        if (owner->aggregationAtIndex(at) == this)
            owner->removeAggregationFromIndex(at);
        for (DSManagedObject *object : owner->sortedPivots())
            if (auto *pivot = ds_object_cast<DSPivot>(object); pivot && pivot->sort_by_aggregation() == this)
                pivot->setSort_by_aggregation(nullptr);
        owner->removeObject(this, QStringLiteral("aggregations"));
    }
    DSManagedObject::prepareForDeletion();
}

DSAggregationInput *DSAggregation::inputAtIndex(qint64 i) const
{
    for (DSManagedObject *object : objectsForKey(k_inputs))
        if (auto *input = ds_object_cast<DSAggregationInput>(object); input && input->index() == i)
            return input;
    return nullptr;
}

DSAggregation *DSAggregation::inputAggregationAtIndex(qint64 i) const
{
    DSAggregationInput *input = inputAtIndex(i);
    return input ? input->aggregation() : nullptr;
}

DSAggregationInput *DSAggregation::addInputAggregation(DSAggregation *source)
{
    auto *input = ds_object_cast<DSAggregationInput>(insertNewObjectOfEntity(QStringLiteral("DSAggregationInput")));
    if (!input)
        return nullptr;
    input->setAggregation(source);
    input->setIndex(objectsForKey(k_inputs).size());
    input->setOwner(this);
    return input;
}

QList<DSAggregationInput *> DSAggregation::sortedInputs() const
{
    QList<DSAggregationInput *> inputs = ds_objects_cast<DSAggregationInput>(objectsForKey(k_inputs));
    std::stable_sort(inputs.begin(), inputs.end(),
                     [](const DSAggregationInput *a, const DSAggregationInput *b) { return a->index() < b->index(); });
    return inputs;
}

void DSAggregation::recomputeValuesByIndex(const int32_t *, int64_t, int64_t, const int32_t *, const uint8_t *, int64_t)
{
}

double DSAggregation::doubleValueAtIndex(int64_t g, int64_t c)
{
    return c == -1 ? doubleValueAtIndex(g) : NAN;
}

QString DSAggregation::formattedStringAtIndex(int64_t g)
{
    const QString text = stringValueAtIndex(g);
    DSTextFormatter *formatter = textFormatter();
    return formatter && !text.isNull() ? formatter->formatString(text) : text;
}

QString DSAggregation::headerNameForCategory(const DSColumnCategory &category) const
{
    return category.label();
}

QString DSAggregation::symbolicNameForCategory(const DSColumnCategory &category) const
{
    return category.label();
}

std::optional<DSDate> DSAggregation::dateValueAtIndex(int64_t)
{
    return std::nullopt;
}

QList<DSColumn *> DSAggregation::insertDataTablesForPivot(DSPivot *, DSManagedObjectContext *)
{
    return {};
}

DSColumn *DSAggregation::exportNumbers(DSPivot *pivot, DSManagedObjectContext *context, const QString &name,
                                       const std::function<double(int64_t)> &value)
{
    auto *column = context->insertNewObject<DSNumericDataColumn>(QStringLiteral("DSNumericDataColumn"));
    if (!column)
        return nullptr;
    const int64_t rows = pivot->numberOfRows();
    for (int64_t r = 0; r < rows; ++r)
        if (!column->appendValue(value(pivot->convertRowToValueIndex(r)))) {
            qWarning() << "Pivot export: no memory for the values of" << name;
            break;
        }
    if (!column->save())
        qWarning() << "Pivot export: the values of" << name << "could not be stored";
    column->setName(name);
    return column;
}

void DSAggregation::takeNumberFormat(DSColumn *column)
{
    column->makeDependencies();
    auto *exported = ds_object_cast<DSNumericDataColumn>(column);
    DSNumberFormatter *format = numberFormatter();
    if (exported && format && exported->number_formatter())
        exported->number_formatter()->decodeAttributes(format->encodedManagedObject());
}
