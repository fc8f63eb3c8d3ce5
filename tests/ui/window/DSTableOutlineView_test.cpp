#include "window_test_support.h"

#include "model/DSDataRoot.h"
#include "model/DSColumnSelection.h"
#include "model/DSDataTable.h"
#include "model/DSTimeDataColumn.h"
#include "platform/store/DSManagedObjectContext.h"
#include "regression/DSOutcomeVariable.h"
#include "regression/DSRegressionModel.h"
#include "ui/window/DSStatDocumentWindow.h"
#include "ui/menus/DSModelMenuDelegate.h"
#include "ui/menus/DSTableMenuDelegate.h"
#include "ui/window/DSPopover.h"
#include "ui/window/DSSplitter.h"
#include "ui/window/DSTableOutlineView.h"

#include <QCborArray>
#include <QCborMap>
#include <QCborValue>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QTest>

#include <functional>

namespace {

using Operation = DSTableOutlineDelegate::Operation;
using Source = DSTableOutlineDelegate::Source;

QStringList names(DSDataRoot *root)
{
    QStringList result;
    for (DSTable *table : root->sortedTables())
        result << table->name();
    return result;
}

// The objects a drop could add, counted.
qsizetype objectCount(const DSManagedObjectContext *context)
{
    qsizetype n = 0;
    for (const char *entity : {"DSDataTable", "DSNumericDataColumn", "DSRegressionModel", "DSTableFilterSet"})
        n += context->objectsOfEntity(QString::fromLatin1(entity)).size();
    return n;
}

QMimeData *mime(const char *type, const QByteArray &value)
{
    auto *data = new QMimeData;
    data->setData(QString::fromLatin1(type), value);
    return data;
}

// A document with its window and three tables "A" (active), "B" and "C",
// each with a numeric column; "B" has the models "m1" (one outcome, none
// active) and "m2".
class SidebarTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ensureWindowTestApplication();
        document = makeDocument(host);
        context = document->managedObjectContext();
        root = document->data_root();
        context->undoManager()->disableUndoRegistration();
        a = document->active_table();
        a->setName(QStringLiteral("A"));
        b = addTestTable(*document, QStringLiteral("B"));
        c = addTestTable(*document, QStringLiteral("C"));
        for (DSTable *table : {a, b, c})
            addTestColumn(table, table->name().toLower());
        m1 = addTestModel(b);
        m1->setName(QStringLiteral("m1"));
        auto *outcome = ds_object_cast<DSOutcomeVariable>(m1->insertNewObjectOfEntity(QStringLiteral("DSOutcomeVariable")));
        outcome->setColumn(b->columns().first());
        m1->insertOutcomeVariable(outcome, 0);
        outcome->setModel(m1);
        m2 = addTestModel(b);
        m2->setName(QStringLiteral("m2"));
        context->processPendingChanges();
        context->undoManager()->enableUndoRegistration();
        ASSERT_TRUE(document->makeWindowControllers());
        sidebar = document->tables_table();
        ASSERT_TRUE(sidebar);
        outline = sidebar->outlineDelegate();
    }

    static std::unique_ptr<DSStatDocumentWindow> makeDocument(FakeHost &host)
    {
        auto result = std::make_unique<DSStatDocumentWindow>(&host);
        EXPECT_TRUE(result->initWithType(DSStatDocument::nativeType));
        return result;
    }

    // Clicks the row of the table or model as a user would.
    void click(DSManagedObject *item)
    {
        const QModelIndex index = outline->indexOfItem(item);
        ASSERT_TRUE(index.isValid());
        sidebar->scrollTo(index);
        QTest::mouseClick(sidebar->viewport(), Qt::LeftButton, {}, sidebar->visualRect(index).center());
    }

    QModelIndex row(DSManagedObject *item) const { return outline->indexOfItem(item); }

    FakeHost host;
    std::unique_ptr<DSStatDocumentWindow> document;
    DSManagedObjectContext *context = nullptr;
    DSDataRoot *root = nullptr;
    DSTable *a = nullptr, *b = nullptr, *c = nullptr;
    DSRegressionModel *m1 = nullptr, *m2 = nullptr;
    DSTableOutlineView *sidebar = nullptr;
    DSTableOutlineDelegate *outline = nullptr;
};

