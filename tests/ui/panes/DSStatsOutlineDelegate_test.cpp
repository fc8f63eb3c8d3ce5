#include "../sheets/sheet_test_support.h"

#include "charts/DSStyle.h"
#include "derived/DSNumericRecodeColumn.h"
#include "filter/DSTableFilterSet.h"
#include "model/DSColumnSelection.h"
#include "model/DSColumnSummary.h"
#include "model/DSDataTable.h"
#include "model/DSNumericColumnCategory.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSTextDataColumn.h"
#include "model/DSTimeDataColumn.h"
#include "platform/calendar/DSPlatformDateFormatter.h"
#include "platform/format/DSPlatformNumberFormatter.h"
#include "platform/store/DSManagedObjectContext.h"
#include "platform/store/DSObjectFactory.h"
#include "ui/menus/ds_summary_table_columns.h"
#include "ui/panes/DSRecordsViewDelegate.h"
#include "ui/panes/DSStatsOutlineDelegate.h"
#include "ui/panes/DSStatsOutlineView.h"
#include "ui/panes/DSSummaryViewDelegate.h"
#include "model/DSRowFilter.h"
#include "ui/window/DSStatDocumentWindow.h"
#include "tests/support/ds_test_sizes.h"

#include <QApplication>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>

#include <cmath>
#include <fstream>
#include <map>
#include <memory>
#include <set>

namespace {

// The option words of every statistics request of the spy columns.
std::vector<uint64_t> g_requests;

class SpyNumericColumn : public DSNumericDataColumn
{
public:
    ds_stats_s calculateStatsWithMask(const uint8_t *mask, qint64 length, uint64_t options) override
    {
        g_requests.push_back(options);
        return DSNumericDataColumn::calculateStatsWithMask(mask, length, options);
    }
};

constexpr qint64 k_everyStatistic = 0xFFFF;

// The first filter of the pane lets every row through but the first.
class RejectFirstRow : public DSRowFilter
{
public:
    bool willClearBits(bool excluded, uint32_t) const override { return !excluded; }
    void clearUnmatchingBitsFromMask(uint8_t *mask, int64_t length, bool excluded, uint32_t flags) const override
    {
        if (length > 0 && willClearBits(excluded, flags))
            mask[0] &= uint8_t(~1u);
    }
};

// The warnings Qt writes while a test runs.
QStringList g_warnings;
void collectWarnings(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtWarningMsg && message.startsWith(QLatin1String("QAbstractItemView")))
        g_warnings.append(message);
}

class StatsOutlineTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        document = showNewDocumentWindow(&host);
        ASSERT_TRUE(document);
        context = document->managedObjectContext();
        table = ds_object_cast<DSDataTable>(document->active_table());
        pane = dynamic_cast<DSSummaryViewDelegate *>(document->summary_delegate());
        ASSERT_TRUE(pane);
        outline = dynamic_cast<DSStatsOutlineView *>(pane->stats_table());
        ASSERT_TRUE(outline) << "the pane's outline is the statistics outline view";
        ASSERT_TRUE(outline->inherits("DSStatsOutlineView")) << "the sidebar tells its drags by class name";
        model = pane->stats_outline_delegate();
        document->document_window()->resize(1100, 700);
        document->showSummary(nullptr);
    }

    void TearDown() override
    {
        document.reset();
        DSObjectFactory::registerClass<DSNumericDataColumn>(QStringLiteral("DSNumericDataColumn"));
        g_requests.clear();
        QLocale::setDefault(QLocale::system());
    }

    DSNumericDataColumn *numbers(const QString &name, const std::vector<double> &values)
    {
        grow(qint64(values.size()));
        return addNumericColumn(table, name, values);
    }

    DSTextDataColumn *texts(const QString &name, const std::vector<const char *> &values)
    {
        grow(qint64(values.size()));
        return addTextColumn(table, name, values);
    }

    void grow(qint64 rows)
    {
        if (rows > table->num_records())
            table->setNum_records(rows);
    }

    void showColumns(qint64 mask)
    {
        table->setPrimitiveValue(qlonglong(mask), QStringLiteral("summary_table_column_mask"));
    }

    void show()
    {
        context->processPendingChanges();
        document->refreshView(nullptr);
    }

    QModelIndex cell(const QModelIndex &item, const char *identifier) const
    {
        return item.siblingAtColumn(model->sectionOfIdentifier(QString::fromLatin1(identifier)));
    }
    QString text(const QModelIndex &item, const char *identifier) const
    {
        return model->data(cell(item, identifier), Qt::DisplayRole).toString();
    }
    bool grey(const QModelIndex &item, const char *identifier) const
    {
        return model->data(cell(item, identifier), Qt::ForegroundRole).value<QColor>() == QColor(Qt::gray);
    }
    QModelIndex categoryRow(DSColumn *column, qint64 place) const
    {
        outline->expand(model->itemOfColumn(column));
        return model->itemOfCategory(column, place);
    }
    QStringList columnNames() const
    {
        QStringList names;
        for (DSColumn *column : table->sortedColumns())
            names.append(column->name());
        return names;
    }

    // Types the text into the cell's editor and ends the edit with the key.
    void typeInto(const QModelIndex &item, const char *identifier, const QString &typed, Qt::Key end)
    {
        const QModelIndex target = cell(item, identifier);
        outline->setCurrentIndex(target);
        outline->edit(target);
        auto *editor = qobject_cast<QLineEdit *>(outline->indexWidget(target));
        ASSERT_TRUE(editor) << "an editor opens on " << identifier;
        editor->selectAll();
        QTest::keyClicks(editor, typed);
        QTest::keyClick(editor, end);
        settle();
    }
    // The editor commits its text in a queued call, and the next edit
    // starts in a timer of its own.
    static void settle()
    {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }
    // The cell being edited, or an invalid index.
    QModelIndex editedCell() const
    {
        const QModelIndex current = outline->currentIndex();
        return outline->indexWidget(current) ? current : QModelIndex();
    }

    FakeHost host;
    std::unique_ptr<DSStatDocumentWindow> document;
    DSManagedObjectContext *context = nullptr;
    DSDataTable *table = nullptr;
    DSSummaryViewDelegate *pane = nullptr;
    DSStatsOutlineView *outline = nullptr;
    DSStatsOutlineDelegate *model = nullptr;
};

