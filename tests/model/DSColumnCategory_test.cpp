// Column categories of every kind: display texts, hues and colours, and the
// phi correlation of two categories.

#include "ColumnsTestSupport.h"

#include "model/DSNumericColumnCategory.h"
#include "model/DSTextColumnCategory.h"
#include "model/DSTimeColumnCategory.h"
#include "platform/calendar/DSPlatformDateFormatter.h"
#include "model/DSColumnSummary.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

class DSColumnCategoryTest : public ::testing::Test, public ColumnsFixture
{
};

TEST_F(DSColumnCategoryTest, DisplayTexts)
{
    DSTextDataColumn *t = addTextColumn({"x"});
    DSTextColumnCategory text, missing, labelled;
    text.setValue(QStringLiteral("a fairly long text of many words"));
    labelled.setValue(QStringLiteral("x"));
    labelled.setLabel(QStringLiteral("Ex"));
    for (DSColumnCategory *category : {static_cast<DSColumnCategory *>(&text), static_cast<DSColumnCategory *>(&missing),
                                       static_cast<DSColumnCategory *>(&labelled)})
        category->setColumn(t);
    EXPECT_EQ(text.longValue(), QStringLiteral("a fairly long text of many words"));
    EXPECT_EQ(missing.longValue(), QStringLiteral("Missing"));
    EXPECT_EQ(labelled.longValue(), QStringLiteral("Ex"));
    EXPECT_EQ(text.formattedValue(), text.longValue()) << "the default text format leaves texts as they are";

    const std::shared_ptr<const DSDurationFormatter> formatter = t->NSNumberFormatter();
    DSNumericColumnCategory number(formatter), nan(formatter), named(formatter);
    number.setValue(1234.5);
    named.setValue(2);
    named.setLabel(QStringLiteral("two"));
    EXPECT_EQ(number.longValue(), QStringLiteral("1234.5"));
    EXPECT_EQ(number.formattedValue(), QStringLiteral("1234.5"));
    EXPECT_EQ(nan.longValue(), QStringLiteral("Missing"));
    EXPECT_EQ(named.longValue(), QStringLiteral("two"));

    auto dates = std::make_shared<DSPlatformDateFormatter>();
    dates->setDateFormat(QStringLiteral("yyyy-MM-dd"));
    DSTimeColumnCategory day(dates), week(dates), none(dates);
    day.setValue(0);  // 2001-01-01
    day.setInterval(86400);
    week.setValue(0);
    week.setInterval(7 * 86400);
    EXPECT_EQ(day.longValue(), QStringLiteral("2001-01-01")) << "start and last second show the same text";
    EXPECT_EQ(week.longValue(), QStringLiteral("2001-01-01 - 2001-01-07"));
    EXPECT_EQ(none.longValue(), QStringLiteral("Missing"));
}

TEST_F(DSColumnCategoryTest, HuesAndColours)
{
    DSTextDataColumn *t = addTextColumn({"x"});
    DSNumericColumnCategory zero(nullptr);
    zero.setValue(0);
    EXPECT_DOUBLE_EQ(zero.hue(), 0.3);
    DSTimeColumnCategory noStart(nullptr);
    EXPECT_DOUBLE_EQ(noStart.hue(), 0.3);

    DSTextColumnCategory missing;
    missing.setColumn(t);
    EXPECT_EQ(missing.hue(), ds_hue_for_text("Missing"));
    ds_rgba_s expected;
    ds_hsl_to_rgb(&expected, missing.hue(), kDSLightSaturation, kDSLightLightness);
    EXPECT_EQ(missing.lightColor().red, expected.red);

    const double before = missing.color().green;
    table()->replaceHueForLabel(QStringLiteral("Missing"), 0.5);
    EXPECT_EQ(missing.color().green, before) << "colours are kept until purged";
    missing.purgeImageAndColors();
    ds_hsl_to_rgb(&expected, 0.5, kDSPlainSaturation, kDSPlainLightness);
    EXPECT_EQ(missing.color().green, expected.green);
    EXPECT_EQ(missing.hue(), 0.5);
}

// x: rows 0-2 are "a"; y: rows 0-1 are "p". px = 0.6, py = 0.4, pxy = 0.4,
// so r = 0.16 / 0.24; weights double row 4.
TEST_F(DSColumnCategoryTest, PhiCorrelation)
{
    DSTextDataColumn *x = addTextColumn({"a", "a", "a", "b", "b"}, QStringLiteral("x"));
    DSTextDataColumn *y = addTextColumn({"p", "p", "q", "q", "q"}, QStringLiteral("y"));
    // The summary names each category's column.
    const DSColumn::Categories xs = x->summaryWithSignificance(NAN)->categories();
    const DSColumn::Categories ys = y->summaryWithSignificance(NAN)->categories();
    const ds_corr_s r = xs[0]->calculateCorrelation(ys[0].get(), nullptr, 0);
    EXPECT_NEAR(r.correlation, 0.16 / 0.24, 1e-15);
    EXPECT_EQ(r.count, 5);
    EXPECT_NEAR(r.covariance, 5 * 0.16 / 4, 1e-15);
    EXPECT_NEAR(r.r_squared, r.correlation * r.correlation, 1e-15);
    EXPECT_NEAR(r.z_score, std::atanh(r.correlation) * std::sqrt(2.0), 1e-12);
    EXPECT_NEAR(r.p_value, std::erfc(std::fabs(r.z_score) / std::sqrt(2.0)), 1e-12);

    const ds_corr_s none = xs[0]->calculateCorrelation(nullptr, nullptr, 0);
    EXPECT_EQ(none.count, 0);
    EXPECT_EQ(none.correlation, 0);

    // A category of every row has no variance.
    DSTextDataColumn *all = addTextColumn({"k", "k", "k", "k", "k"}, QStringLiteral("all"));
    const auto every = all->summaryWithSignificance(NAN)->categories()[0];
    const ds_corr_s flat = every->calculateCategoryCorrelation(every.get(), nullptr, 0);
    EXPECT_TRUE(std::isnan(flat.correlation) && std::isnan(flat.z_score) && std::isnan(flat.r_squared));

    // Against y's two categories at once, as one pass.
    const int32_t *groups = nullptr;
    qint64 bins = 0;
    y->getIndexedValues(&groups, &bins);
    ds_corr_s many[2];
    ASSERT_TRUE(xs[0]->calculateMultipleCorrelations(many, 2, groups, nullptr, 0));
    EXPECT_NEAR(many[0].correlation, r.correlation, 1e-15);
    EXPECT_NEAR(many[1].correlation, -r.correlation, 1e-15);
    EXPECT_FALSE(xs[0]->calculateMultipleCorrelations(many, 0, groups, nullptr, 0));

    const uint8_t firstFour[] = {0x0f};
    EXPECT_EQ(xs[0]->calculateCorrelation(ys[0].get(), firstFour, 1).count, 4);
}

} // namespace