TEST_F(SidebarTest, RowsAreTheTablesWithTheirModelsBelow)
{
    ASSERT_EQ(outline->rowCount(), 3);
    EXPECT_EQ(outline->index(1, 0).data().toString(), QStringLiteral("B"));
    const QModelIndex bRow = row(b);
    ASSERT_EQ(outline->rowCount(bRow), 2);
    EXPECT_EQ(outline->index(1, 0, bRow).data().toString(), QStringLiteral("m2"));
    EXPECT_EQ(outline->parent(row(m2)), bRow);
    EXPECT_TRUE(sidebar->isExpanded(bRow));
    EXPECT_FALSE(outline->index(0, 0, bRow).data(Qt::DecorationRole).value<QIcon>().isNull());

    // A table the user collapsed stays collapsed through a reload; the
    // selection stays on its row.
    sidebar->collapse(bRow);
    document->refreshView(nullptr);
    EXPECT_FALSE(sidebar->isExpanded(row(b)));
    EXPECT_EQ(sidebar->selectedItem(), a);

    // Renaming stores the name as typed, empty included.
    EXPECT_TRUE(outline->setData(row(c), QString(), Qt::EditRole));
    EXPECT_EQ(c->name(), QString());
}

TEST_F(SidebarTest, TheTableAJoinedColumnLooksUpIsTinted)
{
    DSColumn *joined = a->columns().first();
    DSManagedObject *condition = context->insertNewObject(QStringLiteral("DSJoinColumnCondition"));
    condition->setObject(joined, QStringLiteral("owner"));
    condition->setObject(c->columns().first(), QStringLiteral("foreign_column"));
    context->processPendingChanges();
    auto tinted = [&](DSTable *table) { return row(table).data(Qt::BackgroundRole).isValid(); };
    EXPECT_FALSE(tinted(c)) << "no active column yet";
    a->column_selection()->resetWithColumn(joined);
    EXPECT_TRUE(tinted(c));
    EXPECT_FALSE(tinted(a));
    EXPECT_FALSE(tinted(b));
    EXPECT_EQ(row(c).data(Qt::BackgroundRole).value<QColor>().name(), QStringLiteral("#afe2ed"));
    keepPicture(sidebar, QStringLiteral("sidebar_joined_table.png"));
}

TEST_F(SidebarTest, SelectingATableOrAModelActivatesIt)
{
    for (DSRegressionModel *model : {m1, m2}) {
        model->setNeeds_regression(false);
        model->setNeeds_panels_rebuilt(false);
    }
    click(c);
    EXPECT_EQ(document->active_table(), c);
    EXPECT_TRUE(c->showTable());
    for (DSRegressionModel *model : {m1, m2}) {
        EXPECT_TRUE(model->needs_regression());
        EXPECT_TRUE(model->needs_panels_rebuilt());
    }
    EXPECT_EQ(sidebar->selectedItem(), c);

    ASSERT_EQ(m1->active_outcome(), nullptr);
    click(m1);
    EXPECT_EQ(document->active_table(), b);
    EXPECT_TRUE(b->showModel());
    EXPECT_EQ(b->active_model(), m1);
    EXPECT_EQ(m1->active_outcome(), m1->outcomeVariableAtIndex(0));
    EXPECT_EQ(sidebar->selectedItem(), m1);
}

