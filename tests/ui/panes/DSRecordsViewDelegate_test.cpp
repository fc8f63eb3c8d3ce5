#include "../sheets/sheet_test_support.h"

#include "model/DSDataTable.h"
#include "model/DSNumberFormatter.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSTextDataColumn.h"
#include "model/DSTimeDataColumn.h"
#include "platform/store/DSEntityDescription.h"
#include "platform/store/DSManagedObjectContext.h"
#include "ui/panes/DSCreateDataColumnSheetDelegate.h"
#include "ui/panes/DSRecordsTableDelegate.h"
#include "ui/panes/DSRecordsTableView.h"
#include "ui/panes/DSRecordsViewDelegate.h"
#include "model/DSRowFilter.h"
#include "ui/window/DSStatDocumentWindow.h"

#include <QApplication>
#include <QCborMap>
#include <QComboBox>
#include <QDialog>
#include <QPushButton>
#include <QDate>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <algorithm>
#include <cmath>

namespace {

class RecordsPaneTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // Counts and typed numbers as a user in the United States sees them,
        // whatever the machine's locale.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        document = showNewDocumentWindow(&host);
        ASSERT_TRUE(document);
        context = document->managedObjectContext();
        table = ds_object_cast<DSDataTable>(document->active_table());
        pane = dynamic_cast<DSRecordsViewDelegate *>(document->records_delegate());
        ASSERT_TRUE(pane) << "the window makes its records pane";
        grid = pane->records_table();
        model = pane->records_table_delegate();
    }

    void TearDown() override
    {
        document.reset();
        QLocale::setDefault(QLocale::system());
    }

    DSNumericDataColumn *numbers(const QString &name, const std::vector<double> &values)
    {
        return addNumericColumn(table, name, values);
    }

    DSTextDataColumn *texts(const QString &name, const std::vector<const char *> &values)
    {
        return addTextColumn(table, name, values);
    }

    DSTimeDataColumn *times(const QString &name, qint64 rows, bool timeOfDay)
    {
        auto *column = context->insertNewObject<DSTimeDataColumn>(QStringLiteral("DSTimeDataColumn"));
        column->setName(name);
        if (timeOfDay)
            column->setRelative_time_unit(1);
        table->insertNewColumns({column}, table->columns().size());
        for (qint64 i = 0; i < rows; ++i)
            column->appendTimeValue(NAN, 0);
        column->saveAfterImport();
        return column;
    }

    // A new table is open for editing; a test that types opens it again.
    void show(qint64 records, bool editing = false)
    {
        table->setEdit_data_unlocked(editing);
        table->setNum_records(records);
        context->processPendingChanges();
        document->refreshView(nullptr);
        pane->rebuildRecordsTable();
        pane->refreshView(nullptr);
    }

    // The grid's open editor (closed ones linger hidden until deleted).
    QLineEdit *openEditor() const
    {
        for (auto *field : grid->viewport()->findChildren<QLineEdit *>())
            if (field->isVisible())
                return field;
        return nullptr;
    }

    QString cell(int row, int column) const { return model->index(row, column).data().toString(); }
    QString countLabel() const { return pane->outlet<QLabel>(QStringLiteral("number_of_records_label"))->text(); }

    // Types text into a cell through the grid's editor and ends with a key.
    void type(int row, int column, const QString &text, Qt::Key end = Qt::Key_Return)
    {
        // Return may have opened the cell below: leave it as it is.
        if (QLineEdit *open = openEditor()) {
            QTest::keyClick(open, Qt::Key_Escape);
            QApplication::processEvents();
        }
        grid->editCell(row, column);
        QLineEdit *field = openEditor();
        ASSERT_TRUE(field) << "an editor opened at " << row << ", " << column;
        field->selectAll();
        QTest::keyClicks(field, text);
        QTest::keyClick(field, end);
        QApplication::processEvents();
    }

    FakeHost host;
    std::unique_ptr<DSStatDocumentWindow> document;
    DSManagedObjectContext *context = nullptr;
    DSDataTable *table = nullptr;
    DSRecordsViewDelegate *pane = nullptr;
    DSRecordsTableView *grid = nullptr;
    DSRecordsTableDelegate *model = nullptr;
};

} // namespace

