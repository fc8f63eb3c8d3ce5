#include "../sheets/sheet_test_support.h"

#include "charts/DSStatisticalTestView.h"
#include "charts/DSStyle.h"
#include "filter/DSTableFilterSet.h"
#include "model/DSDataTable.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSRowFilter.h"
#include "model/DSTextDataColumn.h"
#include "model/DSTimeDataColumn.h"
#include "model/DSUserDefaults.h"
#include "platform/predicate/DSComparisonPredicate.h"
#include "platform/store/DSManagedObjectContext.h"
#include "regression/DSRegressionModel.h"
#include "stats/DSBottomLineReporterChain.h"
#include "stats/DSStatisticalTestCorrelation.h"
#include "stats/DSStatisticalTestKruskalWallis.h"
#include "ui/panes/DSBottomLineViewDelegate.h"
#include "ui/panes/DSStatsOutlineDelegate.h"
#include "ui/panes/DSSummaryViewDelegate.h"
#include "ui/window/DSPopover.h"
#include "ui/window/DSStatDocumentWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMainWindow>
#include <QScreen>
#include <QSlider>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

#include <cmath>
#include <set>

namespace {

// Rows the filter pane rejects while a test sets them.
std::set<int64_t> g_rejected;

class RejectingFilter : public DSRowFilter
{
public:
    bool willClearBits(bool, uint32_t) const override { return !g_rejected.empty(); }
    void clearUnmatchingBitsFromMask(uint8_t *mask, int64_t length, bool, uint32_t) const override
    {
        for (int64_t row : g_rejected)
            if (row / 8 < length)
                mask[row / 8] &= uint8_t(~(1u << (row % 8)));
    }
};

// Counts the estimation-command window's refreshes.
class CountingHost : public FakeHost
{
public:
    void refreshEstimationCommandForDocument(DSStatDocument *document) override
    {
        ++commandRefreshes;
        lastDocument = document;
    }
    int commandRefreshes = 0;
    DSStatDocument *lastDocument = nullptr;
};

// A pivot pane with a selection of its own.
class FakePivotPane : public DSStatDocumentViewDelegate
{
public:
    QList<DSColumn *> clickedOrSelectedColumns() const override { return columns; }
    QList<DSColumn *> columns;
};

class SummaryPaneTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        // Every slot's filter rejects the rows.
        static const RejectingFilter rejecting;
        registerTestRowFilters(std::vector<const DSRowFilter *>(6, &rejecting));
        document = showNewDocumentWindow(&host);
        ASSERT_TRUE(document);
        context = document->managedObjectContext();
        table = ds_object_cast<DSDataTable>(document->active_table());
        pane = dynamic_cast<DSSummaryViewDelegate *>(document->summary_delegate());
        ASSERT_TRUE(pane) << "the window makes its summary pane";
        bottomLine = pane->the_bottom_line_delegate();
        outline = pane->stats_table();
        document->document_window()->resize(1100, 700);
        document->showSummary(nullptr);
    }

    void TearDown() override
    {
        document.reset();
        g_rejected.clear();
        registerTestRowFilters({});
        DSUserDefaults::standardUserDefaults().setInteger(0, QStringLiteral("the_bottom_line_style"));
        QLocale::setDefault(QLocale::system());
    }

    // The cubes of 0 to 29: far from any distribution the pane tests for.
    static std::vector<double> cubes()
    {
        std::vector<double> x;
        for (int i = 0; i < 30; ++i)
            x.push_back(std::pow(i, 3));
        return x;
    }

    // The table grows to the longest column first, so that no column is cut.
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

    // Days from the epoch, each row one day long.
    DSTimeDataColumn *days(const QString &name, qint64 rows)
    {
        auto *column = context->insertNewObject<DSTimeDataColumn>(QStringLiteral("DSTimeDataColumn"));
        column->setName(name);
        table->insertNewColumns({column}, table->columns().size());
        for (qint64 i = 0; i < rows; ++i)
            column->appendTimeValue(double(i) * 86400, 86400);
        grow(rows);
        column->saveAfterImport();
        return column;
    }

    void grow(qint64 rows)
    {
        if (rows > table->num_records())
            table->setNum_records(rows);
    }

    void show()
    {
        context->processPendingChanges();
        document->refreshView(nullptr);
    }

    QModelIndex rowOf(DSColumn *column) const
    {
        return pane->stats_outline_delegate()->index(pane->stats_outline_delegate()->rowOfColumn(column), 0);
    }

    // Clicks the column's row; with control held the row joins the selection.
    void click(DSColumn *column, Qt::KeyboardModifiers modifiers = {})
    {
        const QModelIndex index = rowOf(column);
        ASSERT_TRUE(index.isValid()) << column->name().toStdString();
        outline->scrollTo(index);
        QTest::mouseClick(outline->viewport(), Qt::LeftButton, modifiers, outline->visualRect(index).center());
    }

    void search(const QString &text)
    {
        auto *field = pane->control<QLineEdit>("column_filter_field");
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, text);
    }

    QStringList selectedNames() const { return table->column_selection()->columnNames(); }
    QString sentence() const { return bottomLine->field("the_bottom_line_friendly_text")->text(); }
    QString info() const { return bottomLine->field("the_bottom_line_info")->text(); }
    bool visible(const char *name) const { return pane->control<QWidget>(name)->isVisibleTo(pane->summary_view()); }

    CountingHost host;
    std::unique_ptr<DSStatDocumentWindow> document;
    DSManagedObjectContext *context = nullptr;
    DSDataTable *table = nullptr;
    DSSummaryViewDelegate *pane = nullptr;
    DSBottomLineViewDelegate *bottomLine = nullptr;
    QTreeView *outline = nullptr;
};