TEST_F(StatsOutlineTest, ShownStatisticsAloneAreComputed)
{
    DSObjectFactory::registerClass<SpyNumericColumn>(QStringLiteral("DSNumericDataColumn"));
    DSColumn *x = numbers(QStringLiteral("x"), {3, 1, 4, 1, 5, 9, 2, 6});
    ASSERT_TRUE(dynamic_cast<SpyNumericColumn *>(x));

    struct Case
    {
        qint64 mask;
        std::set<uint64_t> requests;
    };
    const Case cases[] = {
        {1 | 8, {ds_stats_extremes}},                          // name and count
        {1 | 8 | 16 | 32, {ds_stats_extremes, ds_stats_moments}}, // and mean, deviation
        {1 | 1024, {ds_stats_quartiles}},                      // the median alone
        {k_everyStatistic, {ds_stats_extremes, ds_stats_moments, ds_stats_quartiles}},
    };
    for (const Case &c : cases) {
        x->purgeStats();
        g_requests.clear();
        showColumns(c.mask);
        show();
        outline->grab();  // paints the visible cells, which ask for their values
        const std::set<uint64_t> requested(g_requests.begin(), g_requests.end());
        EXPECT_EQ(requested, c.requests) << "mask " << c.mask;
        EXPECT_EQ(g_requests.size(), c.requests.size()) << "each record is computed once, then cached";
    }
}

