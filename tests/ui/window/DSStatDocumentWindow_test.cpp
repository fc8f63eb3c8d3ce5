#include "window_test_support.h"

#include "filter/DSTableFilterSet.h"
#include "model/DSDataRoot.h"
#include "model/DSDataTable.h"
#include "model/DSNumericDataColumn.h"
#include "pivot/DSPivot.h"
#include "platform/store/DSManagedObjectContext.h"
#include "regression/DSRegressionModel.h"
#include "ui/window/DSStatDocumentViewDelegate.h"
#include "ui/window/DSStatDocumentWindow.h"
#include "ui/window/ds_change_ladder.h"

#include <QAction>
#include <QLabel>
#include <QSignalSpy>
#include <QSplitter>
#include <QTest>
#include <QToolBar>

#include <functional>

namespace {

// A document with its window: "New Table" (active) and "Other", each with
// one numeric column, every change so far processed and not undoable.
class WindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ensureWindowTestApplication();
        document = std::make_unique<DSStatDocumentWindow>(&host);
        ASSERT_TRUE(document->initWithType(DSStatDocument::nativeType));
        context = document->managedObjectContext();
        context->undoManager()->disableUndoRegistration();
        active = document->active_table();
        other = newTable(QStringLiteral("Other"));
        addColumn(active, QStringLiteral("x"));
        addColumn(other, QStringLiteral("y"));
        context->processPendingChanges();
        context->undoManager()->enableUndoRegistration();
        ASSERT_TRUE(document->makeWindowControllers());
        ASSERT_EQ(document->active_table(), active);
        host.actions = 0;
    }

    DSTable *newTable(const QString &name) { return addTestTable(*document, name); }
    DSColumn *addColumn(DSTable *table, const QString &name) { return addTestColumn(table, name); }
    DSRegressionModel *addModel(DSTable *table) { return addTestModel(table); }

    QAction *toolbarItem(const QString &identifier) const
    {
        return document->document_window()->findChild<QAction *>(identifier);
    }

    FakeHost host;
    std::unique_ptr<DSStatDocumentWindow> document;
    DSManagedObjectContext *context = nullptr;
    DSTable *active = nullptr;
    DSTable *other = nullptr;
};

struct ViewState
{
    quint64 flags;
    bool show_filters, show_pivots, show_results;
    bool operator==(const ViewState &) const = default;
};

ViewState viewState(const DSTable *table)
{
    return {table->viewFlags(), table->show_filters, table->show_pivots, table->show_results};
}

TEST_F(WindowTest, TheChangeLadderDecidesThePaneOfEachChange)
{
    DSColumn *x = active->columns().first();
    DSManagedObject *filterPartition = context->insertNewObject(QStringLiteral("DSNumericPartition"));
    x->setObject(filterPartition, QStringLiteral("filter_partition"));
    filterPartition->setObject(x, QStringLiteral("column"));
    DSManagedObject *covariatePartition = context->insertNewObject(QStringLiteral("DSNumericPartition"));
    x->setObject(covariatePartition, QStringLiteral("covariate_partition"));
    covariatePartition->setObject(x, QStringLiteral("column"));
    DSManagedObject *pivotPartition = context->insertNewObject(QStringLiteral("DSNumericPartition"));
    x->setObject(pivotPartition, QStringLiteral("pivot_partition"));
    pivotPartition->setObject(x, QStringLiteral("column"));
    context->processPendingChanges();

    const ViewState base{0x10101, false, false, false};
    struct Case
    {
        const char *what;
        std::function<void()> change;
        int rule;
        ViewState expected;
        quint64 start = 0x10101;
    };
    const std::vector<Case> cases{
        {"columns into another table and the active one: rule 1 wins",
         [&] {
             addColumn(other, QStringLiteral("y2"));
             addColumn(active, QStringLiteral("x2"));
         },
         1, base},
        {"a column into the active table shows the data side",
         [&] { addColumn(active, QStringLiteral("x3")); }, 3, {0x10101, false, false, false}, 0x10102},
        {"deleting the active table's pivot: pivot pane and its list",
         [&] { context->deleteObject(active->pivotAtIndex(0)); }, 4, {0x10401, false, true, false}},
        {"a filter into the active table's filter set",
         [&] {
             DSManagedObject *filter = context->insertNewObject(QStringLiteral("DSTableFilter"));
             filter->setObject(active->filterSetAtIndex(0), QStringLiteral("owner"));
         },
         6, {0x10101, true, false, false}},
        {"a filter into another table's filter set",
         [&] {
             DSManagedObject *filter = context->insertNewObject(QStringLiteral("DSTableFilter"));
             filter->setObject(other->filterSetAtIndex(0), QStringLiteral("owner"));
         },
         1, base},
        {"a model of the active table", [&] { addModel(active); }, 7, base},
        {"updating a filter partition changes nothing",
         [&] { filterPartition->setValue(qlonglong(3), QStringLiteral("quantile_count")); }, 14, base},
        {"updating a covariate partition shows the summary",
         [&] { covariatePartition->setValue(qlonglong(3), QStringLiteral("quantile_count")); }, 15,
         {0x10201, false, false, false}},
        {"updating a pivot partition shows the pivot pane",
         [&] { pivotPartition->setValue(qlonglong(3), QStringLiteral("quantile_count")); }, 16,
         {0x10401, false, false, false}},
        {"renaming the active table", [&] { active->setName(QStringLiteral("Renamed")); }, 12, base},
        {"a column renamed is nothing the ladder names", [&] { x->setName(QStringLiteral("x!")); }, 17, base},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        active->setViewFlags(c.start);
        active->show_filters = active->show_pivots = active->show_results = false;
        QList<DSObjectsDidChange> notes;
        const auto spy = QObject::connect(context, &DSManagedObjectContext::objectsDidChange,
                                          [&](const DSObjectsDidChange &n) { notes.append(n); });
        const int actionsBefore = host.actions;
        c.change();
        context->processPendingChanges();
        QObject::disconnect(spy);
        ASSERT_EQ(notes.size(), 1);
        EXPECT_EQ(ds_change_ladder(notes[0], active).rule, c.rule);
        EXPECT_TRUE(viewState(active) == c.expected)
            << std::hex << "flags 0x" << active->viewFlags() << " filters " << active->show_filters << " pivots "
            << active->show_pivots;
        EXPECT_EQ(host.actions, actionsBefore + 1) << "one user action per notification";
    }
}