TEST_F(RecordsPaneTest, CellsShowValuesLabelsAndMissingByKind)
{
    DSNumericDataColumn *sex = numbers(QStringLiteral("sex"), {1, 2, NAN});
    QCborMap labels;
    labels.insert(1.0, QStringLiteral("Male"));
    sex->setCategory_labels(labels);
    sex->setTreat_as_categories(true);
    texts(QStringLiteral("name"), {"Ann", "", "Bo"});
    times(QStringLiteral("when"), 3, false);
    table->setShow_category_labels(true);
    show(3);

    ASSERT_EQ(model->rowCount(), 3);
    ASSERT_EQ(model->columnCount(), 4);
    EXPECT_EQ(model->headerData(1, Qt::Horizontal, Qt::UserRole).toString(), QStringLiteral("column0"));
    EXPECT_EQ(model->headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("name"));
    EXPECT_EQ(cell(0, 0), QStringLiteral("1."));
    EXPECT_EQ(cell(0, 1), QStringLiteral("Male")) << "labels on";
    EXPECT_EQ(cell(1, 1), QStringLiteral("2"));
    EXPECT_EQ(cell(2, 1), QStringLiteral("")) << "missing number";
    EXPECT_EQ(cell(1, 2), QStringLiteral("-")) << "missing text";
    EXPECT_EQ(cell(0, 3), QStringLiteral("")) << "missing time";
    EXPECT_EQ(countLabel(), QStringLiteral("3 records"));

    table->setEdit_data_unlocked(true);
    pane->refreshView(nullptr);
    EXPECT_EQ(cell(0, 1), QStringLiteral("1")) << "the number while the table is edited";
    EXPECT_TRUE(model->flags(model->index(0, 1)) & Qt::ItemIsEditable);
    EXPECT_FALSE(model->flags(model->index(0, 0)) & Qt::ItemIsEditable) << "record numbers are never edited";
}

namespace {

// The darkest pixel inside a cell of the grid as drawn: text in the normal
// colour is near black, grey text is not, an empty cell is the background.
int darkestInCell(DSRecordsTableView *grid, const QModelIndex &index)
{
    const QImage picture = grid->viewport()->grab().toImage();
    const QRect cell = grid->visualRect(index).adjusted(1, 1, -1, -1) & picture.rect();
    int darkest = 255;
    for (int y = cell.top(); y <= cell.bottom(); ++y)
        for (int x = cell.left(); x <= cell.right(); ++x)
            darkest = std::min(darkest, qGray(picture.pixel(x, y)));
    return darkest;
}

} // namespace

// A column whose first value is missing greys that cell only: the rows
// below keep the normal colour, and their dates show.
TEST_F(RecordsPaneTest, OnlyTheMissingCellOfAColumnIsGrey)
{
    numbers(QStringLiteral("number"), {NAN, 1.5, 2.5});
    texts(QStringLiteral("text"), {"", "b", "c"});
    DSTimeDataColumn *when = times(QStringLiteral("when"), 0, false);
    const double day = 86400;
    for (double t : {double(NAN), 700 * day, 701 * day})
        when->appendTimeValue(t, day);
    when->saveAfterImport();
    show(3);
    document->document_window()->resize(700, 400);
    QApplication::processEvents();

    struct Case
    {
        int column;
        const char *kind;
    };
    for (const Case c : {Case{1, "numeric"}, Case{2, "text"}, Case{3, "time"}}) {
        SCOPED_TRACE(c.kind);
        EXPECT_TRUE(model->index(0, c.column).data(Qt::ForegroundRole).isValid()) << "the missing cell is grey";
        for (int row : {1, 2}) {
            const QModelIndex index = model->index(row, c.column);
            EXPECT_FALSE(index.data(Qt::ForegroundRole).isValid()) << "row " << row << " in the normal colour";
            EXPECT_FALSE(index.data().toString().isEmpty()) << "row " << row << " shows its value";
            EXPECT_LT(darkestInCell(grid, index), 60) << "row " << row << " drawn dark";
        }
    }
    EXPECT_EQ(cell(1, 1), QStringLiteral("1.5"));
    EXPECT_EQ(cell(0, 3), QString());
    EXPECT_NE(cell(1, 3), cell(2, 3)) << "two different dates";
    EXPECT_GT(darkestInCell(grid, model->index(0, 2)), 60) << "the missing text is grey";
    keepPicture(document->document_window(), QStringLiteral("records_first_value_missing.png"));
}