TEST_F(StatsOutlineTest, CellsByKindOfColumnAndRow)
{
    DSColumn *words = texts(QStringLiteral("words"), {"a", "b", "c", "d"});
    words->setTreat_as_categories(false);
    DSColumn *codes = numbers(QStringLiteral("codes"), {1, 2, 2, 3, 5, 8, NAN, NAN});
    codes->setTreat_as_categories(true);
    DSColumn *single = numbers(QStringLiteral("single"), {4});
    single->setTreat_as_categories(false);
    // Five days from 2001-01-01, one day apart.
    auto *days = context->insertNewObject<DSTimeDataColumn>(QStringLiteral("DSTimeDataColumn"));
    days->setName(QStringLiteral("days"));
    table->insertNewColumns({days}, table->columns().size());
    for (int i = 0; i < 5; ++i)
        days->appendTimeValue(i * 86400.0, 86400);
    days->saveAfterImport();
    showColumns(k_everyStatistic);
    show();

    const QModelIndex wordsRow = model->itemOfColumn(words);
    const QModelIndex codesRow = model->itemOfColumn(codes);
    const QModelIndex singleRow = model->itemOfColumn(single);
    const QModelIndex daysRow = model->itemOfColumn(days);
    EXPECT_EQ(text(codesRow, "count"), QStringLiteral("6"));
    const auto summary = codes->temp_summary();
    ASSERT_TRUE(summary) << "a column treated as categories has its summary once its cells are read";
    const qint64 lastPlace = summary->numberOfNonEmptyCategories() - 1;
    const QModelIndex missingRow = categoryRow(codes, lastPlace);
    ASSERT_TRUE(model->categoryOfItem(missingRow)->is_missing()) << "the missing category comes last";

    struct Case
    {
        QModelIndex row;
        const char *identifier;
        QString shown;
        bool grey;
    };
    const QString dash = QStringLiteral("-");
    std::vector<Case> cases;
    for (const ds_table_column_info_s &info : ds_summary_table_columns())
        if (info.mask >= 8)
            cases.push_back({wordsRow, info.identifier, dash, true});
    for (const char *identifier : {"mean", "stddev", "stderr", "confidence-interval", "mad"})
        cases.push_back({codesRow, identifier, dash, true});
    cases.insert(cases.end(), {
                                  {wordsRow, "name", QStringLiteral("words"), false},
                                  {codesRow, "count", QStringLiteral("6"), false},
                                  {codesRow, "min", QStringLiteral("1"), false},
                                  {codesRow, "max", QStringLiteral("8"), false},
                                  {codesRow, "range", QStringLiteral("(1, 8)"), false},
                                  {codesRow, "iqr", QStringLiteral("(2, 5)"), false},
                                  {missingRow, "name", QStringLiteral("Missing"), true},
                                  {missingRow, "count", QStringLiteral("2"), true},
                                  {missingRow, "mean", QStringLiteral("(0.25)"), true},
                                  {missingRow, "confidence-interval", dash, true},
                                  {singleRow, "count", QStringLiteral("1"), false},
                                  {singleRow, "mean", QStringLiteral("4"), false},
                                  {singleRow, "stddev", QStringLiteral(""), false},
                                  {singleRow, "stderr", QStringLiteral(""), false},
                                  {singleRow, "confidence-interval", QStringLiteral(""), false},
                                  {daysRow, "count", QStringLiteral("5"), false},  // of 8 rows
                                  {daysRow, "mean", dash, true},
                                  {daysRow, "range", dash, true},
                              });
    for (const Case &c : cases) {
        SCOPED_TRACE(model->columnOfItem(c.row)->name().toStdString() + " " + c.identifier);
        EXPECT_EQ(text(c.row, c.identifier), c.shown);
        EXPECT_EQ(grey(c.row, c.identifier), c.grey);
    }
    EXPECT_FALSE(model->data(cell(missingRow, "preview"), Qt::DecorationRole).isValid())
        << "the missing category has no chart";
    // Dates at the precision of the data: days.
    EXPECT_TRUE(text(daysRow, "min").contains(QStringLiteral("2001"))) << text(daysRow, "min").toStdString();
    EXPECT_NE(text(daysRow, "min"), text(daysRow, "max"));
    EXPECT_EQ(text(daysRow, "median"), model->dateFormatterForItem(daysRow, {}, nullptr)->stringFromTime(2 * 86400.0));
    const QModelIndex first = categoryRow(codes, 0);
    EXPECT_EQ(text(first, "min"), QStringLiteral("✓"));
    EXPECT_EQ(text(first, "max"), QStringLiteral(""));
    EXPECT_EQ(text(first, "mean"), QStringLiteral("0.167")) << "a share of the non-missing rows";
}

TEST_F(StatsOutlineTest, MeanDeviationErrorAndIntervalAgreeWithRsTTest)
{
    std::vector<double> values;
    std::ifstream in(OSTREL_TEST_SOURCE_DIR "/fixtures/t_test_values.txt");
    for (double x; in >> x;)
        values.push_back(x);
    ASSERT_EQ(values.size(), 1000u);
    std::map<std::string, double> r;
    std::ifstream expected(OSTREL_TEST_SOURCE_DIR "/fixtures/t_test_expected.txt");
    std::string key;
    for (double x; expected >> key >> x;)
        r[key] = x;
    ASSERT_EQ(r.size(), 5u);

    DSColumn *x = numbers(QStringLiteral("x"), values);
    table->setConfidence_level(0.95);
    showColumns(k_everyStatistic);
    show();
    const QModelIndex row = model->itemOfColumn(x);
    auto shown = [&](const char *identifier, double value) {
        const auto *formatter = model->numberFormatterForItem(row, QString::fromLatin1(identifier), pane->style());
        const int digits = model->minimumSignificantDigits(row, QString::fromLatin1(identifier));
        return digits ? formatter->stringFromNumberWithSignificantDigits(value, digits) : formatter->stringFromNumber(value);
    };
    EXPECT_EQ(text(row, "mean"), shown("mean", r["mean"]));
    EXPECT_EQ(text(row, "stddev"), QStringLiteral("(%1)").arg(shown("stddev", r["sd"])));
    EXPECT_EQ(text(row, "stderr"), shown("stderr", r["se"]));
    EXPECT_EQ(text(row, "confidence-interval"),
              QStringLiteral("(%1, %2)").arg(shown("confidence-interval", r["lower"]),
                                             shown("confidence-interval", r["upper"])));
    EXPECT_GE(text(row, "stderr").section(QLatin1Char('.'), 1).size(), 2) << text(row, "stderr").toStdString();
    std::cout << "mean " << text(row, "mean").toStdString() << ", sd " << text(row, "stddev").toStdString()
              << ", se " << text(row, "stderr").toStdString() << ", interval "
              << text(row, "confidence-interval").toStdString() << std::endl;
}