TEST_F(SummaryPaneTest, SearchListsMatchingColumnsAndDropsHiddenOnesFromTheSelection)
{
    DSColumn *height = numbers(QStringLiteral("height"), {1, 2, 3});
    numbers(QStringLiteral("weight"), {4, 5, 6});
    numbers(QStringLiteral("age"), {7, 8, 9});
    show();
    ASSERT_EQ(outline->model()->rowCount(), 3);

    click(height);
    EXPECT_EQ(selectedNames(), QStringList{QStringLiteral("height")});

    search(QStringLiteral("  "));
    EXPECT_EQ(outline->model()->rowCount(), 3) << "white space lists every column";
    EXPECT_EQ(selectedNames(), QStringList{QStringLiteral("height")});

    search(QStringLiteral("wei"));
    EXPECT_EQ(outline->model()->rowCount(), 1);
    EXPECT_TRUE(selectedNames().isEmpty()) << "the hidden column leaves the selection at the reload";
    EXPECT_EQ(sentence(), QStringLiteral("0 columns selected")) << "the bottom line sees no selection";

    search(QString());
    click(height);
    QStringList words;
    for (int i = 0; i < 33; ++i)
        words << QStringLiteral("h");
    search(words.join(QLatin1Char(' ')));
    EXPECT_EQ(outline->model()->rowCount(), 0) << "33 words list nothing";
    EXPECT_TRUE(selectedNames().isEmpty());
    EXPECT_EQ(pane->control<QLabel>("number_of_columns_label")->text(), QStringLiteral("0 columns"));
}

TEST_F(SummaryPaneTest, TreatAsControlsFollowTheSelection)
{
    DSColumn *weights = numbers(QStringLiteral("count"), {1, 2, 3, 4});
    DSColumn *values = numbers(QStringLiteral("value"), {5, 6, 7, 8});
    DSColumn *grouped = numbers(QStringLiteral("group"), {1, 2, 3, 1});
    DSColumn *times = numbers(QStringLiteral("time"), {3, 4, 5, 9});
    DSColumn *labels = texts(QStringLiteral("label"), {"a", "b", "a", "b"});
    DSColumn *when = days(QStringLiteral("when"), 4);
    grouped->setTreat_as_categories(true);
    times->setTreat_as_survival_times(true);
    table->setFrequency_weights_column(weights);
    table->setApply_frequency_weights(true);
    show();
    auto *categories = pane->control<QAbstractButton>("treat_as_categories_button");
    auto *popUp = pane->control<QComboBox>("treat_as_popup_button");
    auto *items = qobject_cast<QStandardItemModel *>(popUp->model());
    auto shownView = [this] {
        for (const char *name : {"treat_as_categories_view", "treat_as_survival_times_view", "treat_as_button_view"})
            if (visible(name))
                return QString::fromLatin1(name);
        return QString();
    };

    struct Case
    {
        const char *name;
        QList<DSColumn *> selection;
        const char *view;
        bool categoriesEnabled;
        int tag;
    };
    const Case cases[] = {
        {"nothing selected", {}, "treat_as_categories_view", false, 0},
        {"the applied weights column", {weights}, "treat_as_button_view", true, 2},
        {"plain values", {values}, "treat_as_button_view", true, 1},
        {"numbers treated as categories", {grouped}, "treat_as_button_view", true, 0},
        {"survival times", {times}, "treat_as_button_view", true, 3},
        {"numbers of two kinds", {values, grouped}, "treat_as_button_view", true, 1},
        {"a text column", {labels}, "treat_as_categories_view", true, 0},
        {"numbers and text", {values, labels}, "treat_as_categories_view", true, 1},
        {"a time column", {when}, "treat_as_survival_times_view", false, 1},
    };
    for (const Case &c : cases) {
        document->selectExistingColumns(c.selection);
        pane->refreshView(nullptr);
        EXPECT_EQ(shownView(), QString::fromLatin1(c.view)) << c.name;
        EXPECT_EQ(categories->isEnabled(), c.categoriesEnabled) << c.name;
        EXPECT_EQ(popUp->currentData().toInt(), c.tag) << c.name;
        EXPECT_EQ(items->item(2)->isEnabled(), c.selection.size() == 1) << c.name << ": row counts for one column";
    }

    // Tag 1 for the weights column, by the keyboard: the weights go and the
    // whole document refreshes.
    click(weights);
    QSignalSpy refreshes(document.get(), &DSStatDocumentWindow::refreshed);
    popUp->setFocus();
    QTest::keyClick(popUp, Qt::Key_Up);
    EXPECT_EQ(popUp->currentData().toInt(), 1);
    EXPECT_EQ(table->frequency_weights_column(), nullptr);
    EXPECT_FALSE(table->apply_frequency_weights());
    EXPECT_GE(refreshes.count(), 1);

    // A mix of a treated and an untreated column: all treated, then none.
    labels->setTreat_as_categories(false);
    click(grouped);
    click(labels, Qt::ControlModifier);
    ASSERT_EQ(selectedNames(), (QStringList{QStringLiteral("group"), QStringLiteral("label")}));
    QTest::mouseClick(categories, Qt::LeftButton);
    EXPECT_TRUE(grouped->treat_as_categories());
    EXPECT_TRUE(labels->treat_as_categories());
    QTest::mouseClick(categories, Qt::LeftButton);
    EXPECT_FALSE(grouped->treat_as_categories());
    EXPECT_FALSE(labels->treat_as_categories());

    // A column that cannot be treated as categories is off after every toggle.
    click(when, Qt::ControlModifier);
    for (int i = 0; i < 2; ++i) {
        QTest::mouseClick(categories, Qt::LeftButton);
        EXPECT_FALSE(when->treat_as_categories()) << i;
    }
    click(when);
    QTest::mouseClick(pane->control<QAbstractButton>("treat_as_survival_times_button"), Qt::LeftButton);
    EXPECT_TRUE(when->treat_as_survival_times());
    EXPECT_TRUE(visible("survival_options_view"));
}

