// Copies through the object-graph encoding (duplicate in a document; paste
// of an archive, checked whole), column lookup by position, and the
// per-table row passes (frequency weights, complete-row mask) on a million
// rows.
#include "app/ds_register_model_classes.h"
#include "model/DSDataRoot.h"
#include "model/DSDataTable.h"
#include "model/DSNumericColumn.h"
#include "model/DSStatDocument.h"
#include "model/ds_application_defaults.h"
#include "platform/store/DSManagedObjectContext.h"
#include "platform/store/DSObjectFactory.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

namespace {

// Values held in memory, NaN for a missing row.
class BenchColumn : public DSNumericColumn
{
public:
    using DSNumericColumn::getValues;
    using DSColumn::getMissingMask;
    std::vector<double> values;
    std::vector<uint8_t> missing;

    qint64 getValues(const double **out, qint64 offset, qint64 limit) override
    {
        const qint64 count = std::max<qint64>(0, std::min<qint64>(limit, qint64(values.size()) - offset));
        *out = values.data() + offset;
        return count;
    }
    qint64 getMissingMask(const uint8_t **out, qint64, qint64) override
    {
        *out = missing.data();
        return qint64(missing.size());
    }
};

void setUp()
{
    static const bool done = [] {
        ds_register_application_defaults();
        ds_register_model_classes();
        DSObjectFactory::registerClass<BenchColumn>(QStringLiteral("DSNumericDataColumn"));
        return true;
    }();
    (void)done;
}

// A document whose active table has the given number of columns and rows.
std::unique_ptr<DSStatDocument> documentWith(qint64 columns, qint64 rows)
{
    setUp();
    auto document = std::make_unique<DSStatDocument>();
    document->initWithType(DSStatDocument::nativeType);
    auto *table = ds_object_cast<DSDataTable>(document->active_table());
    table->setNum_records(rows);
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> value(0, 10);
    QList<DSColumn *> made;
    for (qint64 c = 0; c < columns; ++c) {
        auto *column = document->managedObjectContext()->insertNewObject<BenchColumn>(QStringLiteral("DSNumericDataColumn"));
        column->setName(QStringLiteral("column %1").arg(c));
        column->values.resize(size_t(rows));
        column->missing.assign(size_t((rows + 7) / 8), 0);
        for (qint64 r = 0; r < rows; ++r) {
            const double v = std::floor(value(random));
            column->values[size_t(r)] = v == 0 ? NAN : v;
            if (v == 0)
                column->missing[size_t(r / 8)] |= uint8_t(1u << (r % 8));
        }
        made.append(column);
    }
    table->insertNewColumns(made, 0);
    document->managedObjectContext()->processPendingChanges();
    return document;
}

void BM_DuplicateTable(benchmark::State &state)
{
    auto document = documentWith(state.range(0), 0);
    DSDataRoot *root = document->data_root();
    DSTable *table = document->active_table();
    for (auto _ : state)
        benchmark::DoNotOptimize(root->duplicateManagedObject(table));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_DuplicateTable)->Arg(10)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond);

void BM_PasteCheckedArchive(benchmark::State &state)
{
    auto document = documentWith(state.range(0), 0);
    const QByteArray archive = DSDataRoot::archivedManagedObjectDependencies(document->active_table());
    DSDataRoot *root = document->data_root();
    for (auto _ : state)
        benchmark::DoNotOptimize(root->insertObjectsFromArchive(archive));
    state.SetBytesProcessed(state.iterations() * archive.size());
}
BENCHMARK(BM_PasteCheckedArchive)->Arg(10)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond);

void BM_ColumnAtIndex(benchmark::State &state)
{
    auto document = documentWith(5000, 0);
    DSTable *table = document->active_table();
    qint64 i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(table->columnAtIndex(i));
        i = (i + 2477) % 5000;
    }
}
BENCHMARK(BM_ColumnAtIndex);

void BM_FrequencyWeights(benchmark::State &state)
{
    auto document = documentWith(1, state.range(0));
    DSTable *table = document->active_table();
    table->setFrequency_weights_column(table->columnAtIndex(0));
    table->setApply_frequency_weights(true);
    const int32_t *weights = nullptr;
    for (auto _ : state)
        benchmark::DoNotOptimize(table->getFrequencyWeights(&weights));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_FrequencyWeights)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_NonmissingMask(benchmark::State &state)
{
    auto document = documentWith(4, state.range(0));
    DSTable *table = document->active_table();
    const QList<DSColumn *> columns = table->sortedColumns();
    const uint8_t *mask = nullptr;
    for (auto _ : state)
        benchmark::DoNotOptimize(table->getNonmissingMask(&mask, columns, nullptr, 0));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_NonmissingMask)->Arg(1000000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