// Standard errors of a long column are small: each shows its two
// significant digits, never a bare 0 under the one fraction digit its
// formatter keeps.
// The outline formatting through the application's result formatters (the
// panes take them when they are made): the standard errors take the one
// fraction digit of its percentages formatter.
class FormattedStatsOutlineTest : public StatsOutlineTest
{
protected:
    const ResultFormattersHost application;
};

TEST_F(FormattedStatsOutlineTest, SmallStandardErrorsShowTwoSignificantDigits)
{
    // The plain build takes a million rows; the sanitizer builds fewer.
    const qint64 n = ds_test_under_sanitizer ? 10000 : 1000000;
    struct Case
    {
        double standardError;
        const char *shown;
    };
    const Case cases[] = {{0.0011, "0.0011"}, {0.012, "0.012"}, {0.029, "0.029"}, {1.26, "1.3"}};
    std::vector<DSColumn *> columns;
    for (const Case &c : cases) {
        // ±a about 0: the unbiased variance is n a² / (n - 1), so the
        // standard error is a / sqrt(n - 1).
        const double a = c.standardError * std::sqrt(double(n - 1));
        std::vector<double> values(size_t(n), 0.0);
        for (qint64 i = 0; i < n; ++i)
            values[size_t(i)] = i % 2 ? a : -a;
        columns.push_back(numbers(QString::fromLatin1(c.shown), values));
        // Two values would make it a column of categories.
        columns.back()->setTreat_as_categories(false);
    }
    showColumns(k_everyStatistic);
    show();
    document->document_window()->resize(1600, 500);
    for (size_t i = 0; i < columns.size(); ++i) {
        const QModelIndex row = model->itemOfColumn(columns[i]);
        EXPECT_EQ(text(row, "stderr"), QString::fromLatin1(cases[i].shown));
    }
    outline->scrollTo(cell(model->itemOfColumn(columns.front()), "confidence-interval"));
    keepPicture(outline, QStringLiteral("stats_outline_small_errors.png"));
}

TEST_F(StatsOutlineTest, ReturnAfterADescriptionMovesOnToAnEmptyNextOne)
{
    DSColumn *a = numbers(QStringLiteral("a"), {1, 2});
    DSColumn *b = numbers(QStringLiteral("b"), {1, 2});
    DSColumn *c = numbers(QStringLiteral("c"), {1, 2});
    DSColumn *d = numbers(QStringLiteral("d"), {1, 2});
    b->setTitle(QStringLiteral("described"));
    show();

    typeInto(model->itemOfColumn(a), "title", QStringLiteral("first"), Qt::Key_Return);
    EXPECT_EQ(a->title(), QStringLiteral("first"));
    EXPECT_FALSE(editedCell().isValid()) << "the next column has a description";

    typeInto(model->itemOfColumn(c), "title", QStringLiteral("third"), Qt::Key_Tab);
    EXPECT_EQ(c->title(), QStringLiteral("third"));
    EXPECT_NE(editedCell(), cell(model->itemOfColumn(d), "title")) << "only Return moves on";
    outline->closePersistentEditor(outline->currentIndex());
    QCoreApplication::processEvents();

    typeInto(model->itemOfColumn(c), "title", QStringLiteral("third again"), Qt::Key_Return);
    EXPECT_EQ(table->column_selection()->columnNames(), QStringList{QStringLiteral("d")});
    EXPECT_EQ(editedCell(), cell(model->itemOfColumn(d), "title")) << "editing goes on one row below";

    auto *editor = qobject_cast<QLineEdit *>(outline->indexWidget(editedCell()));
    ASSERT_TRUE(editor);
    QTest::keyClicks(editor, QStringLiteral("last"));
    QTest::keyClick(editor, Qt::Key_Return);
    settle();
    EXPECT_EQ(d->title(), QStringLiteral("last"));
    EXPECT_FALSE(editedCell().isValid()) << "never past the last column";
}

