// Stored numeric columns on 1,000,000 and 10,000,000 rows: an import
// (append every row, finish; eight columns finished one by one and in
// parallel), the first read after a save (inflate and scan), the check of
// the stored array that opening a document makes, an edit of one
// cell read back (the decoded array changes; nothing is deflated), its undo
// read back, the save of one edited column (deflating it), and the missing
// mask under the predicate "value < 0 OR value == 99". README.md has the
// figures.
//
// Values are measurements with two decimals (normal, mean 50, sd 30): what
// a spreadsheet column typically holds; about 2% are exactly 99 or missing.
// The document's undo is off except where undo is timed.
#include "ColumnsBenchFixture.h"

#include "model/DSNumericDataColumn.h"
#include "platform/predicate/DSPredicate.h"
#include "platform/store/DSObjectPool.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

namespace {

const std::vector<double> &sample(qint64 rows)
{
    static std::map<qint64, std::vector<double>> samples;
    std::vector<double> &values = samples[rows];
    if (values.empty()) {
        std::mt19937_64 random(11);
        std::normal_distribution<double> normal(50, 30);
        values.resize(size_t(rows));
        for (double &x : values) {
            const uint64_t u = random() % 100;
            x = u == 0 ? NAN : u == 1 ? 99 : std::round(normal(random) * 100) / 100;
        }
    }
    return values;
}

struct Fixture : ColumnsBenchFixture
{
    DSNumericDataColumn *column = nullptr;

    explicit Fixture(qint64 rows) : ColumnsBenchFixture(rows)
    {
        column = insertColumn<DSNumericDataColumn>("DSNumericDataColumn");
    }

    void import()
    {
        for (double x : sample(table->num_records()))
            column->appendValue(x);
        column->saveAfterImport();
    }
};

void BM_Import(benchmark::State &state)
{
    for (auto _ : state) {
        state.PauseTiming();
        Fixture f(state.range(0));
        state.ResumeTiming();
        f.import();
        state.PauseTiming();
        state.counters["stored MB"] = double(f.column->values().size()) / 1e6;
        f.context.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// Finishing an import of 8 columns of 1,000,000 rows in a pool, as an
// importer does: one by one (arg 0) or as parallel tasks (arg 1); the stored
// bytes are the same.
void BM_FinishEightColumns(benchmark::State &state)
{
    const qint64 rows = 1'000'000;
    for (auto _ : state) {
        state.PauseTiming();
        auto pool = std::make_unique<DSObjectPool>(DSManagedObjectModel::modelNamed(QStringLiteral("DSDataModel006")));
        auto *table = pool->insertNewObject<DSDataTable>(QStringLiteral("DSDataTable"));
        QList<DSDataColumn *> columns;
        for (int c = 0; c < 8; ++c) {
            auto *column = pool->insertNewObject<DSNumericDataColumn>(QStringLiteral("DSNumericDataColumn"));
            table->insertNewColumns({column}, c);
            for (double x : sample(rows))
                column->appendValue(x);
            columns.append(column);
        }
        table->setNum_records(rows);
        state.ResumeTiming();
        if (state.range(0))
            DSDataColumn::saveAfterImport(columns);
        else
            for (DSDataColumn *column : columns)
                column->saveAfterImport();
        state.PauseTiming();
        pool.reset();
        state.ResumeTiming();
    }
}

void BM_FirstRead(benchmark::State &state)
{
    Fixture f(state.range(0));
    f.import();
    for (auto _ : state) {
        f.column->teardown();
        const double *values = nullptr;
        benchmark::DoNotOptimize(f.column->getValues(&values));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// What opening a document adds for each stored column: its table's check
// reads the stored array back whole (inflate and checks) and keeps nothing.
void BM_CheckAtOpen(benchmark::State &state)
{
    Fixture f(state.range(0));
    f.import();
    for (auto _ : state)
        benchmark::DoNotOptimize(f.table->checkStoredRows());
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_EditOneCell(benchmark::State &state)
{
    Fixture f(state.range(0));
    f.import();
    qint64 row = 0;
    for (auto _ : state) {
        f.column->replaceNumericValueAtIndex(row, double(row));
        row = (row + 7919) % state.range(0);
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_EditOneCellAndReadBack(benchmark::State &state)
{
    Fixture f(state.range(0));
    f.import();
    // The first edit copies the decoded array once; timed are the ones after.
    f.column->replaceNumericValueAtIndex(0, 0);
    qint64 row = 0;
    for (auto _ : state) {
        f.column->replaceNumericValueAtIndex(row, double(row));
        const double *values = nullptr;
        f.column->getValues(&values);
        benchmark::DoNotOptimize(values[row]);
        row = (row + 7919) % state.range(0);
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_UndoOneEdit(benchmark::State &state)
{
    Fixture f(state.range(0));
    f.import();
    DSUndoManager *undo = f.useUndo();
    qint64 row = 0;
    for (auto _ : state) {
        state.PauseTiming();
        f.column->replaceNumericValueAtIndex(row, double(row));
        // The end of the event: an edit stored at once registers its undo here.
        f.context->processPendingChanges();
        state.ResumeTiming();
        undo->undo();
        const double *values = nullptr;
        f.column->getValues(&values);
        benchmark::DoNotOptimize(values[row]);
        row = (row + 7919) % state.range(0);
    }
    state.SetItemsProcessed(state.iterations());
}

// What a save does with one edited column before writing: deflate it and
// store the stream.
void BM_SaveOneEditedColumn(benchmark::State &state)
{
    Fixture f(state.range(0));
    f.import();
    qint64 row = 0;
    for (auto _ : state) {
        state.PauseTiming();
        f.column->replaceNumericValueAtIndex(row, double(row));
        row = (row + 7919) % state.range(0);
        state.ResumeTiming();
        f.column->prepareForSave();
        f.column->commitSavePreparation();
    }
    state.counters["stored MB"] = double(f.column->values().size()) / 1e6;
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_MissingMaskWithPredicate(benchmark::State &state)
{
    Fixture f(state.range(0));
    f.import();
    f.column->setMissing_values_predicate(DSPredicate::fromString(u"value < 0 OR value == 99"));
    f.column->setApply_missing_values_predicate(true);
    const uint8_t *mask = nullptr;
    f.column->getMissingMask(&mask);  // decoded once, as a reader would
    for (auto _ : state)
        benchmark::DoNotOptimize(f.column->getMissingMask(&mask));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

} // namespace

BENCHMARK(BM_Import)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FinishEightColumns)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FirstRead)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CheckAtOpen)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EditOneCell)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EditOneCellAndReadBack)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_UndoOneEdit)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveOneEditedColumn)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MissingMaskWithPredicate)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond)->UseRealTime();

