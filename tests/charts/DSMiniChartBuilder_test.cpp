#include "../ui/window/window_test_support.h"

#include "charts/DSMiniChartBuilder.h"
#include "charts/DSStyle.h"
#include "charts/ds_default_style.h"
#include "model/DSColumnSummary.h"
#include "model/DSDataTable.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSStatDocument.h"
#include "model/DSTextDataColumn.h"
#include "model/DSTimeDataColumn.h"
#include "platform/store/DSManagedObjectContext.h"

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QPainter>

#include <cmath>
#include <iostream>
#include <vector>

namespace {

// Runs the event loop until no deferred build waits (each takes one turn).
void runDeferredBuilds(const DSMiniChartBuilder &builder)
{
    for (int turn = 0; turn < 100 && builder.pendingCount() > 0; ++turn)
        QCoreApplication::processEvents();
}

// The columns of pixels in [top, bottom) whose colour is not white: the
// ink's horizontal extent, or {-1, -1} when there is none.
std::pair<int, int> inkColumns(const QImage &image, int top, int bottom)
{
    int first = -1, last = -1;
    for (int x = 0; x < image.width(); ++x)
        for (int y = top; y < bottom; ++y)
            if (image.pixelColor(x, y) != QColor(Qt::white)) {
                first = first < 0 ? x : first;
                last = x;
                break;
            }
    return {first, last};
}

// The lowest pixel row of ink in the columns [left, right], or -1.
int lowestInkRow(const QImage &image, int left, int right)
{
    for (int y = image.height() - 2; y > 0; --y)
        for (int x = left; x <= right; ++x)
            if (image.pixelColor(x, y) != QColor(Qt::white))
                return y;
    return -1;
}

class MiniChartTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ensureWindowTestApplication();
        document = std::make_unique<DSStatDocument>();
        ASSERT_TRUE(document->initWithType(DSStatDocument::nativeType));
        context = document->managedObjectContext();
        table = ds_object_cast<DSDataTable>(addTestTable(*document, QStringLiteral("T")));
        style = ds_make_default_style(document.get());
        builder = std::make_unique<DSMiniChartBuilder>([this] {
            DSMiniChartInputs inputs;
            inputs.table = table;
            inputs.include_mask = mask.empty() ? nullptr : ds_row_mask_copy(mask.data(), qint64(mask.size()),
                                                                             qint64(mask.size()) * 8);
            inputs.style = style.get();
            return inputs;
        });
    }

    DSNumericDataColumn *numbers(const QString &name, qint64 rows)
    {
        std::vector<double> values(static_cast<size_t>(rows));
        for (qint64 i = 0; i < rows; ++i)
            values[size_t(i)] = double(i % 97);
        if (rows > table->num_records())
            table->setNum_records(rows);
        return addNumericColumn(table, name, values);
    }

    // A text column not treated as categories.
    DSTextDataColumn *texts(const QString &name, const std::vector<const char *> &values)
    {
        if (qint64(values.size()) > table->num_records())
            table->setNum_records(qint64(values.size()));
        DSTextDataColumn *column = addTextColumn(table, name, values);
        column->setTreat_as_categories(false);
        return column;
    }

    // Lets every row through but the listed ones.
    void rejectRows(const std::vector<qint64> &rows)
    {
        mask.assign(size_t((table->num_records() + 7) / 8), 0xff);
        for (qint64 row : rows)
            mask[size_t(row / 8)] &= uint8_t(~(1u << (row % 8)));
    }

    std::unique_ptr<DSStatDocument> document;
    DSManagedObjectContext *context = nullptr;
    DSDataTable *table = nullptr;
    std::unique_ptr<DSStyle> style;
    std::vector<uint8_t> mask;
    std::unique_ptr<DSMiniChartBuilder> builder;
};

TEST_F(MiniChartTest, TablesUpTo100000RowsDrawAtOnceLargerOnesDeferAndReloadTheRow)
{
    struct Case
    {
        qint64 rows;
        bool deferred;
    };
    for (const Case &c : {Case{100000, false}, Case{100001, true}}) {
        SCOPED_TRACE(c.rows);
        table->setNum_records(c.rows);
        DSColumn *column = numbers(QStringLiteral("x"), c.rows);
        QObject outline;
        int reloads = 0;
        const auto reload = [&reloads] { ++reloads; };
        builder->refreshImageForColumn(column, &outline, reload);
        EXPECT_EQ(column->temp_image() == nullptr, c.deferred);
        EXPECT_EQ(builder->isPending(column), c.deferred);
        // Each redraw of the row asks again while the build waits.
        builder->refreshImageForColumn(column, &outline, reload);
        EXPECT_EQ(builder->pendingCount(), c.deferred ? 1 : 0) << "one build waits per column";
        EXPECT_EQ(reloads, 0);

        runDeferredBuilds(*builder);
        ASSERT_TRUE(column->temp_image());
        EXPECT_EQ(reloads, c.deferred ? 1 : 0) << "only a deferred chart reloads its row";
        EXPECT_EQ(column->temp_image()->deviceIndependentSize(), QSizeF(64, 17));
        EXPECT_EQ(column->temp_image()->size(), QSize(128, 34));

        // A chart stays until its column is purged, then shows as last_image.
        const auto chart = column->temp_image();
        builder->refreshImageForColumn(column, &outline, reload);
        EXPECT_EQ(column->temp_image(), chart);
        column->purgeStats();
        EXPECT_EQ(column->last_image(), chart);
        EXPECT_EQ(column->temp_image(), nullptr);
    }
}