TEST_F(StatsOutlineTest, ReturnAfterACategoryLabel)
{
    DSColumn *fruit = texts(QStringLiteral("fruit"), {"apple", "pear", "plum", "apple"});
    fruit->setTreat_as_categories(true);
    show();
    ASSERT_EQ(model->rowCount(model->itemOfColumn(fruit)), 3);

    typeInto(categoryRow(fruit, 0), "title", QStringLiteral("Apfel"), Qt::Key_Return);
    EXPECT_EQ(fruit->category_labels().value(QStringLiteral("apple")).toString(), QStringLiteral("Apfel"));
    ASSERT_EQ(table->column_selection()->count(), 1);
    ASSERT_EQ(table->column_selection()->numberOfCategoriesAtIndex(0), 1);
    EXPECT_EQ(table->active_column_category()->formattedValue(), QStringLiteral("pear"));
    EXPECT_EQ(editedCell(), cell(categoryRow(fruit, 1), "title")) << "the next unlabelled category";
    outline->closePersistentEditor(outline->currentIndex());
    QCoreApplication::processEvents();

    typeInto(categoryRow(fruit, 2), "title", QStringLiteral("Pflaume"), Qt::Key_Return);
    EXPECT_EQ(fruit->category_labels().value(QStringLiteral("plum")).toString(), QStringLiteral("Pflaume"));
    EXPECT_EQ(table->column_selection()->columnNames(), QStringList{QStringLiteral("fruit")});
    EXPECT_EQ(table->column_selection()->numberOfCategoriesAtIndex(0), 0) << "the column alone";
    EXPECT_FALSE(editedCell().isValid());
    const QModelIndexList selected = outline->selectionModel()->selectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(selected.first(), model->itemOfColumn(fruit));

    typeInto(categoryRow(fruit, 0), "title", QString(), Qt::Key_Escape);
    EXPECT_EQ(fruit->category_labels().value(QStringLiteral("apple")).toString(), QStringLiteral("Apfel"))
        << "a cancelled edit stores nothing";
}

TEST_F(StatsOutlineTest, TabEndsAnEditInPlaceWhileTheViewClosesItsEditor)
{
    DSColumn *a = numbers(QStringLiteral("a"), {1, 2});
    numbers(QStringLiteral("b"), {1, 2});
    show();
    struct Case
    {
        const char *identifier;
        Qt::Key end;
        QString typed;
    };
    const Case cases[] = {
        {"title", Qt::Key_Tab, QStringLiteral("first")},
        {"title", Qt::Key_Backtab, QStringLiteral("second")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.identifier) + (c.end == Qt::Key_Tab ? " Tab" : " Backtab"));
        g_warnings.clear();
        const QtMessageHandler previous = qInstallMessageHandler(collectWarnings);
        typeInto(model->itemOfColumn(a), c.identifier, c.typed, c.end);
        qInstallMessageHandler(previous);
        EXPECT_EQ(model->data(cell(model->itemOfColumn(a), c.identifier), Qt::DisplayRole).toString(), c.typed);
        EXPECT_FALSE(editedCell().isValid()) << "no other cell is edited";
        EXPECT_EQ(g_warnings, QStringList());
    }
}

TEST_F(StatsOutlineTest, DroppedColumnsLandWhereTheyAreShown)
{
    QList<DSColumn *> c;
    for (int i = 0; i < 7; ++i)
        c.append(numbers(QStringLiteral("c%1").arg(i), {1, 2}));
    show();
    auto drag = [&](std::initializer_list<DSColumn *> columns) {
        QModelIndexList items;
        for (DSColumn *column : columns)
            items.append(model->itemOfColumn(column));
        return std::unique_ptr<QMimeData>(model->mimeData(items));
    };
    auto order = [&](std::initializer_list<const char *> names) {
        QStringList list;
        for (const char *name : names)
            list.append(QString::fromLatin1(name));
        return list;
    };
    struct Case
    {
        int position;
        QStringList order;
    };
    const Case cases[] = {
        {2, order({"c0", "c1", "c3", "c2", "c4", "c5", "c6"})},
        {5, order({"c0", "c1", "c4", "c2", "c3", "c5", "c6"})},
        {7, order({"c0", "c1", "c4", "c5", "c6", "c2", "c3"})},
    };
    for (const Case &test : cases) {
        for (int i = 0; i < 7; ++i)
            table->moveColumnAtIndex(c[i]->index(), i);
        show();
        const auto data = drag({c[2], c[3]});
        ASSERT_TRUE(data);
        EXPECT_EQ(QString::fromUtf8(data->data(QString::fromLatin1(DSStatsOutlineDelegate::k_columnsType))),
                  QStringLiteral("2-3"));
        ASSERT_TRUE(model->canDropMimeData(data.get(), Qt::CopyAction, test.position, 0, {}));
        EXPECT_TRUE(model->dropMimeData(data.get(), Qt::CopyAction, test.position, 0, {}));
        EXPECT_EQ(columnNames(), test.order) << "at " << test.position;
    }

    // Under a search, positions are places in the list as shown.
    for (int i = 0; i < 7; ++i)
        table->moveColumnAtIndex(c[i]->index(), i);
    c[1]->setName(QStringLiteral("other1"));
    c[3]->setName(QStringLiteral("other3"));
    show();
    pane->control<QLineEdit>("column_filter_field")->setText(QStringLiteral("c"));
    model->updateFilter(QStringLiteral("c"));
    ASSERT_EQ(model->rowCount(), 5);  // c0 c2 c4 c5 c6
    {
        const auto data = drag({c[0]});
        EXPECT_TRUE(model->dropMimeData(data.get(), Qt::CopyAction, 2, 0, {}));  // the gap before c4
    }
    EXPECT_EQ(columnNames(), order({"other1", "c2", "other3", "c0", "c4", "c5", "c6"}));
    {
        // Onto the upper half of c6's row: before c6.
        const QModelIndex target = model->itemOfColumn(c[6]);
        outline->scrollTo(target);
        model->setDropPoint(outline->visualRect(target).topLeft() + QPoint(4, 1));
        const auto data = drag({c[2]});
        EXPECT_TRUE(model->dropMimeData(data.get(), Qt::CopyAction, -1, 0, target));
    }
    EXPECT_EQ(columnNames(), order({"other1", "other3", "c0", "c4", "c5", "c2", "c6"}));
    {
        // Onto the lower half of c0's row: after c0.
        const QModelIndex target = model->itemOfColumn(c[0]);
        model->setDropPoint(outline->visualRect(target).bottomLeft() + QPoint(4, -1));
        const auto data = drag({c[6]});
        EXPECT_TRUE(model->dropMimeData(data.get(), Qt::CopyAction, -1, 0, target));
    }
    EXPECT_EQ(columnNames(), order({"other1", "other3", "c0", "c6", "c4", "c5", "c2"}));
}