TEST_F(RecordsPaneTest, TheCountLabelNamesRecordsAndTheSelection)
{
    numbers(QStringLiteral("x"), std::vector<double>(1234, 1.0));
    show(1234);
    grid->selectRow(0);
    grid->selectionModel()->select(model->index(5, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    model->reload();
    EXPECT_EQ(countLabel(), QStringLiteral("1,234 records (2 selected)"));
    table->dropRows({0, 1, 2});
    show(1231);
    table->setNum_records(1);
    model->reload();
    EXPECT_EQ(countLabel(), QStringLiteral("1 record"));
}

TEST_F(RecordsPaneTest, TypedValuesAreParsedByTheColumnsKind)
{
    DSTimeDataColumn *day = times(QStringLiteral("day"), 2, false);
    DSTimeDataColumn *clock = times(QStringLiteral("clock"), 2, true);
    DSNumericDataColumn *x = numbers(QStringLiteral("x"), {1, 2});
    show(2, true);

    type(0, 1, QStringLiteral("12/25/24"));
    type(0, 2, QStringLiteral("3:15 PM"));
    type(0, 3, QStringLiteral("abc"));
    type(1, 3, QStringLiteral("2.5"));

    const double *value = nullptr, *interval = nullptr;
    ASSERT_EQ(day->getTimeValues(&value, &interval, 0, 1), 1);
    EXPECT_EQ(*value, double(QDate(2001, 1, 1).daysTo(QDate(2024, 12, 25))) * 86400);
    EXPECT_EQ(*interval, 86400);
    ASSERT_EQ(clock->getTimeValues(&value, &interval, 0, 1), 1);
    EXPECT_EQ(*value, 15 * 3600 + 15 * 60) << "15:15 is 54,900 seconds after midnight";
    EXPECT_EQ(*interval, 60);
    const double *numbersRead = nullptr;
    ASSERT_EQ(x->getValues(&numbersRead, 0, 2), 2);
    EXPECT_TRUE(std::isnan(numbersRead[0])) << "text no rule reads is missing";
    EXPECT_EQ(numbersRead[1], 2.5);
}

TEST_F(RecordsPaneTest, TabAtTheLastCellAddsARecordAndEditsItsFirstCell)
{
    numbers(QStringLiteral("a"), {1, 2});
    numbers(QStringLiteral("b"), {3, 4});
    show(2, true);

    type(1, 2, QStringLiteral("7"), Qt::Key_Tab);
    EXPECT_EQ(table->num_records(), 3);
    EXPECT_EQ(model->rowCount(), 3);
    EXPECT_EQ(grid->currentIndex().row(), 2);
    EXPECT_EQ(grid->currentIndex().column(), 1) << "the first editable column";
    EXPECT_TRUE(openEditor()) << "editing the new cell";
    EXPECT_EQ(cell(1, 2), QStringLiteral("7"));
    keepPicture(document->document_window(), QStringLiteral("records_grid_editing.png"));
}

TEST_F(RecordsPaneTest, SortingKeepsTheSelectedRecordsSelected)
{
    numbers(QStringLiteral("x"), {5, NAN, 1, 5, 3, 2});
    texts(QStringLiteral("t"), {"b", "a", "c", "a", "b", "c"});
    show(6);
    pane->selectRecords({0, 2, 4});
    EXPECT_EQ(pane->selectedRecords(), (DSIndexSet{0, 2, 4}));

    model->sort(1, Qt::DescendingOrder);
    EXPECT_EQ(table->sort_by_column(), table->columnAtIndex(0));
    std::vector<qint64> order;
    for (int row = 0; row < 6; ++row)
        order.push_back(pane->convertRowToIndex(row));
    EXPECT_EQ(order, (std::vector<qint64>{0, 3, 4, 5, 2, 1})) << "ties in record order, missing last";
    EXPECT_EQ(pane->selectedRecords(), (DSIndexSet{0, 2, 4}));
    EXPECT_EQ(pane->selectedColumns(), QList<DSColumn *>{table->columnAtIndex(0)}) << "the sort column";

    model->sort(2, Qt::AscendingOrder);
    order.clear();
    for (int row = 0; row < 6; ++row)
        order.push_back(pane->convertRowToIndex(row));
    EXPECT_EQ(order, (std::vector<qint64>{1, 3, 0, 4, 2, 5})) << "text by bin, ties in record order";
    EXPECT_EQ(pane->selectedRecords(), (DSIndexSet{0, 2, 4}));
    keepPicture(document->document_window(), QStringLiteral("records_grid_sorted.png"));
}

TEST_F(RecordsPaneTest, TheColumnSearchHidesOtherColumns)
{
    numbers(QStringLiteral("height"), {1});
    numbers(QStringLiteral("weight"), {2});
    show(1);
    pane->updateFilter(QStringLiteral("height"));
    EXPECT_FALSE(grid->isColumnHidden(1));
    EXPECT_TRUE(grid->isColumnHidden(2));
    pane->updateFilter(QStringLiteral("   "));
    EXPECT_FALSE(grid->isColumnHidden(2)) << "blanks only show every column";
}

TEST_F(RecordsPaneTest, TheAddColumnSheetAppendsAnEmptyColumnOfTheChosenKind)
{
    numbers(QStringLiteral("x"), {1, 2, 3, 4, 5});
    show(5, true);
    table->column_filter_records = QStringLiteral("x");
    DSCreateDataColumnSheetDelegate *sheet = pane->create_column_sheet_delegate();
    ASSERT_TRUE(sheet);
    auto *kind = sheet->outlet<QComboBox>(QStringLiteral("type_button"));
    auto *name = sheet->outlet<QLineEdit>(QStringLiteral("name_field"));

    struct Case
    {
        int kind;
        const char *entity;
        bool timeOfDay;
    };
    for (const Case &c : {Case{DSCreateDataColumnSheetDelegate::TimeOfDay, "DSTimeDataColumn", true},
                          Case{DSCreateDataColumnSheetDelegate::DateAndTime, "DSTimeDataColumn", false},
                          Case{DSCreateDataColumnSheetDelegate::Duration, "DSNumericDataColumn", false},
                          Case{DSCreateDataColumnSheetDelegate::Text, "DSTextDataColumn", false}}) {
        pane->addColumn();
        ASSERT_TRUE(sheet->isShown());
        ASSERT_TRUE(QTest::qWaitForWindowActive(sheet->sheet())) << "the user sees the sheet";
        kind->setCurrentIndex(kind->findData(c.kind));
        EXPECT_EQ(sheet->outlet<QWidget>(QStringLiteral("duration_options"))->isVisibleTo(sheet->sheet()),
                  c.kind == DSCreateDataColumnSheetDelegate::Duration);
        name->setText(QStringLiteral("new %1").arg(c.kind));
        QTest::mouseClick(sheet->outlet<QPushButton>(QStringLiteral("save_button")), Qt::LeftButton);
        EXPECT_TRUE(QTest::qWaitFor([&] { return openEditor() != nullptr; }, 1000)) << "editing the new column";

        DSColumn *added = table->sortedColumns().last();
        EXPECT_EQ(added->entity()->name(), QString::fromLatin1(c.entity));
        EXPECT_EQ(added->name(), QStringLiteral("new %1").arg(c.kind));
        if (auto *time = ds_object_cast<DSTimeColumn>(added)) {
            EXPECT_EQ(time->isTimeOfDay(), c.timeOfDay);
        }
        if (auto *number = ds_object_cast<DSNumericDataColumn>(added)) {
            EXPECT_EQ(number->number_formatter()->number_style(), 500) << "a duration";
            const double *values = nullptr;
            ASSERT_EQ(number->getValues(&values, 0, 5), 5);
            for (int i = 0; i < 5; ++i)
                EXPECT_TRUE(std::isnan(values[i]));
        }
        EXPECT_EQ(table->column_filter_records, QString()) << "the search is cleared";
        const int gridColumn = model->gridColumnOfColumn(added);
        EXPECT_FALSE(grid->isColumnHidden(gridColumn));
        EXPECT_EQ(grid->currentIndex(), model->index(0, gridColumn)) << "editing its first cell";
        ASSERT_TRUE(openEditor());
        QTest::keyClick(openEditor(), Qt::Key_Escape);
    }
    keepPicture(document->document_window(), QStringLiteral("records_added_columns.png"));

    const qsizetype before = table->columns().size();
    pane->addColumn();
    QTest::mouseClick(sheet->outlet<QPushButton>(QStringLiteral("cancel_button")), Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_EQ(table->columns().size(), before) << "cancel changes nothing";
}

namespace {

// A first filter that keeps records 3 and 7 only.
class KeepThreeAndSeven : public DSRowFilter
{
public:
    bool willClearBits(bool excluded, uint32_t) const override { return !excluded; }
    void clearUnmatchingBitsFromMask(uint8_t *mask, int64_t length, bool excluded, uint32_t flags) const override
    {
        if (willClearBits(excluded, flags))
            for (int64_t byte = 0; byte < length; ++byte)
                mask[byte] &= byte == 0 ? uint8_t(1u << 3 | 1u << 7) : 0;
    }
};

} // namespace

TEST(RecordsPaneMaskTest, OnlyTheRecordsTheMaskKeepsAreRowsAndCanBeSelected)
{
    static const KeepThreeAndSeven keep;
    registerTestRowFilters({&keep});
    FakeHost host;
    std::unique_ptr<DSStatDocumentWindow> document = showNewDocumentWindow(&host);
    ASSERT_TRUE(document);
    auto *table = ds_object_cast<DSDataTable>(document->active_table());
    auto *column = document->managedObjectContext()->insertNewObject<DSNumericDataColumn>(
        QStringLiteral("DSNumericDataColumn"));
    table->insertNewColumns({column}, 0);
    for (int i = 0; i < 10; ++i)
        column->appendValue(i);
    column->saveAfterImport();
    table->setNum_records(10);
    table->show_filters = true;
    document->managedObjectContext()->processPendingChanges();
    document->rebuildFilterViews();
    document->refreshView(nullptr);
    auto *pane = dynamic_cast<DSRecordsViewDelegate *>(document->records_delegate());
    ASSERT_TRUE(pane);
    pane->refreshView(nullptr);

    ASSERT_EQ(pane->records_table_delegate()->rowCount(), 2);
    EXPECT_EQ(pane->convertRowToIndex(0), 3);
    EXPECT_EQ(pane->convertRowToIndex(1), 7);
    pane->selectRecords({1, 3});
    EXPECT_EQ(pane->selectedRecords(), DSIndexSet{3});
    EXPECT_EQ(pane->numberOfSelectedRecords(), 1);
    document.reset();
    registerTestRowFilters({});
}