TEST_F(WindowTest, UndoingTheOnlyModelFallsBackToTheDataSide)
{
    DSRegressionModel *otherModel = addModel(other);
    context->processPendingChanges();
    otherModel->setNeeds_regression(false);
    otherModel->setNeeds_panels_rebuilt(false);

    context->undoManager()->beginUndoGrouping();
    DSRegressionModel *model = addModel(active);
    context->undoManager()->endUndoGrouping();
    document->showModeler(nullptr);
    ASSERT_EQ(active->active_model(), model) << "the model side picks the first model";
    ASSERT_TRUE(active->showModel());
    EXPECT_TRUE(document->outlet(QStringLiteral("model_pane"))->isVisibleTo(document->document_window()));

    QSignalSpy refreshes(document.get(), &DSStatDocumentWindow::refreshed);
    document->undo();
    EXPECT_TRUE(model->isFault());
    EXPECT_EQ(active->active_model(), nullptr);
    EXPECT_TRUE(otherModel->needs_regression());
    EXPECT_TRUE(otherModel->needs_panels_rebuilt());
    EXPECT_TRUE(active->showTable()) << "no model left: the data side";
    EXPECT_EQ(active->viewFlags(), 0x10101u);
    EXPECT_GE(refreshes.size(), 1);
    EXPECT_FALSE(document->is_updating());
    EXPECT_FALSE(document->outlet(QStringLiteral("model_pane"))->isVisibleTo(document->document_window()));
    EXPECT_TRUE(document->outlet(QStringLiteral("records_view"))->isVisibleTo(document->document_window()));
}

// A pane that calls back into the document from its own refresh.
class ReentrantPane : public DSStatDocumentViewDelegate
{
public:
    void refreshView(QObject *) override
    {
        ++refreshes;
        document()->refreshView(this);
    }
    int refreshes = 0;
};

TEST_F(WindowTest, RefreshesAreGuardedAndFlagChangesCoalesce)
{
    ReentrantPane pane;
    pane.setDocument(document.get());
    document->setRecords_delegate(&pane);
    QSignalSpy refreshes(document.get(), &DSStatDocumentWindow::refreshed);
    document->refreshView(nullptr);
    EXPECT_EQ(pane.refreshes, 1);
    EXPECT_EQ(refreshes.size(), 1);
    EXPECT_FALSE(document->is_refreshing());

    // Five changes that each switch a flag, processed in one event: the
    // notifications queue one refresh, run when the event loop turns.
    refreshes.clear();
    pane.refreshes = 0;
    for (int i = 0; i < 5; ++i) {
        active->setViewFlags(0x10102);
        addColumn(active, QStringLiteral("c%1").arg(i));
        context->processPendingChanges();
    }
    EXPECT_EQ(refreshes.size(), 0) << "the notification never refreshes by itself";
    EXPECT_EQ(host.actions, 5);
    QCoreApplication::processEvents();
    EXPECT_EQ(refreshes.size(), 1);
    EXPECT_EQ(pane.refreshes, 1);
    document->setRecords_delegate(nullptr);
}