TEST_F(SidebarTest, DropsAreValidatedByTheirSourceAndTarget)
{
    DSTable *d = addTestTable(*document, QStringLiteral("D"));
    addTestColumn(d, QStringLiteral("d"));
    // E's first column is a time column: columns cannot be joined onto it.
    DSTable *e = addTestTable(*document, QStringLiteral("E"));
    auto *time = context->insertNewObject<DSTimeDataColumn>(QStringLiteral("DSTimeDataColumn"));
    e->insertNewColumns({time}, 0);
    addTestColumn(e, QStringLiteral("e"));
    context->processPendingChanges();
    document->refreshView(nullptr);

    QTemporaryDir dir;
    auto files = [&](QStringList fileNames) {
        auto *data = new QMimeData;
        QList<QUrl> urls;
        for (const QString &name : fileNames)
            urls << QUrl::fromLocalFile(dir.filePath(name));
        data->setUrls(urls);
        return data;
    };
    struct Case
    {
        const char *what;
        std::function<QMimeData *()> data;
        Source source;
        std::function<QModelIndex()> parent;
        int row;
        Operation expected;
    };
    const auto none = [] { return QModelIndex(); };
    const std::vector<Case> cases{
        {"a table between tables", [] { return mime(DSSidebarTypes::tableIndex, "1"); }, Source::ThisSidebar, none, 4,
         Operation::Every},
        {"a table onto a table", [] { return mime(DSSidebarTypes::tableIndex, "1"); }, Source::ThisSidebar,
         [&] { return row(c); }, -1, Operation::None},
        {"a model into its own table's gap", [] { return mime(DSSidebarTypes::modelIndex, "1-1"); },
         Source::ThisSidebar, [&] { return row(b); }, 0, Operation::Every},
        {"a model into another table's gap", [] { return mime(DSSidebarTypes::modelIndex, "1-1"); },
         Source::ThisSidebar, [&] { return row(c); }, 0, Operation::None},
        {"a model between tables", [] { return mime(DSSidebarTypes::modelIndex, "1-1"); }, Source::ThisSidebar,
         none, 1, Operation::None},
        {"columns onto the active table", [] { return mime(DSSidebarTypes::columnsIndex, "0"); },
         Source::StatsOutline, [&] { return row(a); }, -1, Operation::None},
        {"columns onto a table whose first column is a time", [] { return mime(DSSidebarTypes::columnsIndex, "0"); },
         Source::StatsOutline, [&] { return row(e); }, -1, Operation::None},
        {"columns from another view", [] { return mime(DSSidebarTypes::columnsIndex, "0"); }, Source::Other,
         [&] { return row(m1); }, -1, Operation::None},
        {"a record onto a model", [] { return mime(DSSidebarTypes::recordsIndex, "0"); }, Source::RecordsGrid,
         [&] { return row(m1); }, -1, Operation::None},
        {"files of two cases of one extension", [&] { return files({"a.csv", "B.CSV"}); }, Source::Other, none, 2,
         Operation::Copy},
        {"an extension in mixed case", [&] { return files({"a.Csv"}); }, Source::Other, none, 2, Operation::None},
        {"one unknown extension refuses all", [&] { return files({"a.csv", "c.foo"}); }, Source::Other, none, 2,
         Operation::None},
        {"files onto a table", [&] { return files({"a.csv"}); }, Source::Other, [&] { return row(c); }, -1,
         Operation::None},
        {"a sibling's fields", [] { return mime(DSSidebarTypes::fields, "x"); }, Source::Other, none, 0,
         Operation::Copy},
        {"a table archive from another sidebar", [] { return mime(DSSidebarTypes::table, "x"); },
         Source::OtherSidebar, none, 0, Operation::Every},
        {"a table archive from elsewhere", [] { return mime(DSSidebarTypes::table, "x"); }, Source::Other, none, 0,
         Operation::Copy},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        std::unique_ptr<QMimeData> data(k.data());
        EXPECT_EQ(outline->validateDrop(data.get(), k.source, k.parent(), k.row), k.expected);
    }

    // With the model's table active, columns go onto its model.
    click(b);
    std::unique_ptr<QMimeData> columns(mime(DSSidebarTypes::columnsIndex, "0"));
    EXPECT_EQ(outline->validateDrop(columns.get(), Source::StatsOutline, row(m1), -1), Operation::Every);
    EXPECT_EQ(outline->validateDrop(columns.get(), Source::StatsOutline, row(c), -1), Operation::None);
}

TEST_F(SidebarTest, TablesAndModelsMoveByTheGapRule)
{
    addTestTable(*document, QStringLiteral("D"));
    addTestTable(*document, QStringLiteral("E"));
    context->processPendingChanges();
    document->refreshView(nullptr);
    struct Case
    {
        int from, gap;
        QStringList expected;
    };
    const Case cases[] = {
        {1, 4, {"A", "C", "D", "B", "E"}},
        {3, 0, {"B", "A", "C", "D", "E"}},
        {0, 1, {"B", "A", "C", "D", "E"}},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.gap);
        const QString moved = root->tableAtIndex(k.from)->name();
        std::unique_ptr<QMimeData> data(mime(DSSidebarTypes::tableIndex, QByteArray::number(k.from)));
        ASSERT_TRUE(outline->acceptDrop(data.get(), Source::ThisSidebar, {}, k.gap));
        EXPECT_EQ(names(root), k.expected);
        EXPECT_EQ(document->active_table()->name(), moved);
        EXPECT_EQ(sidebar->selectedItem(), document->active_table());
    }

    // m2 (model 1 of B) into the gap before model 0.
    std::unique_ptr<QMimeData> model(mime(DSSidebarTypes::modelIndex, QStringLiteral("%1-1").arg(b->index()).toLatin1()));
    ASSERT_TRUE(outline->acceptDrop(model.get(), Source::ThisSidebar, row(b), 0));
    EXPECT_EQ(b->regressionModelAtIndex(0), m2);
    EXPECT_EQ(b->active_model(), m2);
    EXPECT_EQ(sidebar->selectedItem(), m2);
}