TEST_F(StatsOutlineTest, CategoriesDropOnlyAmongTheirOwnColumn)
{
    DSColumn *fruit = texts(QStringLiteral("fruit"), {"apple", "pear", "plum", "fig"});
    DSColumn *veg = texts(QStringLiteral("veg"), {"kale", "leek", "kale", "leek"});
    fruit->setTreat_as_categories(true);
    veg->setTreat_as_categories(true);
    show();
    auto names = [&] {
        QStringList list;
        for (const auto &category : fruit->temp_summary()->nonempty_categories())
            list.append(category->formattedValue());
        return list;
    };
    const QModelIndex fruitRow = model->itemOfColumn(fruit);
    model->rowCount(fruitRow);
    EXPECT_EQ(names(), (QStringList{"apple", "fig", "pear", "plum"}));
    const std::unique_ptr<QMimeData> data(model->mimeData({categoryRow(fruit, 2), categoryRow(fruit, 3)}));
    ASSERT_TRUE(data);
    EXPECT_FALSE(model->canDropMimeData(data.get(), Qt::CopyAction, 0, 0, model->itemOfColumn(veg)));
    EXPECT_FALSE(model->canDropMimeData(data.get(), Qt::CopyAction, 0, 0, {})) << "nor among the columns";
    EXPECT_FALSE(std::unique_ptr<QMimeData>(model->mimeData({fruitRow, categoryRow(fruit, 0)})))
        << "columns and categories do not drag together";
    EXPECT_FALSE(std::unique_ptr<QMimeData>(model->mimeData({categoryRow(fruit, 0), categoryRow(veg, 0)})));

    ASSERT_TRUE(model->canDropMimeData(data.get(), Qt::CopyAction, 1, 0, model->itemOfColumn(fruit)));
    EXPECT_TRUE(model->dropMimeData(data.get(), Qt::CopyAction, 1, 0, model->itemOfColumn(fruit)));
    model->rowCount(model->itemOfColumn(fruit));
    EXPECT_EQ(names(), (QStringList{"apple", "pear", "plum", "fig"}));
}

