// Stored time columns on 1,000,000 and 10,000,000 rows: an edit of one cell
// read back (the decoded arrays change; nothing is deflated), its undo read
// back, and the save of one edited column (deflating both arrays side by
// side). README.md has the figures.
//
// Times are what a log's timestamp column holds: minutes over twenty
// years, about 1% empty. The document's undo is off except where undo is
// timed.
#include "ColumnsBenchFixture.h"

#include "model/DSTimeDataColumn.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <map>
#include <random>
#include <vector>

namespace {

const std::vector<double> &sample(qint64 rows)
{
    static std::map<qint64, std::vector<double>> samples;
    std::vector<double> &times = samples[rows];
    if (times.empty()) {
        std::mt19937_64 random(17);
        times.resize(size_t(rows));
        for (double &t : times)
            t = random() % 100 == 0 ? NAN : double(random() % (20 * 525'960)) * 60;
    }
    return times;
}

struct Fixture : ColumnsBenchFixture
{
    DSTimeDataColumn *column = nullptr;

    explicit Fixture(qint64 rows) : ColumnsBenchFixture(rows)
    {
        column = insertColumn<DSTimeDataColumn>("DSTimeDataColumn");
        for (double t : sample(rows))
            column->appendTimeValue(t, std::isnan(t) ? 0 : 60);
        column->saveAfterImport();
    }

    // Reads the row back with its calendar date, as the records grid does
    // after an edit.
    void readBack(qint64 row)
    {
        const double *values = nullptr;
        const ds_gmt_date_s *dates = nullptr;
        column->getTimeValues(&values, nullptr, row, 1);
        column->getGregorianDates(&dates, nullptr, row, 1);
        benchmark::DoNotOptimize(values[0]);
        benchmark::DoNotOptimize(dates);
    }
};

void BM_TimeEditOneCellAndReadBack(benchmark::State &state)
{
    Fixture f(state.range(0));
    f.readBack(0);
    qint64 row = 0;
    for (auto _ : state) {
        f.column->replaceTimeValueAtIndex(row, double(row) * 60, 60);
        f.readBack(row);
        row = (row + 7919) % state.range(0);
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_TimeUndoOneEdit(benchmark::State &state)
{
    Fixture f(state.range(0));
    DSUndoManager *undo = f.useUndo();
    qint64 row = 0;
    for (auto _ : state) {
        state.PauseTiming();
        f.column->replaceTimeValueAtIndex(row, double(row) * 60, 60);
        f.readBack(row);
        f.context->processPendingChanges();
        state.ResumeTiming();
        undo->undo();
        f.readBack(row);
        row = (row + 7919) % state.range(0);
    }
    state.SetItemsProcessed(state.iterations());
}

// What a save does with one edited column before writing: deflate both
// arrays and store the streams.
void BM_TimeSaveOneEditedColumn(benchmark::State &state)
{
    Fixture f(state.range(0));
    qint64 row = 0;
    for (auto _ : state) {
        state.PauseTiming();
        f.column->replaceTimeValueAtIndex(row, double(row) * 60, 60);
        row = (row + 7919) % state.range(0);
        state.ResumeTiming();
        f.column->prepareForSave();
        f.column->commitSavePreparation();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

} // namespace

BENCHMARK(BM_TimeEditOneCellAndReadBack)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TimeUndoOneEdit)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_TimeSaveOneEditedColumn)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
