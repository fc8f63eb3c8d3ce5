// The one-variable painters: which painter of the summary picture's chain
// takes a column, and the value count of free-text columns.
#include "../ui/window/window_test_support.h"

#include "charts/DSStatValueCountPainter.h"
#include "charts/DSStyle.h"
#include "charts/ds_default_style.h"
#include "model/DSColumn.h"
#include "model/DSDataTable.h"
#include "model/DSIndicatorColumn.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSStatDocument.h"
#include "model/DSTextDataColumn.h"
#include "model/DSTimeDataColumn.h"
#include "platform/graphics/DSBitmapContext.h"
#include "platform/graphics/DSRecordingContext.h"
#include "platform/store/DSManagedObjectContext.h"

#include <QCoreApplication>
#include <QDir>

#include <iostream>

namespace {

using Link = DSStatPicturePainter::Link;

// A painter of the chain that answers by its link's rule and records what
// it was asked to draw.
class StubPainter : public DSStatPicturePainter
{
public:
    explicit StubPainter(Link link) : m_link(link) {}
    bool willDrawColumn(DSColumn *column) override { return linkAcceptsColumn(m_link, column); }
    void drawColumn(DSColumn *column, const std::shared_ptr<DSColumnCategory> &, const uint8_t *, qint64,
                    const uint8_t *, qint64, DSStyle *, const DSRect &, const DSRect &, bool,
                    DSGraphicsContext *) override
    {
        drawn.push_back(column);
    }

    std::vector<DSColumn *> drawn;

private:
    Link m_link;
};

class PicturePainterTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ensureWindowTestApplication();
        document = std::make_unique<DSStatDocument>();
        ASSERT_TRUE(document->initWithType(DSStatDocument::nativeType));
        table = ds_object_cast<DSDataTable>(addTestTable(*document, QStringLiteral("T")));
        table->setNum_records(3);
        style = ds_make_default_style(document.get());
    }

    template <class T>
    T *column(const char *entity, const QString &name)
    {
        auto *made = document->managedObjectContext()->insertNewObject<T>(QString::fromLatin1(entity));
        made->setName(name);
        table->insertNewColumns({made}, table->columns().size());
        return made;
    }

    DSTimeDataColumn *times(const QString &name)
    {
        DSTimeDataColumn *made = column<DSTimeDataColumn>("DSTimeDataColumn", name);
        for (int i = 0; i < 3; ++i)
            made->appendTimeValue(i * 86400.0, 86400);
        made->saveAfterImport();
        return made;
    }

    DSTextDataColumn *freeText(const QString &name, const std::vector<const char *> &values)
    {
        DSTextDataColumn *made = addTextColumn(table, name, values);
        made->setTreat_as_categories(false);
        return made;
    }

    std::unique_ptr<DSStatDocument> document;
    DSDataTable *table = nullptr;
    std::unique_ptr<DSStyle> style;
};

TEST_F(PicturePainterTest, TheFirstPainterOfTheChainThatAcceptsDrawsTheColumn)
{
    StubPainter pie(Link::PieChart), histogram(Link::Histogram), timeline(Link::Timeline),
        survival(Link::SurvivalCurve);
    DSStatValueCountPainter valueCount;
    const std::vector<DSStatPicturePainter *> chain = {&pie, &histogram, &timeline, &survival, &valueCount};

    auto flagged = [](DSColumn *c, bool categories, bool survivalTimes) {
        c->setTreat_as_categories(categories);
        c->setTreat_as_survival_times(survivalTimes);
        return c;
    };
    struct Case
    {
        const char *what;
        DSColumn *column;
        DSStatPicturePainter *painter; // null: no picture
    };
    const Case cases[] = {
        {"categories", flagged(addTextColumn(table, QStringLiteral("sex"), {"f", "m", "f"}), true, false), &pie},
        {"numbers", flagged(addNumericColumn(table, QStringLiteral("x"), {1, 2, 3}), false, false), &histogram},
        {"times", flagged(times(QStringLiteral("t")), false, false), &timeline},
        {"survival times", flagged(addNumericColumn(table, QStringLiteral("s"), {1, 2, 3}), false, true), &survival},
        {"free text", freeText(QStringLiteral("note"), {"a", "b", "c"}), &valueCount},
        {"numbers as categories and survival times",
         flagged(addNumericColumn(table, QStringLiteral("cs"), {1, 2, 1}), true, true), &pie},
        {"times as survival times", flagged(times(QStringLiteral("ts")), false, true), &survival},
        {"times as categories", flagged(times(QStringLiteral("tc")), true, false), &pie},
        {"an indicator", flagged(column<DSIndicatorColumn>("DSIndicatorLocalColumn", QStringLiteral("i")), false, false),
         nullptr},
        {"an indicator as categories",
         flagged(column<DSIndicatorColumn>("DSIndicatorLocalColumn", QStringLiteral("ic")), true, false), &pie},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        DSStatPicturePainter *chosen = DSStatPicturePainter::painterForColumn(chain, c.column);
        EXPECT_EQ(chosen, c.painter);
        if (auto *stub = dynamic_cast<StubPainter *>(chosen)) {
            DSRecordingContext context;
            stub->drawColumn(c.column, nullptr, nullptr, 0, nullptr, 0, style.get(), {}, {}, false, &context);
            EXPECT_EQ(stub->drawn.back(), c.column);
        }
    }
}

