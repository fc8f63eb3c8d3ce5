// What a user waits for in the records pane of a 1,000,000 × 20 table: a
// typed value to a redrawn grid, a click that selects a row, undoing the
// edit, and sorting the records by a column with 10% missing values
// (records_peers.py times numpy's stable argsort of the same keys).
//
// Run offscreen: QT_QPA_PLATFORM=offscreen build/test/bench/records/records_bench

#include "../ds_bench_window.h"
#include "model/DSDataTable.h"
#include "model/DSNumericDataColumn.h"
#include "platform/store/DSManagedObjectContext.h"
#include "platform/store/DSUndoManager.h"
#include "ui/panes/DSRecordIndex.h"
#include "ui/panes/DSRecordsTableDelegate.h"
#include "ui/panes/DSRecordsViewDelegate.h"
#include "ui/window/DSStatDocumentWindow.h"

#include <QApplication>
#include <QTest>

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <random>

namespace {

constexpr int64_t kRows = 1000000;
constexpr int kColumns = 20;

// Values of column c: a seeded normal, every tenth value of column 0 missing.
std::vector<double> columnValues(int c)
{
    std::mt19937_64 random(uint64_t(c) + 1);
    std::normal_distribution<double> normal(0, 1);
    std::vector<double> values(kRows);
    for (int64_t r = 0; r < kRows; ++r)
        values[size_t(r)] = c == 0 && r % 10 == 3 ? NAN : std::round(normal(random) * 1000) / 1000;
    return values;
}

// One window on a 1,000,000 × 20 table, its records pane showing, editable.
struct Fixture
{
    Fixture()
    {
        ds_bench_window_application();

        document = std::make_unique<DSStatDocumentWindow>();
        document->initWithType(DSStatDocument::nativeType);
        document->makeWindowControllers();
        document->document_window()->resize(1200, 800);
        document->document_window()->show();
        DSManagedObjectContext *context = document->managedObjectContext();
        table = ds_object_cast<DSDataTable>(document->active_table());
        for (int c = 0; c < kColumns; ++c) {
            auto *column = context->insertNewObject<DSNumericDataColumn>(QStringLiteral("DSNumericDataColumn"));
            column->setName(QStringLiteral("x%1").arg(c));
            table->insertNewColumns({column}, c);
            for (double x : columnValues(c))
                column->appendValue(x);
            column->saveAfterImport();
        }
        table->setNum_records(kRows);
        table->setEdit_data_unlocked(true);
        context->processPendingChanges();
        context->undoManager()->removeAllActions();
        pane = dynamic_cast<DSRecordsViewDelegate *>(document->records_delegate());
        document->refreshView(nullptr);
        pane->rebuildRecordsTable();
        pane->refreshView(nullptr);
        QApplication::processEvents();
    }

    // Everything a change does up to the grid drawn again.
    void redraw()
    {
        document->managedObjectContext()->processPendingChanges();
        QApplication::processEvents();
        pane->refreshView(nullptr);
        pane->records_table()->viewport()->repaint();
    }

    std::unique_ptr<DSStatDocumentWindow> document;
    DSDataTable *table = nullptr;
    DSRecordsViewDelegate *pane = nullptr;
};

Fixture &fixture()
{
    static Fixture f;
    return f;
}

void BM_TypedEditToRedrawnGrid(benchmark::State &state)
{
    Fixture &f = fixture();
    DSRecordsTableDelegate *model = f.pane->records_table_delegate();
    int i = 0;
    for (auto _ : state) {
        model->setData(model->index(i % 30, 1 + i % kColumns), QString::number(i), Qt::EditRole);
        f.redraw();
        ++i;
    }
}
BENCHMARK(BM_TypedEditToRedrawnGrid)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_UndoEditToRedrawnGrid(benchmark::State &state)
{
    Fixture &f = fixture();
    DSRecordsTableDelegate *model = f.pane->records_table_delegate();
    DSUndoManager *undo = f.document->managedObjectContext()->undoManager();
    int i = 0;
    for (auto _ : state) {
        state.PauseTiming();
        model->setData(model->index(i % 30, 1 + i % kColumns), QString::number(-i), Qt::EditRole);
        f.document->managedObjectContext()->processPendingChanges();
        state.ResumeTiming();
        undo->undo();
        f.redraw();
        ++i;
    }
}
BENCHMARK(BM_UndoEditToRedrawnGrid)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_SelectionClick(benchmark::State &state)
{
    Fixture &f = fixture();
    DSRecordsTableView *grid = f.pane->records_table();
    int i = 0;
    for (auto _ : state) {
        const QRect cell = grid->visualRect(grid->model()->index(i % 20, 0));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
        grid->viewport()->repaint();
        ++i;
    }
}
BENCHMARK(BM_SelectionClick)->Unit(benchmark::kMillisecond)->Iterations(50);

// The index alone, sorted by the column with missing values.
void BM_SortRecordIndex(benchmark::State &state)
{
    const std::vector<double> keys = columnValues(0);
    auto read = [](void *context, int64_t first, int64_t count, double *out) {
        const auto *all = static_cast<const std::vector<double> *>(context);
        std::copy_n(all->data() + first, count, out);
    };
    DSRecordIndex index;
    for (auto _ : state)
        benchmark::DoNotOptimize(index.rebuild(nullptr, 0, kRows, true, read, (void *)&keys));
}
BENCHMARK(BM_SortRecordIndex)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

BENCHMARK_MAIN();