TEST_F(SidebarTest, FilesDroppedBetweenTablesAreImportedAtTheGap)
{
    QTemporaryDir dir;
    QList<QUrl> urls;
    for (const char *name : {"a.csv", "B.CSV"}) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("x,y\n1,2\n3,4\n");
        file.close();
        urls << QUrl::fromLocalFile(file.fileName());
    }
    QMimeData data;
    data.setUrls(urls);
    ASSERT_EQ(outline->validateDrop(&data, Source::Other, {}, 1), Operation::Copy);
    ASSERT_TRUE(outline->acceptDrop(&data, Source::Other, {}, 1));
    document->waitForBackgroundRuns();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(names(root), (QStringList{"A", "a", "B", "B", "C"}));
    ASSERT_TRUE(root->tableAtIndex(1));
    EXPECT_EQ(root->tableAtIndex(1)->num_records(), 2);
}

TEST_F(SidebarTest, ATableDraggedToAnotherWindowIsCopiedThere)
{
    FakeHost otherHost;
    std::unique_ptr<DSStatDocumentWindow> target = makeDocument(otherHost);
    target->active_table()->setName(QStringLiteral("T0"));
    addTestTable(*target, QStringLiteral("T1"));
    target->managedObjectContext()->processPendingChanges();
    ASSERT_TRUE(target->makeWindowControllers());
    DSTableOutlineDelegate *targetOutline = target->tables_table()->outlineDelegate();

    std::unique_ptr<QMimeData> data(outline->mimeData({row(b)}));
    ASSERT_TRUE(data);
    EXPECT_TRUE(data->hasFormat(QString::fromLatin1(DSSidebarTypes::table)));
    ASSERT_EQ(targetOutline->validateDrop(data.get(), Source::OtherSidebar, {}, 1), Operation::Every);
    ASSERT_TRUE(targetOutline->acceptDrop(data.get(), Source::OtherSidebar, {}, 1));

    DSDataRoot *targetRoot = target->data_root();
    EXPECT_EQ(names(targetRoot), (QStringList{"T0", "B", "T1"}));
    DSTable *copy = targetRoot->tableAtIndex(1);
    EXPECT_EQ(target->active_table(), copy);
    EXPECT_EQ(copy->columns().size(), 1);
    EXPECT_EQ(copy->sortedRegressionModels().size(), 2);
    EXPECT_EQ(names(root), (QStringList{"A", "B", "C"}));
    EXPECT_EQ(b->sortedRegressionModels().size(), 2);
    EXPECT_EQ(b->columns().first()->table(), b);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("copy.ostrel"));
    ASSERT_TRUE(target->writeSafelyToURL(QUrl::fromLocalFile(path), DSStatDocument::nativeType, DSSaveOperation::SaveAs));
    DSStatDocument reopened;
    ASSERT_TRUE(reopened.readFromURL(QUrl::fromLocalFile(path), DSStatDocument::nativeType));
    DSTable *saved = reopened.data_root()->tableAtIndex(1);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->name(), QStringLiteral("B"));
    EXPECT_EQ(saved->columns().size(), 1);
    EXPECT_EQ(saved->sortedRegressionModels().size(), 2);

    // The copy is one step to undo.
    target->undo();
    EXPECT_EQ(names(targetRoot), (QStringList{"T0", "T1"}));
    target->close();
}