TEST_F(PicturePainterTest, TheBaseTitlesByTheColumnAndAcceptsNothing)
{
    DSStatPicturePainter base;
    DSColumn *x = addNumericColumn(table, QStringLiteral("height"), {1, 2, 3});
    EXPECT_FALSE(base.willDrawColumn(x));
    EXPECT_EQ(base.distributionStringForColumn(x), QStringLiteral("Distribution of ") + x->longName());
    EXPECT_EQ(base.maximumNumberOfTitleLines(), 1);
    EXPECT_EQ(base.mouseDownAtPoint({1, 1}, x, ds_rect_make(0, 0, 10, 10)), nullptr);
    EXPECT_TRUE(base.infoForColumn(x, nullptr, nullptr, 0, nullptr, 0).isEmpty());
    DSRecordingContext context;
    base.drawColumn(x, nullptr, nullptr, 0, nullptr, 0, style.get(), {}, ds_rect_make(0, 0, 10, 10), false, &context);
    EXPECT_TRUE(context.primitives().empty());
}

TEST_F(PicturePainterTest, TheValueCountIsCentredWithItsWordsInTheNumber)
{
    DSTextDataColumn *notes = freeText(QStringLiteral("note"), {"a", "a", "b"});
    DSStatValueCountPainter painter;
    EXPECT_TRUE(painter.willDrawColumn(notes));
    EXPECT_TRUE(painter.infoForColumn(notes, nullptr, nullptr, 0, nullptr, 0).isEmpty());
    struct Case
    {
        uint8_t rows; // the include mask's one byte; 0xff for no mask
        const char *text;
    };
    const Case cases[] = {
        {0x00, "(0 observations, 0 values)"},
        {0x01, "(1 observation, 1 value)"},
        {0x03, "(2 observations, 1 value)"},
        {0x05, "(2 observations, 2 values)"},
        {0xff, "(3 observations, 2 values)"},
    };
    const DSRect bounds = ds_rect_make(0, 0, 300, 200);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        const uint8_t mask[1] = {c.rows};
        const uint8_t *include = c.rows == 0xff ? nullptr : mask;
        DSRecordingContext context;
        painter.drawColumn(notes, nullptr, include, include ? 1 : 0, nullptr, 0, style.get(), bounds, bounds, false,
                           &context);
        const auto texts = context.primitives(DSRecordedPrimitive::Text);
        ASSERT_EQ(texts.size(), 1u);
        EXPECT_EQ(texts[0].text, QString::fromUtf8(c.text));
        EXPECT_EQ(ds_map_font_name(texts[0].fontName).families().value(0), QStringLiteral("DejaVu Sans"));
        EXPECT_EQ(texts[0].fontSize, 18);
        EXPECT_NEAR(texts[0].textOrigin.x + texts[0].textWidth / 2, 150, 1e-9);
        EXPECT_NEAR(texts[0].textOrigin.y, 100, 1e-9);
        EXPECT_EQ(context.layerDepth(), 0);
    }

    style->push();
    style->setTextStyle(nullptr, QStringLiteral("ValueCountTextStyle"));
    DSRecordingContext unstyled;
    painter.drawColumn(notes, nullptr, nullptr, 0, nullptr, 0, style.get(), bounds, bounds, false, &unstyled);
    EXPECT_TRUE(unstyled.primitives().empty()) << "no text style, no text";
    style->pop();

    DSBitmapContext bitmap(600, 400, false);
    bitmap.scaleCTM(2, 2);
    painter.drawColumn(notes, nullptr, nullptr, 0, nullptr, 0, style.get(), bounds, bounds, false, &bitmap);
    const QString path = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("value_count.png"));
    ASSERT_TRUE(bitmap.makeImage().save(path));
    std::cout << "value count picture: " << path.toStdString() << std::endl;
}

} // namespace
