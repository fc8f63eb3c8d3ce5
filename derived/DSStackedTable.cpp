#include "derived/DSStackedTable.h"

#include "model/ds_row_mask.h"
#include "platform/store/DSManagedObjectContext.h"

#include <algorithm>

namespace {

const QString k_inputs = QStringLiteral("inputs");
const QString k_table = QStringLiteral("table");

} // namespace

DSStackedTable::~DSStackedTable()
{
    m_inputs.stop();
}

qint64 DSStackedTable::num_records() const
{
    qint64 n = 0;
    for (const DSTable *table : sortedInputTables())
        n += std::max<qint64>(table->num_records(), 0);
    return n;
}

QList<DSTable *> DSStackedTable::sortedInputTables() const
{
    QList<DSTable *> tables;
    for (DSManagedObject *link : objectsForKey(k_inputs))
        if (auto *table = ds_object_cast<DSTable>(link->objectForKey(k_table)))
            tables << table;
    std::stable_sort(tables.begin(), tables.end(), [](const DSTable *a, const DSTable *b) { return a->index() < b->index(); });
    return tables;
}

DSTable *DSStackedTable::inputTableAtIndex(qint64 position) const
{
    const QList<DSTable *> tables = sortedInputTables();
    return position >= 0 && position < tables.size() ? tables[position] : nullptr;
}

bool DSStackedTable::containsInputTable(const DSTable *table) const
{
    const DSObjectList links = objectsForKey(k_inputs);
    return std::any_of(links.begin(), links.end(),
                       [table](DSManagedObject *link) { return table && link->objectForKey(k_table) == table; });
}

void DSStackedTable::addInputTable(DSTable *table)
{
    DSTable::addInputTable(table);
    purgeColumns();
}

void DSStackedTable::removeInputTable(DSTable *table)
{
    const DSObjectList links = objectsForKey(k_inputs);
    const auto found = std::find_if(links.begin(), links.end(),
                                    [table](DSManagedObject *link) { return table && link->objectForKey(k_table) == table; });
    if (found == links.end())
        return;
    for (DSColumn *column : columns())
        while (DSColumn *input = column->inputColumnForTable(table))
            column->removeInputColumn(input);
    removeObject(*found, k_inputs);
    if (DSManagedObjectContext *context = managedObjectContext())
        context->deleteObject(*found);
    purgeColumns();
}

bool DSStackedTable::isFrequencyWeighted() const
{
    return anyInputIsWeighted() || DSTable::isFrequencyWeighted();
}

bool DSStackedTable::anyInputIsWeighted() const
{
    const QList<DSTable *> tables = sortedInputTables();
    return std::any_of(tables.begin(), tables.end(), [](const DSTable *t) { return t->isFrequencyWeighted(); });
}

qint64 DSStackedTable::getFrequencyWeights(const int32_t **out)
{
    if (!anyInputIsWeighted())
        return DSTable::getFrequencyWeights(out);
    m_stackedWeights.clear();
    for (DSTable *table : sortedInputTables()) {
        const qint64 n = std::max<qint64>(table->num_records(), 0);
        const int32_t *weights = nullptr;
        const qint64 count = table->getFrequencyWeights(&weights);
        if (weights && count == n)
            m_stackedWeights.insert(m_stackedWeights.end(), weights, weights + n);
        else
            m_stackedWeights.insert(m_stackedWeights.end(), size_t(n), 1);
    }
    if (out)
        *out = m_stackedWeights.empty() ? nullptr : m_stackedWeights.data();
    return qint64(m_stackedWeights.size());
}

QList<DSStackedTable::Part> DSStackedTable::partsOfRange(qint64 offset, qint64 count) const
{
    QList<Part> parts;
    qint64 start = 0;
    for (DSTable *table : sortedInputTables()) {
        const qint64 n = std::max<qint64>(table->num_records(), 0);
        const qint64 begin = std::max(offset, start), end = std::min(offset + count, start + n);
        if (begin < end)
            parts << Part{table, begin - start, begin - offset, end - begin};
        start += n;
    }
    return parts;
}

void DSStackedTable::markMissingRows(uint8_t *mask, qint64 offset, qint64 count,
                                     const std::function<DSColumn *(const DSTable *)> &inputOf) const
{
    for (const Part &part : partsOfRange(offset, count)) {
        DSColumn *input = inputOf(part.table);
        const qint64 row = offset + part.position;
        const uint8_t *theirs = nullptr;
        const qint64 length = input ? input->getMissingMask(&theirs, part.first, part.rows) : 0;
        for (qint64 i = 0; i < part.rows; ++i) {
            const qint64 r = part.first + i;
            if (!input || (theirs && r / 8 < length && ds_mask_test(theirs, r)))
                ds_mask_set(mask, row + i);
        }
    }
}

QList<DSStackedTable::Source> DSStackedTable::sources(const InputOf &inputOf) const
{
    QList<Source> found;
    for (DSTable *table : sortedInputTables())
        if (const qint64 rows = table->num_records(); rows > 0)
            found << Source{table, inputOf(table), rows};
    return found;
}

QList<DSColumn *> DSStackedTable::inputColumnsInRowOrder(const DSColumn *column)
{
    QList<DSColumn *> inputs;
    const auto *stacked = dynamic_cast<const DSStackedTable *>(column->table());
    for (DSTable *table : stacked ? stacked->sortedInputTables() : QList<DSTable *>())
        if (DSColumn *input = column->inputColumnForTable(table))
            inputs << input;
    return inputs;
}

bool DSStackedTable::inputsCoverTheirRows(const QList<Source> &sources,
                                          const std::function<qint64(DSColumn *)> &delivered)
{
    return std::all_of(sources.begin(), sources.end(),
                       [&](const Source &s) { return !s.input || delivered(s.input) == s.rows; });
}

bool DSStackedTable::weighsAsInputs(const DSColumn *column, const QList<Source> &sources) const
{
    if (weighsByOwnSettings() || (column->apply_missing_values_predicate() && column->missing_values_predicate()))
        return false;
    return std::none_of(sources.begin(), sources.end(), [](const Source &s) {
        return s.input && s.input == s.table->frequency_weights_column();
    });
}

qint64 DSStackedTable::weightWithoutInput(const QList<Source> &sources)
{
    qint64 total = 0;
    const bool weighted = anyInputIsWeighted();
    for (const Source &s : sources) {
        if (s.input)
            continue;
        const int32_t *weights = nullptr;
        const qint64 counted = weighted ? s.table->getFrequencyWeights(&weights) : 0;
        if (!weights || counted != s.rows) {
            total += s.rows;
            continue;
        }
        for (qint64 r = 0; r < s.rows; ++r)
            total += weights[r];
    }
    return total;
}

void DSStackedTable::awakeFromInsert()
{
    DSTable::awakeFromInsert();
    observeInputs();
}

void DSStackedTable::awakeFromFetch()
{
    DSTable::awakeFromFetch();
    observeInputs();
}

void DSStackedTable::didTurnIntoFault()
{
    m_inputs.stop();
    DSTable::didTurnIntoFault();
}

void DSStackedTable::purgeColumns()
{
    for (DSColumn *column : columns())
        column->recursivePurge();
}

void DSStackedTable::observeInputs()
{
    m_inputs.start(this, {k_inputs}, [this] { purgeColumns(); });
}