TEST_F(SummaryPaneTest, ADayColumnHidesAndDisablesTheFinerTimeUnits)
{
    DSColumn *when = days(QStringLiteral("when"), 10);
    show();
    click(when);
    EXPECT_TRUE(visible("time_options_view"));
    auto *popUp = pane->control<QComboBox>("time_resolution_button");
    auto *items = qobject_cast<QStandardItemModel *>(popUp->model());
    auto *list = qobject_cast<QListView *>(popUp->view());
    ASSERT_TRUE(items && list);
    EXPECT_EQ(popUp->currentData().toInt(), -1) << "automatic while no unit is fixed";
    for (int i = 0; i < popUp->count(); ++i) {
        const int tag = popUp->itemData(i).toInt();
        const bool hidden = (tag >= 1 && tag <= 8) || tag == -5 || tag == -9;
        const bool enabled = tag == -1 || tag >= 9;
        EXPECT_EQ(list->isRowHidden(i), hidden) << "tag " << tag;
        EXPECT_EQ(items->item(i)->isEnabled(), enabled) << "tag " << tag;
    }

    // Choosing a week fixes the unit.
    popUp->setCurrentIndex(popUp->findData(10));
    Q_EMIT popUp->activated(popUp->currentIndex());
    auto *column = dynamic_cast<DSTimeDataColumn *>(when);
    EXPECT_TRUE(column->do_fix_time_unit());
    EXPECT_EQ(column->fixed_time_unit(), 10);
}