TEST_F(MiniChartTest, DeferredBuildsRunOneAtATimeInTheOrderAsked)
{
    DSColumn *a = numbers(QStringLiteral("a"), 100001);
    DSColumn *b = numbers(QStringLiteral("b"), 100001);
    QObject outline;
    QStringList order;
    // Each build ends with its row's reload before the next one starts.
    builder->refreshImageForColumn(b, &outline, [&] {
        order << QStringLiteral("b");
        EXPECT_EQ(a->temp_image(), nullptr);
        EXPECT_TRUE(builder->isPending(a));
    });
    builder->refreshImageForColumn(a, &outline, [&] { order << QStringLiteral("a"); });
    runDeferredBuilds(*builder);
    EXPECT_EQ(order, (QStringList{QStringLiteral("b"), QStringLiteral("a")}));
}

TEST_F(MiniChartTest, APendingBuildOfAGoneColumnDocumentOrTargetDoesNothing)
{
    DSColumn *deleted = numbers(QStringLiteral("deleted"), 100001);
    DSColumn *orphaned = numbers(QStringLiteral("orphaned"), 100001);
    int reloads = 0;
    {
        auto outline = std::make_unique<QObject>();
        builder->refreshImageForColumn(deleted, outline.get(), [&] { ++reloads; });
        builder->refreshImageForColumn(orphaned, outline.get(), [&] { ++reloads; });
        context->deleteObject(deleted);
        context->processPendingChanges();
    }
    runDeferredBuilds(*builder);
    EXPECT_EQ(deleted->temp_image(), nullptr) << "a deleted column is not drawn";
    EXPECT_TRUE(orphaned->temp_image()) << "the chart is kept though nobody waits for it";
    EXPECT_EQ(reloads, 0) << "the outline that asked is gone";

    // The document closes (its columns freed) while a build waits.
    DSColumn *closing = numbers(QStringLiteral("closing"), 100001);
    QObject outline;
    builder->refreshImageForColumn(closing, &outline, [&] { ++reloads; });
    document.reset();
    runDeferredBuilds(*builder);
    EXPECT_EQ(reloads, 0);
    EXPECT_EQ(builder->pendingCount(), 0);
}

TEST_F(MiniChartTest, APendingBuildIsDroppedOnceTheInputsAreAnotherTables)
{
    DSColumn *codes = numbers(QStringLiteral("codes"), 100001);
    codes->setTreat_as_categories(true);
    DSDataTable *first = table;
    QObject outline;
    int reloads = 0;
    builder->refreshImageForColumn(codes, &outline, [&] { ++reloads; });
    ASSERT_TRUE(builder->isPending(codes));

    // Another table becomes the active one, its mask the outline's, before
    // the build runs.
    table = ds_object_cast<DSDataTable>(addTestTable(*document, QStringLiteral("U")));
    table->setNum_records(3);
    rejectRows({0});
    runDeferredBuilds(*builder);
    EXPECT_EQ(codes->temp_image(), nullptr) << "not drawn under the other table's mask";
    EXPECT_EQ(codes->temp_summary(), nullptr) << "nor its categories counted under it";
    EXPECT_EQ(reloads, 0);

    // Back on the first table, the row asks again and gets its chart.
    table = first;
    mask.clear();
    builder->refreshImageForColumn(codes, &outline, [&] { ++reloads; });
    runDeferredBuilds(*builder);
    EXPECT_TRUE(codes->temp_image());
    ASSERT_TRUE(codes->temp_summary());
    EXPECT_EQ(codes->temp_summary()->nonmissing_count(), 100001);
    EXPECT_EQ(reloads, 1);
}

TEST_F(MiniChartTest, ABuilderDestroyedWithABuildWaitingDropsIt)
{
    DSColumn *column = numbers(QStringLiteral("x"), 100001);
    QObject outline;
    int reloads = 0;
    builder->refreshImageForColumn(column, &outline, [&] { ++reloads; });
    builder.reset();
    for (int turn = 0; turn < 3; ++turn)
        QCoreApplication::processEvents();
    EXPECT_EQ(column->temp_image(), nullptr);
    EXPECT_EQ(reloads, 0);
}

