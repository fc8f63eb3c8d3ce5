// What a user waits for in the summary pane of a 1,000,000 × 20 table with
// all 16 statistic columns shown: the statistics of the 20 columns from
// empty caches to a drawn outline, and the refresh after a one-cell edit
// (the edited column computed again, the others read from their caches).
// The mini charts are not drawn here: the "Picture" column is hidden, as
// their builds are deferred above 100,000 rows anyway.
//
// summary_peers.py times pandas describe() plus scipy's
// median_abs_deviation on the same numbers (bench_data.h's splitmix64).
//
// Run offscreen: QT_QPA_PLATFORM=offscreen build/test/bench/summary/stats_outline_bench

#include "bench_data.h"
#include "../ds_bench_main.h"
#include "../ds_bench_window.h"
#include "model/DSDataTable.h"
#include "model/DSNumericDataColumn.h"
#include "platform/store/DSManagedObjectContext.h"
#include "ui/panes/DSStatsOutlineDelegate.h"
#include "ui/panes/DSSummaryViewDelegate.h"
#include "ui/window/DSStatDocumentWindow.h"

#include <QApplication>
#include <QTreeView>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <memory>

namespace {

constexpr int64_t kRows = 1000000;
constexpr int kColumns = 20;
// Every statistic but the picture.
constexpr qint64 kShown = 0xFFFF & ~qint64(4);

// Value r of column c, in [-500000, 500000); every tenth row of column 0
// missing. summary_peers.py draws the same.
double benchValue(int c, int64_t r)
{
    if (c == 0 && r % 10 == 3)
        return NAN;
    return (double(bench_splitmix64((uint64_t(c) << 32) | uint64_t(r)) >> 11) * 0x1.0p-53 - 0.5) * 1e6;
}

struct Fixture
{
    Fixture()
    {
        ds_bench_window_application();

        document = std::make_unique<DSStatDocumentWindow>();
        document->initWithType(DSStatDocument::nativeType);
        document->makeWindowControllers();
        document->document_window()->resize(2400, 900);
        document->document_window()->show();
        DSManagedObjectContext *context = document->managedObjectContext();
        table = ds_object_cast<DSDataTable>(document->active_table());
        table->setNum_records(kRows);
        for (int c = 0; c < kColumns; ++c) {
            auto *column = context->insertNewObject<DSNumericDataColumn>(QStringLiteral("DSNumericDataColumn"));
            column->setName(QStringLiteral("x%1").arg(c));
            table->insertNewColumns({column}, c);
            for (int64_t r = 0; r < kRows; ++r)
                column->appendValue(benchValue(c, r));
            column->saveAfterImport();
            columns.append(column);
        }
        table->setPrimitiveValue(kShown, QStringLiteral("summary_table_column_mask"));
        table->setShowSummaryCharts(false);
        context->processPendingChanges();
        document->showSummary(nullptr);
        pane = dynamic_cast<DSSummaryViewDelegate *>(document->summary_delegate());
        outline = pane->stats_table();
        redraw();
        printFirstColumn();
    }

    // What follows an edit: the store processes it, the document refreshes
    // (purging the statistics of every column of the table, as every
    // data-side refresh does) and every visible cell is drawn again.
    void redraw()
    {
        document->managedObjectContext()->processPendingChanges();
        QApplication::processEvents();
        document->refreshView(nullptr);
        outline->viewport()->repaint();
    }

    // The statistics of x0 as the outline shows them, against pandas'.
    void printFirstColumn()
    {
        DSStatsOutlineDelegate *model = pane->stats_outline_delegate();
        const QModelIndex row = model->itemOfColumn(columns.first());
        std::cout << "x0:";
        for (const char *identifier : {"count", "mean", "stddev", "min", "median", "max", "mad"})
            std::cout << ' ' << identifier << ' '
                      << model->data(row.siblingAtColumn(model->sectionOfIdentifier(QString::fromLatin1(identifier))),
                                     Qt::DisplayRole)
                             .toString()
                             .toStdString();
        std::cout << std::endl;
    }

    std::unique_ptr<DSStatDocumentWindow> document;
    DSDataTable *table = nullptr;
    DSSummaryViewDelegate *pane = nullptr;
    QTreeView *outline = nullptr;
    QList<DSNumericDataColumn *> columns;
};

// Each repetition is one run: min and median are over the runs.
double minimum(const std::vector<double> &times)
{
    return *std::min_element(times.begin(), times.end());
}

Fixture &fixture()
{
    static Fixture f;
    return f;
}

// Every cache emptied, then the outline drawn: the extremes, moments and
// quantiles of all 20 columns.
void BM_StatisticsOfTwentyColumns(benchmark::State &state)
{
    Fixture &f = fixture();
    for (auto _ : state) {
        for (DSColumn *column : f.columns)
            column->purgeStats();
        f.outline->viewport()->repaint();
    }
}
BENCHMARK(BM_StatisticsOfTwentyColumns)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(15)
    ->ComputeStatistics("min", minimum)
    ->ReportAggregatesOnly(true);

// One value typed into a column, then the document's refresh and the outline
// drawn again.
void BM_RefreshAfterOneCellEdit(benchmark::State &state)
{
    Fixture &f = fixture();
    static int i = 0;
    for (auto _ : state) {
        DSNumericDataColumn *column = f.columns[1 + i % (kColumns - 1)];
        column->replaceNumericValueAtIndex(i * 7919 % kRows, double(i));
        f.redraw();
        ++i;
    }
    // The refresh ran and drew the statistics afresh.
    if (f.columns.first()->temp_stats_quantiles().count < 0)
        state.SkipWithError("the outline was not refreshed");
}
BENCHMARK(BM_RefreshAfterOneCellEdit)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(20)
    ->ComputeStatistics("min", minimum)
    ->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char **argv)
{
    return ds_bench_main(argc, argv);
}