TEST_F(WindowTest, ToolbarsFollowTheTableAndItsPane)
{
    ASSERT_EQ(document->toolbars().size(), 3);
    document->document_window()->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(document->document_window()));
    QToolBar *noModel = document->toolbars()[1];
    EXPECT_EQ(document->installedToolbar(), noModel);
    EXPECT_TRUE(toolbarItem(QStringLiteral("raw_data2"))->isChecked()) << "a new table shows its records";
    EXPECT_FALSE(toolbarItem(QStringLiteral("model2"))->isEnabled()) << "no model to show";
    EXPECT_TRUE(toolbarItem(QStringLiteral("pivot2"))->isEnabled());

    // The user picks the summary in the toolbar.
    QSignalSpy summaryTriggered(toolbarItem(QStringLiteral("summary2")), &QAction::triggered);
    toolbarItem(QStringLiteral("summary2"))->trigger();
    EXPECT_EQ(summaryTriggered.size(), 1);
    EXPECT_TRUE(active->showSummary());
    EXPECT_TRUE(toolbarItem(QStringLiteral("summary2"))->isChecked());
    EXPECT_FALSE(toolbarItem(QStringLiteral("raw_data2"))->isChecked());

    addModel(active);
    context->processPendingChanges();
    document->refreshView(nullptr);
    EXPECT_EQ(document->installedToolbar(), document->toolbars()[0]);
    EXPECT_TRUE(toolbarItem(QStringLiteral("summary1"))->isChecked());

    document->showPredictor(nullptr);
    EXPECT_EQ(document->installedToolbar(), document->toolbars()[2]);
    EXPECT_TRUE(toolbarItem(QStringLiteral("predict3"))->isChecked());
    EXPECT_TRUE(toolbarItem(QStringLiteral("instruments3"))->isEnabled());
    EXPECT_TRUE(document->outlet(QStringLiteral("predictor_view"))->isVisibleTo(document->document_window()));
    EXPECT_FALSE(document->outlet(QStringLiteral("model_view"))->isVisibleTo(document->document_window()));
    keepPicture(document->document_window(), QStringLiteral("document_window_predict.png"));

    document->showRawData(nullptr);
    EXPECT_EQ(active->viewFlags(), 0x20101u) << "the model side keeps the predict view";
    EXPECT_TRUE(toolbarItem(QStringLiteral("raw_data1"))->isChecked());
    EXPECT_FALSE(toolbarItem(QStringLiteral("instruments3"))->isEnabled() && document->installedToolbar()
                 == document->toolbars()[2]);

    // No table at all: the no-model toolbar, nothing selected, table items off.
    document->setActive_table(nullptr);
    document->refreshView(nullptr);
    EXPECT_EQ(document->installedToolbar(), noModel);
    for (const char *id : {"raw_data2", "summary2", "pivot2", "filters2"})
        EXPECT_FALSE(toolbarItem(QString::fromLatin1(id))->isEnabled()) << id;
    EXPECT_FALSE(toolbarItem(QStringLiteral("summary2"))->isChecked());
    EXPECT_TRUE(document->import_data_message()->isVisibleTo(document->document_window()));
    EXPECT_FALSE(document->outlet(QStringLiteral("stat_view"))->isVisibleTo(document->document_window()));
    keepPicture(document->document_window(), QStringLiteral("document_window_no_table.png"));
    document->document_window()->hide();
}

TEST_F(WindowTest, TheFilterPaneReopensAtItsLastHeight)
{
    QMainWindow *window = document->document_window();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    QSplitter *splitter = document->filters_splitter();
    EXPECT_EQ(splitter->sizes().value(0), 0) << "collapsed after set-up";
    EXPECT_EQ(document->lastFiltersPaneHeight(), 180);

    // Refreshes with the pane hidden must not forget the height.
    document->refreshView(nullptr);
    toolbarItem(QStringLiteral("filters2"))->trigger();
    EXPECT_EQ(splitter->sizes().value(0), 180);
    EXPECT_EQ(active->active_filter_set(), active->filterSetAtIndex(0));

    const int total = splitter->sizes().value(0) + splitter->sizes().value(1);
    splitter->setSizes({120, total - 120});
    document->hideFiltersPane();
    EXPECT_EQ(splitter->sizes().value(0), 0);
    EXPECT_EQ(document->lastFiltersPaneHeight(), 120);
    document->showFiltersPane();
    EXPECT_EQ(splitter->sizes().value(0), 120);

    active->show_filters = true;
    addColumn(active, QStringLiteral("z"));
    context->processPendingChanges();
    document->refreshView(nullptr);
    QCoreApplication::processEvents();
    keepPicture(window, QStringLiteral("document_window.png"));
    window->hide();
}

TEST_F(WindowTest, SwitchingTablesUnloadsThePreviousModel)
{
    // The hook in the setters stands for the key-path observer: switching
    // tables, or models, reaches the window with the model shown before.
    DSRegressionModel *model = addModel(active);
    context->processPendingChanges();
    std::vector<DSRegressionModel *> seen;
    document->data_root()->setActiveModelObserver([&](DSRegressionModel *previous) { seen.push_back(previous); });
    active->setActive_model(model);
    document->setActive_table(other);
    active->setActive_model(nullptr);  // not the shown table: no call
    EXPECT_EQ(seen, (std::vector<DSRegressionModel *>{nullptr, model}));
}

} // namespace