TEST_F(SummaryPaneTest, CensoringAndBinSizeLabels)
{
    struct Case
    {
        double fraction;
        const char *text;
        bool grey;
    };
    for (const Case &c : {Case{0, "0 censored", true}, Case{0.004, "< 1% censored", false},
                          Case{0.124, "12% censored", false}, Case{0.5, "50% censored", false}}) {
        bool grey = false;
        EXPECT_EQ(DSSummaryViewDelegate::censoringText(c.fraction, &grey), QString::fromLatin1(c.text));
        EXPECT_EQ(grey, c.grey) << c.text;
    }

    // 1,000 survival times, censored where their status is 1: none, 4 (0.4 %)
    // and 124 (12.4 %) of them.
    std::vector<double> times(1000), status(1000, 0);
    for (int i = 0; i < 1000; ++i)
        times[size_t(i)] = 1 + i % 17;
    DSColumn *t = numbers(QStringLiteral("t"), times);
    DSNumericDataColumn *censored = numbers(QStringLiteral("status"), status);
    t->setTreat_as_survival_times(true);
    t->setApply_right_censoring(true);
    t->setRight_censoring_predicate(DSComparisonPredicate::make(
        DSExpression::forConstantValue(DSPredicateValue::fromString(QStringLiteral("status"))),
        DSPredicateOperatorType::EqualTo, DSExpression::forConstantValue(DSPredicateValue::fromNumber(1))));
    show();
    click(t);
    EXPECT_TRUE(visible("survival_options_view"));
    auto *censoring = pane->control<QLabel>("censoring_label");
    for (const Case &c : {Case{0, "0 censored", true}, Case{4, "< 1% censored", false},
                          Case{124, "12% censored", false}}) {
        for (int i = 0; i < 1000; ++i)
            ASSERT_TRUE(censored->replaceNumericValueAtIndex(i, i < c.fraction ? 1 : 0));
        t->recursivePurge();
        pane->refreshCensoringLabel(nullptr);
        EXPECT_EQ(censoring->text(), QString::fromLatin1(c.text));
        EXPECT_EQ(censoring->palette().color(QPalette::WindowText), QColor(c.grey ? Qt::gray : Qt::black)) << c.text;
    }

    std::vector<double> values;
    for (int i = 0; i <= 100; ++i)
        values.push_back(i);
    DSColumn *x = numbers(QStringLiteral("x"), values);
    show();
    click(x);
    EXPECT_TRUE(visible("continuous_options_view"));
    const QString whole = pane->control<QLabel>("histogram_bin_size_label")->text();
    EXPECT_EQ(whole, QStringLiteral("10"));
    // A filter that keeps rows 0 to 9 only leaves the bin size as it was.
    for (int row = 10; row <= 100; ++row)
        g_rejected.insert(row);
    table->show_filters = true;
    table->setActive_filter_set(ds_object_cast<DSTableFilterSet>(table->filterSetAtIndex(0)));
    document->createFilter(nullptr);
    document->refreshView(nullptr);
    ASSERT_GT(ds_mask_length(document->getMask()), 0) << "the filter narrows the rows";
    EXPECT_EQ(pane->control<QLabel>("histogram_bin_size_label")->text(), whole);
}

TEST_F(SummaryPaneTest, BottomLineSentences)
{
    DSColumn *n = numbers(QStringLiteral("n"), {1, 2, 3, 4});
    DSColumn *t = texts(QStringLiteral("t"), {"a", "b", "c", "d"});
    DSColumn *d = days(QStringLiteral("d"), 4);
    DSColumn *w = numbers(QStringLiteral("w"), {1, 1, 2, 2});
    show();
    click(n);
    click(t, Qt::ControlModifier);
    click(d, Qt::ControlModifier);
    EXPECT_EQ(sentence(), QStringLiteral("3 columns selected"));
    EXPECT_TRUE(info().isEmpty());

    table->setFrequency_weights_column(w);
    table->setApply_frequency_weights(true);
    click(w);
    EXPECT_EQ(sentence(), QStringLiteral("w is the frequency weight"));
    EXPECT_TRUE(info().isEmpty());
    EXPECT_EQ(bottomLine->visualization_view()->test(), nullptr) << "the picture is cleared";
    EXPECT_FALSE(bottomLine->outlet<QToolButton>(QStringLiteral("the_bottom_line_info_button"))->isVisibleTo(
        bottomLine->the_bottom_line_view()));
}