TEST_F(MiniChartTest, ATextColumnShowsItsDistinctValuesUnderTheFilterCentredAt64Pixels)
{
    DSColumn *column = texts(QStringLiteral("colour"), {"red", "green", "blue", "red", "violet", "green"});
    rejectRows({4});
    builder->refreshImageForColumn(column, nullptr, {});
    ASSERT_TRUE(column->temp_image());
    const QImage image = column->temp_image()->convertToFormat(QImage::Format_ARGB32);
    image.save(QDir(QStringLiteral(OSTREL_TEST_BINARY_DIR)).filePath(QStringLiteral("mini_chart_text.png")));
    std::cout << "chart picture: " << OSTREL_TEST_BINARY_DIR << "/mini_chart_text.png" << std::endl;

    // The canvas: a white band of rows 1 to 32, transparent above and below.
    EXPECT_EQ(qAlpha(image.pixel(5, 0)), 0);
    EXPECT_EQ(qAlpha(image.pixel(5, 33)), 0);
    EXPECT_EQ(image.pixelColor(5, 1), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(5, 32), QColor(Qt::white));

    // "(3)" (four distinct texts, one of them filtered out), centred on x =
    // 64 px; its baseline 9 px above the bitmap's bottom, so the foot of the
    // "3" sits on pixel row 34 - 9 - 1.
    const auto [left, right] = inkColumns(image, 1, 33);
    ASSERT_GE(left, 0);
    EXPECT_NEAR((left + right + 1) / 2.0, 64.0, 1.5) << left << ".." << right;
    EXPECT_NEAR(right - left, 3 * 18 * 0.4, 10) << "three glyphs of an 18 px font";
    EXPECT_NEAR(lowestInkRow(image, 60, 67), 24, 1) << "the 3 stands on the baseline";

    // Without the filter the fourth text counts: a wider label, still centred.
    mask.clear();
    column->purgeStats();
    builder->refreshImageForColumn(column, nullptr, {});
    const QImage four = column->temp_image()->convertToFormat(QImage::Format_ARGB32);
    const auto [left4, right4] = inkColumns(four, 1, 33);
    EXPECT_NEAR((left4 + right4 + 1) / 2.0, 64.0, 1.5);
    EXPECT_NE(four, image) << "(4) is drawn, not (3)";
}

TEST_F(MiniChartTest, KindsWithoutTheirPainterShowTheWhiteCanvasAndATimeColumnWithoutValuesNone)
{
    auto *empty = context->insertNewObject<DSTimeDataColumn>(QStringLiteral("DSTimeDataColumn"));
    auto *days = context->insertNewObject<DSTimeDataColumn>(QStringLiteral("DSTimeDataColumn"));
    table->setNum_records(3);
    for (DSTimeDataColumn *column : {empty, days}) {
        table->insertNewColumns({column}, table->columns().size());
        for (int i = 0; i < 3; ++i)
            column->appendTimeValue(column == days ? i * 86400.0 : NAN, 86400);
        column->saveAfterImport();
    }
    DSColumn *categories = texts(QStringLiteral("sex"), {"f", "m", "f"});
    categories->setTreat_as_categories(true);
    DSColumn *numeric = numbers(QStringLiteral("x"), 3);

    struct Case
    {
        DSColumn *column;
        bool drawn;
    };
    for (const Case &c : {Case{empty, false}, Case{days, true}, Case{categories, true}, Case{numeric, true}}) {
        SCOPED_TRACE(c.column->name().toStdString());
        builder->refreshImageForColumn(c.column, nullptr, {});
        ASSERT_EQ(c.column->temp_image() != nullptr, c.drawn);
        if (!c.drawn)
            continue;
        const QImage image = c.column->temp_image()->convertToFormat(QImage::Format_ARGB32);
        EXPECT_EQ(inkColumns(image, 1, 33), std::make_pair(-1, -1)) << "nothing but the white band";
    }
    EXPECT_TRUE(categories->temp_summary()) << "the summary is made for the chart and kept";
}

TEST_F(MiniChartTest, AStyleLevelWithoutTheCountStyleDrawsNoCount)
{
    DSColumn *column = texts(QStringLiteral("t"), {"a", "b"});
    style->push();
    style->setTextStyle(nullptr, QStringLiteral("ValueCountTextStyle"));
    EXPECT_FALSE(style->textStyleForKey(QStringLiteral("ValueCountTextStyle")));
    const QImage bare = builder->imageForTextColumn(column, style.get())->convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(inkColumns(bare, 1, 33), std::make_pair(-1, -1));
    style->pop();
    style->pop();
    ASSERT_TRUE(style->textStyleForKey(QStringLiteral("ValueCountTextStyle"))) << "the sheet's own level stays";
    const QImage counted = builder->imageForTextColumn(column, style.get())->convertToFormat(QImage::Format_ARGB32);
    EXPECT_NE(inkColumns(counted, 1, 33), std::make_pair(-1, -1));
}

} // namespace