TEST_F(SidebarTest, AHostileArchiveChangesNothing)
{
    const QByteArray archive = DSDataRoot::archivedManagedObjectDependencies(b);
    const QCborArray valid = QCborValue::fromCbor(archive).toArray();
    auto edited = [&](const std::function<void(QCborMap &)> &edit) {
        QCborArray graph = valid;
        QCborMap first = graph.at(0).toMap();
        edit(first);
        graph[0] = first;
        return QCborValue(graph).toCbor();
    };
    const std::pair<const char *, QByteArray> cases[] = {
        {"not an archive", QByteArray("\xff\x00garbage", 9)},
        {"an unknown entity", edited([](QCborMap &t) { t.insert(QStringLiteral("class"), QStringLiteral("DSEvil")); })},
        {"a wrong type", edited([](QCborMap &t) { t.insert(QStringLiteral("name"), QCborArray{1, 2}); })},
        {"a dangling reference",
         edited([](QCborMap &t) {
             t.insert(QStringLiteral("columns"), QCborArray{QStringLiteral("x-ostrel://nowhere/DSNumericDataColumn/p9")});
         })},
    };
    const qsizetype objects = objectCount(context);
    QSignalSpy shown(document.get(), &DSStatDocument::errorPresented);
    for (const auto &[what, bytes] : cases) {
        SCOPED_TRACE(what);
        shown.clear();
        std::unique_ptr<QMimeData> data(mime(DSSidebarTypes::table, bytes));
        EXPECT_FALSE(outline->acceptDrop(data.get(), Source::OtherSidebar, {}, 0));
        EXPECT_FALSE(outline->lastError().isEmpty());
        EXPECT_EQ(shown.size(), 1);
        EXPECT_EQ(names(root), (QStringList{"A", "B", "C"}));
        EXPECT_EQ(objectCount(context), objects);
        EXPECT_EQ(document->active_table(), a);
    }
}

TEST_F(SidebarTest, DeleteActivatesTheNeighbour)
{
    // Nothing selected: a beep and no change.
    sidebar->selectItem(nullptr);
    sidebar->setFocus();
    QTest::keyClick(sidebar, Qt::Key_Delete);
    EXPECT_EQ(host.beeps, 1);
    EXPECT_EQ(names(root), (QStringList{"A", "B", "C"}));
    EXPECT_EQ(document->active_table(), a);

    // The only model of a table... first delete m2, then m1.
    click(m2);
    QTest::keyClick(sidebar, Qt::Key_Delete);
    EXPECT_EQ(b->active_model(), m1);
    EXPECT_EQ(sidebar->selectedItem(), m1);
    QTest::keyClick(sidebar, Qt::Key_Delete);
    EXPECT_EQ(document->active_table(), b);
    EXPECT_EQ(b->active_model(), nullptr);
    EXPECT_TRUE(b->showTable());
    EXPECT_EQ(sidebar->selectedItem(), b);

    // The last table activates the one before it.
    click(c);
    QTest::keyClick(sidebar, Qt::Key_Delete);
    EXPECT_EQ(names(root), (QStringList{"A", "B"}));
    EXPECT_EQ(document->active_table(), b);

    // The only table leaves the import message.
    click(a);
    QTest::keyClick(sidebar, Qt::Key_Delete);
    QTest::keyClick(sidebar, Qt::Key_Delete);
    EXPECT_TRUE(root->tables().isEmpty());
    EXPECT_EQ(document->active_table(), nullptr);
    EXPECT_FALSE(document->import_data_message()->isHidden());
    EXPECT_EQ(host.beeps, 1);
}

TEST_F(SidebarTest, TheContextMenuDuplicatesAndDeletes)
{
    struct Case
    {
        const char *what;
        std::function<QModelIndex()> row;
        QStringList titles;
        bool enabled;
    };
    const Case cases[] = {
        {"empty space", [] { return QModelIndex(); }, {"Duplicate Table", "Delete Table"}, false},
        {"a table", [&] { return row(c); }, {"Duplicate Table", "Delete Table"}, true},
        {"a model", [&] { return row(m1); }, {"Duplicate Model", "Delete Model"}, true},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        std::unique_ptr<QMenu> menu(sidebar->contextMenuForRow(k.row()));
        const QList<QAction *> actions = menu->actions();
        ASSERT_EQ(actions.size(), 2);
        EXPECT_EQ(actions[0]->text(), k.titles[0]);
        EXPECT_EQ(actions[1]->text(), k.titles[1]);
        EXPECT_EQ(actions[0]->isEnabled(), k.enabled);
        EXPECT_EQ(actions[1]->isEnabled(), k.enabled);
    }

    // Duplicating from the sidebar keeps the active table.
    std::unique_ptr<QMenu> menu(sidebar->contextMenuForRow(row(b)));
    menu->actions()[0]->trigger();
    EXPECT_EQ(names(root), (QStringList{"A", "B", "B", "C"}));
    EXPECT_EQ(root->tableAtIndex(2)->sortedRegressionModels().size(), 2);
    EXPECT_EQ(document->active_table(), a);

    menu.reset(sidebar->contextMenuForRow(row(m1)));
    menu->actions()[0]->trigger();
    EXPECT_EQ(b->sortedRegressionModels().size(), 3);
    EXPECT_EQ(b->regressionModelAtIndex(0), m1);
    EXPECT_EQ(ds_object_cast<DSRegressionModel>(b->regressionModelAtIndex(1))->name(), QStringLiteral("m1"));

    // Deleting the active table from the menu activates the one now at its index.
    menu.reset(sidebar->contextMenuForRow(row(a)));
    menu->actions()[1]->trigger();
    EXPECT_EQ(names(root), (QStringList{"B", "B", "C"}));
    EXPECT_EQ(document->active_table(), b);
}