TEST_F(StatsOutlineTest, DeleteTakesColumnsNotCategories)
{
    DSColumn *fruit = texts(QStringLiteral("fruit"), {"apple", "pear"});
    fruit->setTreat_as_categories(true);
    numbers(QStringLiteral("b"), {1, 2});
    DSColumn *c = numbers(QStringLiteral("c"), {1, 2});
    numbers(QStringLiteral("d"), {1, 2});
    show();

    const QModelIndex apple = categoryRow(fruit, 0);
    outline->selectionModel()->select(apple, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    outline->setFocus();
    QTest::keyClick(outline, Qt::Key_Delete);
    EXPECT_EQ(columnNames(), (QStringList{"fruit", "b", "c", "d"})) << "a category row deletes nothing";

    outline->selectionModel()->select(model->itemOfColumn(c), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QTest::keyClick(outline, Qt::Key_Delete);
    EXPECT_EQ(columnNames(), (QStringList{"fruit", "b", "d"}));
    EXPECT_EQ(table->column_selection()->columnNames(), QStringList{QStringLiteral("d")});
    const QModelIndexList selected = outline->selectionModel()->selectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(model->columnOfItem(selected.first())->name(), QStringLiteral("d"));
}

TEST_F(StatsOutlineTest, RowsWhoseColumnWentOrMovedBeforeTheReloadShowNoColumn)
{
    DSColumn *fruit = texts(QStringLiteral("fruit"), {"apple", "pear", "plum", "apple"});
    DSColumn *b = numbers(QStringLiteral("b"), {1, 2, 3, 4});
    DSColumn *veg = texts(QStringLiteral("veg"), {"kale", "leek", "kale", "leek"});
    fruit->setTreat_as_categories(true);
    veg->setTreat_as_categories(true);
    show();
    outline->expand(model->itemOfColumn(veg));
    auto columnsOfRows = [&] {
        QList<DSColumn *> columns;
        for (int row = 0; row < model->rowCount(); ++row)
            columns.append(model->columnOfItem(model->index(row, 0)));
        return columns;
    };

    // The records grid deletes a column; the outline reloads later.
    context->deleteObject(b);
    context->processPendingChanges();
    outline->grab();
    EXPECT_EQ(columnsOfRows(), (QList<DSColumn *>{fruit, nullptr, nullptr})) << "b's row does not turn into veg's";
    EXPECT_FALSE(model->itemOfColumn(veg).isValid());
    EXPECT_EQ(model->categoryOfItem(model->index(0, 0, model->index(2, 0))), nullptr);
    show();
    EXPECT_EQ(columnsOfRows(), (QList<DSColumn *>{fruit, veg}));

    table->moveColumnAtIndex(veg->index(), 0);
    outline->grab();
    EXPECT_EQ(columnsOfRows(), (QList<DSColumn *>{nullptr, nullptr}));
    show();
    EXPECT_EQ(columnsOfRows(), (QList<DSColumn *>{veg, fruit}));
    EXPECT_EQ(model->itemOfColumn(fruit).row(), 1);
}

TEST_F(StatsOutlineTest, InputsOfTheActiveColumnAreTintedByTheirRole)
{
    DSColumn *a = numbers(QStringLiteral("a"), {1, 2, 3, 4});
    DSColumn *b = numbers(QStringLiteral("b"), {2, 2, 3, 3});
    DSColumn *c = numbers(QStringLiteral("c"), {1, 1, 2, 2});
    auto derived = [&](const char *entity, std::initializer_list<DSColumn *> inputs) {
        auto *column = context->insertNewObject<DSColumn>(QString::fromLatin1(entity));
        for (DSColumn *input : inputs)
            column->addInputColumn(input);
        table->insertNewColumns({column}, table->columns().size());
        return column;
    };
    DSColumn *quotient = derived("DSComputeDivisionColumn", {a, b});
    DSColumn *sum = derived("DSComputeSumColumn", {a, c});
    auto *recode = static_cast<DSNumericRecodeColumn *>(derived("DSNumericRecodeColumn", {c}));
    recode->setTreat_as_categories(true);
    recode->setValueMapping(QCborValue(7), QCborValue(2.0));
    c->setTreat_as_categories(true);
    show();
    auto colour = [&](DSColumn *column, const char *identifier = "name") {
        return model->data(cell(model->itemOfColumn(column), identifier), Qt::BackgroundRole).value<QColor>();
    };
    auto styled = [&](const char *key) {
        const ds_rgba_s rgba = *pane->style()->colorForKey(QString::fromLatin1(key));
        return QColor::fromRgbF(float(rgba.red), float(rgba.green), float(rgba.blue));
    };

    table->column_selection()->resetWithColumn(quotient);
    EXPECT_EQ(colour(a), styled("ColumnDividendHighlightColor"));
    EXPECT_EQ(colour(b), styled("ColumnDivisorHighlightColor"));
    EXPECT_FALSE(colour(c).isValid());
    EXPECT_FALSE(colour(a, "title").isValid()) << "only the name cell";

    table->column_selection()->resetWithColumn(sum);
    EXPECT_EQ(colour(a), styled("ColumnSummandHighlightColor"));
    EXPECT_FALSE(colour(b).isValid());
    EXPECT_EQ(colour(c), styled("ColumnSummandHighlightColor"));

    table->column_selection()->resetWithColumn(recode);
    EXPECT_EQ(colour(c), styled("ColumnRecodeHighlightColor"));
    // A chosen category of the recode lights up the input categories
    // recoded into it, in its hue.
    outline->expand(model->itemOfColumn(recode));
    const auto seven = model->categoryOfItem(categoryRow(recode, 0));
    ASSERT_EQ(std::static_pointer_cast<DSNumericColumnCategory>(seven)->value(), 7);
    table->column_selection()->addColumn(recode, {seven});
    const QModelIndex one = categoryRow(c, 0), two = categoryRow(c, 1);
    ASSERT_EQ(std::static_pointer_cast<DSNumericColumnCategory>(model->categoryOfItem(two))->value(), 2);
    EXPECT_FALSE(model->data(cell(one, "name"), Qt::BackgroundRole).isValid());
    EXPECT_EQ(model->data(cell(two, "name"), Qt::BackgroundRole).value<QColor>(),
              QColor::fromHslF(float(seven->hue()), 0.86f, 0.7f));
    EXPECT_FALSE(colour(c).isValid()) << "the open input column gives way to its categories";
}

TEST_F(StatsOutlineTest, PictureOfTheOutlineWithEveryStatistic)
{
    std::vector<double> heights;
    for (int i = 0; i < 40; ++i)
        heights.push_back(150 + (i * 37) % 45 + 0.5 * (i % 3));
    numbers(QStringLiteral("height"), heights);
    DSColumn *size = numbers(QStringLiteral("size"), {1, 2, 2, 3, 3, 3, NAN, 4});
    size->setTreat_as_categories(true);
    size->setTitle(QStringLiteral("Shoe size class"));
    texts(QStringLiteral("comment"), {"ok", "fine", "good"})->setTreat_as_categories(false);
    texts(QStringLiteral("colour"), {"red", "blue", "red"});
    DSColumn *single = numbers(QStringLiteral("single"), {7});
    showColumns(k_everyStatistic);
    table->setShowSummaryCharts(false);
    document->document_window()->resize(1900, 520);
    show();
    outline->expand(model->itemOfColumn(size));
    for (int section = 0; section < model->columnCount(); ++section)
        outline->resizeColumnToContents(section);
    pane->refreshSummaryTableSelection(nullptr);
    outline->selectionModel()->select(model->itemOfColumn(single), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    keepPicture(document->document_window(), QStringLiteral("stats_outline.png"));
}

class StatsOutlineFilterTest : public StatsOutlineTest
{
protected:
    void SetUp() override
    {
        static const RejectFirstRow first;
        registerTestRowFilters({&first});
        StatsOutlineTest::SetUp();
    }
    void TearDown() override
    {
        StatsOutlineTest::TearDown();
        registerTestRowFilters({});
    }
};

TEST_F(StatsOutlineFilterTest, ARowAddedInTheRecordsGridIsReadUnderTheNewMask)
{
    DSColumn *x = numbers(QStringLiteral("x"), {10, 1, 2, 3, 4, 5, 6, 7});
    DSColumn *fruit = texts(QStringLiteral("fruit"), {"fig", "pear", "plum", "pear", "kiwi", "pear", "lime", "plum"});
    fruit->setTreat_as_categories(true);
    table->show_filters = true;
    table->setActive_filter_set(ds_object_cast<DSTableFilterSet>(table->filterSetAtIndex(0)));
    showColumns(1 | 8 | 16);  // name, count and mean
    show();
    outline->grab();
    const QModelIndex xRow = model->itemOfColumn(x), fruitRow = model->itemOfColumn(fruit);
    ASSERT_EQ(text(xRow, "count"), QStringLiteral("7")) << "the first row is filtered out";
    ASSERT_EQ(text(xRow, "mean"), QStringLiteral("4"));
    ASSERT_EQ(text(fruitRow, "count"), QStringLiteral("7"));

    // Tab past the last record: the grid adds a row, for which the document
    // builds its mask again and frees the one the outline fetched at its
    // reload (ASan: heap-use-after-free when it is still read).
    auto *records = dynamic_cast<DSRecordsViewDelegate *>(document->records_delegate());
    ASSERT_TRUE(records);
    records->addRecordAndEdit(0);
    QCoreApplication::processEvents();
    ASSERT_EQ(table->num_records(), 9);
    x->purgeStats();
    fruit->purgeStats();
    outline->grab();
    EXPECT_EQ(text(xRow, "count"), QStringLiteral("7")) << "the new row has no value";
    EXPECT_EQ(text(xRow, "mean"), QStringLiteral("4"));
    EXPECT_EQ(text(fruitRow, "count"), QStringLiteral("7"));
    const DSRowMaskRef current = document->getMask();
    const uint8_t *fresh = ds_mask_data(current);
    EXPECT_EQ(model->temp_include_mask_len(), ds_mask_length(current));
    EXPECT_EQ(model->temp_include_mask(), fresh);
}

} // namespace