TEST_F(SummaryPaneTest, BottomLineDecoratesSignificantResultsWithCovariates)
{
    DSColumn *x = numbers(QStringLiteral("x"), {1, 2});
    DSColumn *y = numbers(QStringLiteral("y"), {1, 2});
    DSColumnSelection itself(table), other(table), none(table);
    itself.addColumn(x);
    other.addColumn(y);
    const DSStatisticalTestCorrelation strong(0.9, 50), weak(0.01, 50);
    const DSStatisticalTestKruskalWallis groups(30, 2);
    ASSERT_TRUE(strong.canBeObvious());
    ASSERT_FALSE(groups.canBeObvious());
    struct Case
    {
        const char *name;
        const DSStatisticalTest *result;
        const DSColumnSelection *covariates;
        const char *expected;
    };
    const Case cases[] = {
        {"significant, the active column a covariate, can be obvious", &strong, &itself, "S (obviously)"},
        {"significant, the active column a covariate, cannot be obvious", &groups, &itself, "S"},
        {"significant, another covariate", &strong, &other, "💡 S"},
        {"significant, another covariate, cannot be obvious", &groups, &other, "💡 S"},
        {"not significant", &weak, &other, "S"},
        {"no covariate", &strong, &none, "S"},
        {"no covariates at all", &strong, nullptr, "S"},
        {"no result", nullptr, &other, "S"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(DSBottomLineViewDelegate::decoratedString(QStringLiteral("S"), c.result, x, c.covariates, 0.05),
                  QString::fromUtf8(c.expected))
            << c.name;
    EXPECT_EQ(DSBottomLineViewDelegate::decoratedString(QString(), &strong, x, &other, 0.05), QString());
}

TEST_F(SummaryPaneTest, BottomLineShowsTheDecorationOfTheReportersResult)
{
    std::vector<double> x, y;
    for (int i = 0; i < 40; ++i) {
        x.push_back(i);
        y.push_back(i + std::sin(i * 1.7));
    }
    DSColumn *cx = numbers(QStringLiteral("x"), x);
    DSColumn *cy = numbers(QStringLiteral("y"), y);
    show();
    click(cx);
    const QString plain = sentence();
    ASSERT_FALSE(plain.isEmpty());
    // Kruskal-Wallis across the groups of the covariate.
    table->setPrimitiveValue(qlonglong(3), QStringLiteral("covariate_graph_type"));
    table->covariate_selection()->resetWithColumn(cy);
    pane->refreshTheBottomLine(nullptr);
    EXPECT_TRUE(sentence().startsWith(QStringLiteral("💡 "))) << sentence().toStdString();
    keepPicture(bottomLine->the_bottom_line_view(), QStringLiteral("bottom_line_light_bulb.png"));
    // The same covariate with the summary charts hidden is ignored.
    table->setShowSummaryCharts(false);
    pane->refreshTheBottomLine(nullptr);
    EXPECT_EQ(sentence(), plain);
    table->setShowSummaryCharts(true);
    table->covariate_selection()->resetWithColumn(cx);
    pane->refreshTheBottomLine(nullptr);
    EXPECT_FALSE(sentence().startsWith(QStringLiteral("💡"))) << "the column itself is no new insight";
    EXPECT_FALSE(sentence().endsWith(QStringLiteral("(obviously)"))) << "a rank test cannot be obvious";

    // Categories against themselves: a test that can be obvious.
    std::vector<const char *> g;
    for (int i = 0; i < 40; ++i)
        g.push_back(i % 3 ? "a" : "b");
    DSColumn *cg = texts(QStringLiteral("g"), g);
    show();
    click(cg);
    table->covariate_selection()->resetWithColumn(cg);
    pane->refreshTheBottomLine(nullptr);
    EXPECT_TRUE(sentence().endsWith(QStringLiteral(" (obviously)"))) << sentence().toStdString();
}

TEST_F(SummaryPaneTest, BottomLinePopoverAndStyles)
{
    DSColumn *cx = numbers(QStringLiteral("x"), cubes());
    show();
    table->setConfidence_level(0.9);
    click(cx);
    ASSERT_TRUE(bottomLine->result());
    EXPECT_TRUE(info().startsWith(QLatin1Char('('))) << info().toStdString();
    auto *button = bottomLine->outlet<QToolButton>(QStringLiteral("the_bottom_line_info_button"));
    QTest::mouseClick(button, Qt::LeftButton);
    ASSERT_TRUE(bottomLine->diagnostics_popover()->isVisible());
    EXPECT_EQ(bottomLine->field("critical_value_label")->text(), QStringLiteral("Critical value @ 10%:"));
    EXPECT_TRUE(bottomLine->field("critical_value_field")->text().startsWith(QStringLiteral("C = ")));
    EXPECT_EQ(bottomLine->field("is_significant_field")->text(), QStringLiteral("yes"));
    EXPECT_TRUE(bottomLine->field("p_value_field")->text().size() > 0);
    keepPicture(bottomLine->diagnostics_popover(), QStringLiteral("bottom_line_diagnostics.png"));
    bottomLine->showDiagnostics(button);
    EXPECT_FALSE(bottomLine->diagnostics_popover()->isVisible());
    EXPECT_FALSE(button->isChecked());

    struct Case
    {
        qint64 style;
        bool friendly, neutral;
    };
    for (const Case &c : {Case{0, true, false}, Case{1, false, true}, Case{2, false, false}}) {
        DSUserDefaults::standardUserDefaults().setInteger(c.style, QStringLiteral("the_bottom_line_style"));
        pane->refreshTheBottomLine(nullptr);
        QWidget *view = bottomLine->the_bottom_line_view();
        EXPECT_EQ(bottomLine->field("the_bottom_line_friendly_text")->isVisibleTo(view), c.friendly) << c.style;
        EXPECT_EQ(bottomLine->field("the_bottom_line_neutral_text")->isVisibleTo(view), c.neutral) << c.style;
    }
}

// The summary pane formatting through the application's result formatters
// (the panes take them when they are made).
class FormattedSummaryPaneTest : public SummaryPaneTest
{
protected:
    const ResultFormattersHost application;
};

// The p-value reads "p < 0.001" or "p = 0.027", in the line and in its
// popover alike, through the application's p-value formatter.
TEST_F(FormattedSummaryPaneTest, PValuesReadInOneOfTwoForms)
{
    struct Case
    {
        double p;
        const char *text;
    };
    const Case cases[] = {{0, "p < 0.001"},        {1e-300, "p < 0.001"},   {0.0004, "p < 0.001"},
                          {0.00099, "p < 0.001"},  {0.001, "p = 0.001"},    {0.027, "p = 0.027"},
                          {0.0274, "p = 0.027"},   {0.5, "p = 0.500"},      {1, "p = 1.000"}};
    for (const Case &c : cases)
        EXPECT_EQ(bottomLine->pValueText(c.p), QString::fromLatin1(c.text)) << c.p;

    // The cubes of 0 to 29 are far from normal.
    DSColumn *cx = numbers(QStringLiteral("x"), cubes());
    show();
    click(cx);
    ASSERT_TRUE(bottomLine->result());
    ASSERT_LT(bottomLine->result()->p_value(), 0.001);
    EXPECT_TRUE(info().endsWith(QStringLiteral(", p < 0.001)"))) << info().toStdString();
    EXPECT_EQ(bottomLine->field("p_value_field")->text(), QStringLiteral("p < 0.001"));
}

// On a maximised window the information button sits at the bottom of the
// screen: the popover opens above it, wholly on screen.
TEST_F(SummaryPaneTest, ThePopoverOfAMaximisedWindowLiesOnScreen)
{
    DSColumn *cx = numbers(QStringLiteral("x"), cubes());
    show();
    QMainWindow *window = document->document_window();
    window->showMaximized();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    QApplication::processEvents();
    click(cx);
    auto *button = bottomLine->outlet<QToolButton>(QStringLiteral("the_bottom_line_info_button"));
    ASSERT_TRUE(button && button->isVisible());
    const QRect screen = button->screen()->availableGeometry();
    const QRect anchor(button->mapToGlobal(QPoint(0, 0)), button->size());
    QTest::mouseClick(button, Qt::LeftButton);
    DSPopover *popover = bottomLine->diagnostics_popover();
    ASSERT_TRUE(popover->isVisible());
    EXPECT_TRUE(screen.contains(popover->frameGeometry()))
        << "popover " << popover->frameGeometry().y() << "+" << popover->height() << ", screen bottom "
        << screen.bottom();
    EXPECT_LE(popover->frameGeometry().bottom(), anchor.top()) << "above its button";
    keepPicture(popover, QStringLiteral("bottom_line_popover_maximised.png"));
    keepPicture(window, QStringLiteral("bottom_line_maximised_window.png"));
    popover->close();
}

TEST_F(SummaryPaneTest, TheCommandWindowReadsTheShownTest)
{
    std::vector<double> x;
    for (int i = 0; i < 20; ++i)
        x.push_back(i % 3 + i * 0.5);
    DSColumn *cx = numbers(QStringLiteral("x"), x);
    show();
    const int before = host.commandRefreshes;
    click(cx);
    EXPECT_GT(host.commandRefreshes, before);
    EXPECT_EQ(host.lastDocument, document.get());
    ASSERT_TRUE(bottomLine->shownTest());
    EXPECT_EQ(bottomLine->shownTest(), bottomLine->result());
    EXPECT_TRUE(bottomLine->reporterForColumns(table->column_selection(), nullptr));

    // The padlock open: the bottom line gives way to the instructions and
    // the picture forgets its test.
    QTest::mouseClick(pane->control<QAbstractButton>("build_model_lock_button"), Qt::LeftButton);
    EXPECT_TRUE(table->build_model_unlocked());
    EXPECT_FALSE(bottomLine->the_bottom_line_view()->isVisibleTo(pane->summary_view()));
    EXPECT_TRUE(visible("build_model_instructions"));
    EXPECT_TRUE(pane->control<QAbstractButton>("build_model_button")->isEnabled());
    EXPECT_EQ(bottomLine->shownTest(), nullptr);
    QTest::mouseClick(pane->control<QAbstractButton>("build_model_lock_button"), Qt::LeftButton);
    EXPECT_TRUE(bottomLine->the_bottom_line_view()->isVisibleTo(pane->summary_view()));
    EXPECT_FALSE(visible("build_model_instructions"));
    EXPECT_FALSE(pane->control<QAbstractButton>("build_model_button")->isEnabled());
}

TEST_F(SummaryPaneTest, PanesHaveStyleSheetsOfTheirOwn)
{
    DSStyle *style = pane->style();
    EXPECT_EQ(pane->style(), style) << "made once";
    EXPECT_NE(bottomLine->style(), style);
    for (const char *key : {"BottomLineTestStatisticFormatter", "BottomLineCriticalValueFormatter",
                            "BottomLinePValueFormatter", "ValueCountFormatter"})
        EXPECT_TRUE(style->numberFormatterForKey(QString::fromLatin1(key))) << key;
    EXPECT_EQ(style->numberFormatterForKey(QStringLiteral("ValueCountFormatter")), document->decimal_formatter());
    EXPECT_EQ(style->numberFormatterForKey(QStringLiteral("NoSuchFormatter")), nullptr);
}

TEST_F(SummaryPaneTest, GraphicsPaneAndConfidence)
{
    DSColumn *x = numbers(QStringLiteral("x"), {1, 2, 3, 4, 5});
    show();
    click(x);
    ASSERT_FALSE(pane->graphicsPaneCollapsed());
    pane->showHideSummaryGraphics(nullptr);
    EXPECT_TRUE(pane->graphicsPaneCollapsed());
    EXPECT_FALSE(table->showSummaryCharts());
    EXPECT_TRUE(visible("summary_graphics_button_view"));
    EXPECT_FALSE(visible("build_model_view"));
    QTest::mouseClick(pane->control<QAbstractButton>("summary_graphics_button"), Qt::LeftButton);
    EXPECT_FALSE(pane->graphicsPaneCollapsed());
    EXPECT_TRUE(table->showSummaryCharts());
    EXPECT_FALSE(visible("summary_graphics_button_view"));

    auto *slider = pane->control<QSlider>("confidence_slider");
    EXPECT_EQ(slider->value(), 95);
    QTest::keyClick(slider, Qt::Key_Left);
    EXPECT_DOUBLE_EQ(table->confidence_level(), 0.94);
    EXPECT_EQ(pane->control<QLabel>("confidence_label")->text(), QStringLiteral("94%"));
}

TEST_F(SummaryPaneTest, TwoNumericColumnsGoToTheReporterOfTheirTable)
{
    DSColumn *a = numbers(QStringLiteral("a"), {1, 2, 3, 4, 5});
    DSColumn *b = numbers(QStringLiteral("b"), {2, 3, 5, 4, 6});
    show();
    click(a);
    click(b, Qt::ControlModifier);
    struct Case
    {
        bool paired, repeated;
        qsizetype reporter;
    };
    for (const Case &c : {Case{true, false, 5}, Case{false, true, 6}, Case{false, false, 4}}) {
        table->setPrimitiveValue(c.paired, QStringLiteral("show_paired_differences"));
        table->setPrimitiveValue(c.repeated, QStringLiteral("repeated_measures"));
        pane->refreshTheBottomLine(nullptr);
        DSBottomLineReporter *reporter = bottomLine->reporterForColumns(table->column_selection(), nullptr);
        EXPECT_EQ(bottomLine->reporters()->positionOf(reporter), c.reporter);
        EXPECT_FALSE(sentence().isEmpty()) << c.reporter;
    }
}

TEST_F(SummaryPaneTest, SelectionServicesAskTheVisiblePane)
{
    DSColumn *a = numbers(QStringLiteral("a"), {1, 2});
    DSColumn *b = numbers(QStringLiteral("b"), {3, 4});
    DSColumn *c = numbers(QStringLiteral("c"), {5, 6});
    show();
    click(b);
    EXPECT_EQ(document->clickedOrSelectedColumns(), QList<DSColumn *>{b});
    EXPECT_EQ(document->selectedColumns(), QList<DSColumn *>{b});
    EXPECT_EQ(document->columnAtIndex(2), c);
    EXPECT_EQ(document->columnAtIndex(3), nullptr);

    FakePivotPane pivot;
    pivot.columns = {a, c};
    document->setPivot_delegate(&pivot);
    table->setShowPivot(true);
    EXPECT_EQ(document->clickedOrSelectedColumns(), (QList<DSColumn *>{a, c}));
    EXPECT_TRUE(document->selectedColumns().isEmpty()) << "the pivot pane has no selected columns";
    table->setShowModel(true);
    EXPECT_TRUE(document->clickedOrSelectedColumns().isEmpty()) << "none on the model side";
    document->setPivot_delegate(nullptr);
    table->setShowTable(true);
    table->setShowSummary(true);

    document->selectExistingColumns({c, a});
    EXPECT_EQ(selectedNames(), (QStringList{QStringLiteral("c"), QStringLiteral("a")}));
    pane->refreshView(nullptr);
    EXPECT_EQ(selectedNames(), (QStringList{QStringLiteral("c"), QStringLiteral("a")}))
        << "a reload keeps listed columns in any order";

    // New columns are found whatever the search said.
    search(QStringLiteral("a"));
    DSColumn *added = numbers(QStringLiteral("added"), {7, 8});
    context->processPendingChanges();
    document->selectNewColumns({added});
    EXPECT_TRUE(table->column_filter_summary.isEmpty());
    EXPECT_EQ(pane->control<QLineEdit>("column_filter_field")->text(), QString());
    EXPECT_EQ(outline->model()->rowCount(), 4);
    EXPECT_EQ(selectedNames(), QStringList{QStringLiteral("added")});
}

TEST_F(SummaryPaneTest, EnablingControlsReachesIntoContainers)
{
    QWidget box;
    auto *field = new QLineEdit(&box);
    auto *inner = new QWidget(&box);
    auto *label = new QLabel(QStringLiteral("label"), inner);
    auto *check = new QCheckBox(inner);
    for (bool enabled : {false, true}) {
        DSStatDocumentWindow::setEnabledForControls(enabled, {field, inner});
        EXPECT_EQ(field->isEnabled(), enabled);
        EXPECT_EQ(label->isEnabled(), enabled);
        EXPECT_EQ(check->isEnabled(), enabled);
        EXPECT_TRUE(inner->isEnabled()) << "a container passes the flag on";
        const QColor text = enabled ? Qt::black : Qt::gray;
        EXPECT_EQ(field->palette().color(QPalette::Text), text);
        EXPECT_EQ(label->palette().color(QPalette::WindowText), text);
    }
}

TEST_F(SummaryPaneTest, ALabelColourDropsTheMiniChartsThatShowIt)
{
    DSColumn *colours = texts(QStringLiteral("colour"), {"red", "blue"});
    DSColumn *shapes = texts(QStringLiteral("shape"), {"round", "square"});
    show();
    const auto image = std::make_shared<const QImage>(4, 4, QImage::Format_ARGB32);
    for (DSColumn *column : {colours, shapes}) {
        column->setTemp_summary(column->summaryForMask(nullptr, 0, NAN));
        column->setTemp_image(image);
    }
    document->purgeImagesForColumsDisplayingLabel(QStringLiteral("red"));
    EXPECT_EQ(colours->temp_image(), nullptr);
    EXPECT_EQ(colours->last_image(), image) << "kept for the redraw";
    EXPECT_EQ(shapes->temp_image(), image) << "no category of it shows the label";
}

TEST_F(SummaryPaneTest, ActivatingAModelMovesTheOthersUp)
{
    DSRegressionModel *first = addTestModel(table);
    DSRegressionModel *second = addTestModel(table);
    DSRegressionModel *added = addTestModel(table);
    ASSERT_EQ(second->index(), 1);
    document->activateModel(added, 0);
    EXPECT_EQ(added->index(), 0);
    EXPECT_EQ(first->index(), 1);
    EXPECT_EQ(second->index(), 2);
}

TEST_F(SummaryPaneTest, DeletingAColumnSelectsItsNeighbour)
{
    DSColumn *a = numbers(QStringLiteral("a"), {1});
    numbers(QStringLiteral("b"), {2});
    DSColumn *c = numbers(QStringLiteral("c"), {3});
    DSColumn *last = numbers(QStringLiteral("zzz"), {4});
    show();
    auto remove = [this](DSColumn *column) {
        const qint64 index = column->index();
        context->deleteObject(column);
        context->processPendingChanges();
        pane->didDeleteColumnAtIndex(index);
        return selectedNames();
    };
    click(c);
    EXPECT_EQ(remove(c), QStringList{QStringLiteral("zzz")}) << "the column that moved into its place";
    search(QStringLiteral("zzz"));
    EXPECT_EQ(remove(last), QStringList{}) << "the only listed column leaves nothing to select";
    search(QStringLiteral("b"));
    click(pane->columnAtFilteredIndex(0));
    // A column deleted while the search hides it has no place in the list.
    EXPECT_EQ(remove(a), QStringList{});
    EXPECT_EQ(outline->model()->rowCount(), 1);
    click(pane->columnAtFilteredIndex(0));
    pane->didDeleteColumnAtIndex(-1);
    EXPECT_TRUE(selectedNames().isEmpty());
    EXPECT_TRUE(outline->selectionModel()->selectedRows().isEmpty());
}

TEST_F(SummaryPaneTest, DeletingTheLastListedColumnSelectsTheNewLast)
{
    numbers(QStringLiteral("a"), {1});
    numbers(QStringLiteral("b"), {2});
    DSColumn *c = numbers(QStringLiteral("c"), {3});
    show();
    click(c);
    const qint64 index = c->index();
    context->deleteObject(c);
    context->processPendingChanges();
    pane->didDeleteColumnAtIndex(index);
    EXPECT_EQ(selectedNames(), QStringList{QStringLiteral("b")});
}

TEST_F(SummaryPaneTest, PictureOfThePaneWithAColumnSelected)
{
    std::vector<double> x, y;
    for (int i = 0; i < 50; ++i) {
        x.push_back(std::sqrt(i) * 3);
        y.push_back(i % 5);
    }
    DSColumn *height = numbers(QStringLiteral("height"), x);
    numbers(QStringLiteral("grade"), y);
    texts(QStringLiteral("name"), {"Ann", "Bo"});
    show();
    click(height);
    EXPECT_TRUE(visible("continuous_options_view"));
    auto *distribution = pane->control<QComboBox>("continuous_distribution_button");
    EXPECT_EQ(distribution->currentData().toInt(), 0) << "the column's own distribution, uniform";
    EXPECT_TRUE(sentence().contains(QStringLiteral("uniform"))) << sentence().toStdString();
    // Normal by the keyboard: the column keeps it and the bottom line follows.
    distribution->setFocus();
    QTest::keyClick(distribution, Qt::Key_Up);
    EXPECT_EQ(height->continuous_distribution(), 1);
    EXPECT_TRUE(sentence().contains(QStringLiteral("ormal"))) << sentence().toStdString();
    keepPicture(document->document_window(), QStringLiteral("summary_pane.png"));
}

} // namespace