TEST_F(SidebarTest, TheTableAndModelMenusDuplicateAndDelete)
{
    DSTableMenuDelegate tables(document.get());
    DSModelMenuDelegate models(document.get());
    std::unique_ptr<QMenu> tableMenu(tables.makeMenu(nullptr));
    std::unique_ptr<QMenu> modelMenu(models.makeMenu(nullptr));
    auto enabled = [](QMenu *menu) {
        QStringList titles;
        for (QAction *item : menu->actions())
            if (item->isEnabled())
                titles << item->text();
        return titles;
    };

    // From the table menu the copy becomes the active table.
    tables.menuNeedsUpdate(tableMenu.get());
    EXPECT_EQ(enabled(tableMenu.get()), (QStringList{"New Empty Table", "Duplicate Table", "Delete Table"}));
    tableMenu->actions()[1]->trigger();
    EXPECT_EQ(names(root), (QStringList{"A", "A", "B", "C"}));
    EXPECT_EQ(document->active_table(), root->tableAtIndex(1));
    EXPECT_EQ(sidebar->selectedItem(), root->tableAtIndex(1));

    // The model menu acts only on the model side.
    models.menuNeedsUpdate(modelMenu.get());
    EXPECT_EQ(enabled(modelMenu.get()), QStringList());
    click(m2);
    models.menuNeedsUpdate(modelMenu.get());
    EXPECT_EQ(enabled(modelMenu.get()), (QStringList{"Duplicate Model", "Delete Model"}));
    modelMenu->actions()[0]->trigger();
    ASSERT_EQ(b->sortedRegressionModels().size(), 3);
    EXPECT_EQ(b->active_model(), b->regressionModelAtIndex(2));
    modelMenu->actions()[1]->trigger();
    modelMenu->actions()[1]->trigger();
    EXPECT_EQ(b->active_model(), m1);

    // "Delete Table" deletes the active table even while its model is selected.
    tableMenu->actions()[2]->trigger();
    EXPECT_EQ(names(root), (QStringList{"A", "A", "C"}));

    for (DSTable *table : root->sortedTables())
        sidebar->deleteItem(table);
    ASSERT_EQ(document->active_table(), nullptr);
    tables.menuNeedsUpdate(tableMenu.get());
    EXPECT_EQ(enabled(tableMenu.get()), QStringList{"New Empty Table"});
    tableMenu->actions()[0]->trigger();
    ASSERT_TRUE(document->active_table());
    EXPECT_EQ(document->active_table()->name(), QStringLiteral("New Table"));
    EXPECT_TRUE(document->active_table()->edit_data_unlocked());
    EXPECT_TRUE(document->import_data_message()->isHidden());
}

// The window's split views under the offscreen platform.
class SplitTest : public SidebarTest
{
protected:
    void SetUp() override
    {
        SidebarTest::SetUp();
        window = document->document_window();
        main = window->findChild<DSSplitter *>(QStringLiteral("main_splitter"));
        filters = window->findChild<DSSplitter *>(QStringLiteral("filters_splitter"));
        ASSERT_TRUE(main && filters);
        window->show();
        settle();
    }

    void settle() const { QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest); }

    // Resizes the window by dx and answers the sizes of the sidebar and the main pane.
    QList<int> widen(int dx)
    {
        window->resize(window->width() + dx, window->height());
        settle();
        return main->sizes();
    }

    // Drags divider 0 of the splitter with the mouse from its place to position.
    static void dragHandle(DSSplitter *splitter, int position)
    {
        QSplitterHandle *handle = splitter->handle(1);
        const bool horizontal = splitter->orientation() == Qt::Horizontal;
        const QPoint grab(handle->width() / 2, handle->height() / 2);
        const QPoint target = horizontal ? QPoint(position + grab.x(), grab.y()) : QPoint(grab.x(), position + grab.y());
        const QPoint global = splitter->mapToGlobal(target);
        QMouseEvent press(QEvent::MouseButtonPress, grab, handle->mapToGlobal(grab), Qt::LeftButton, Qt::LeftButton, {});
        QCoreApplication::sendEvent(handle, &press);
        QMouseEvent move(QEvent::MouseMove, handle->mapFromGlobal(global), global, Qt::NoButton, Qt::LeftButton, {});
        QCoreApplication::sendEvent(handle, &move);
        QMouseEvent release(QEvent::MouseButtonRelease, handle->mapFromGlobal(global), global, Qt::LeftButton, {}, {});
        QCoreApplication::sendEvent(handle, &release);
    }

    QMainWindow *window = nullptr;
    DSSplitter *main = nullptr;
    DSSplitter *filters = nullptr;
};

TEST_F(SplitTest, TheMainPaneAbsorbsResizesAboveItsLimitAndTheSidebarBelow)
{
    window->resize(1000, 600);
    settle();
    const int total = main->sizes()[0] + main->sizes()[1];
    main->setSizes({total - 700, 700});
    QList<int> sizes = widen(100);
    EXPECT_EQ(sizes[0], total - 700);
    EXPECT_EQ(sizes[1], 800);

    main->setSizes({total + 100 - 600, 600});
    sizes = widen(-50);
    EXPECT_EQ(sizes[0], total + 100 - 600 - 50);
    EXPECT_EQ(sizes[1], 600);
    sizes = widen(80);
    EXPECT_EQ(sizes[1], 600);
}

TEST_F(SplitTest, TheSidebarDividerStopsShortOfBothEdges)
{
    window->resize(1000, 600);
    settle();
    const int room = main->width() - main->handleWidth();
    dragHandle(main, 40);
    EXPECT_EQ(main->sizes()[0], 150);
    dragHandle(main, room - 100);
    EXPECT_EQ(main->sizes()[0], room - 600);
    dragHandle(main, 300);
    EXPECT_EQ(main->sizes()[0], 300);
    keepPicture(window, QStringLiteral("sidebar_window.png"));
}

TEST_F(SplitTest, DraggingTheFilterPaneShutOrOpenKeepsShowFiltersInStep)
{
    a->show_filters = true;
    document->refreshView(nullptr);
    settle();
    ASSERT_GT(filters->sizes()[0], 0);
    for (DSRegressionModel *model : {m1, m2})
        model->setNeeds_regression(false);
    click(b);
    for (DSRegressionModel *model : {m1, m2})
        model->setNeeds_regression(false);
    b->show_filters = true;
    document->refreshView(nullptr);
    settle();

    dragHandle(filters, 20);
    EXPECT_EQ(filters->sizes()[0], 0);
    EXPECT_FALSE(b->show_filters);
    EXPECT_TRUE(m1->needs_regression() && m2->needs_regression());

    for (DSRegressionModel *model : {m1, m2})
        model->setNeeds_regression(false);
    dragHandle(filters, 200);
    EXPECT_EQ(filters->sizes()[0], 200);
    EXPECT_TRUE(b->show_filters);
    EXPECT_TRUE(m1->needs_regression() && m2->needs_regression());

    // Short of half the kept room the pane stops at its minimum.
    dragHandle(filters, 60);
    EXPECT_EQ(filters->sizes()[0], 98);
}

TEST_F(SplitTest, APopoverShowsBesideItsAnchorAndEscapeClosesIt)
{
    DSPopover popover(window);
    auto *layout = new QVBoxLayout(&popover);
    layout->addWidget(new QLabel(QStringLiteral("Filters")));
    popover.showRelativeToView(sidebar, DSPopover::MaxXEdge);
    ASSERT_TRUE(popover.isVisible());
    const QPoint anchor = sidebar->mapToGlobal(QPoint(0, 0));
    EXPECT_EQ(popover.geometry().left(), anchor.x() + sidebar->width());
    EXPECT_NEAR(popover.geometry().center().y(), QRect(anchor, sidebar->size()).center().y(), 1);
    QTest::keyClick(&popover, Qt::Key_Escape);
    EXPECT_FALSE(popover.isVisible());
}

} // namespace
