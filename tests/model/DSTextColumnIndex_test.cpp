// The index, positions, counts, categories, hues and summary of text
// columns, with the table's frequency weights and the missing-values
// predicate; weighted counts and proportion bounds against R.

#include "ColumnsTestSupport.h"

#include "model/DSTextColumnCategory.h"
#include "model/ds_compression.h"
#include "model/util/ds_colors.h"
#include "model/DSColumnSummary.h"

#include <QFile>

#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <map>
#include <string>

namespace {

// Index entries as texts, "<null>" for the blank entry.
std::vector<std::string> indexOf(DSTextColumn *column)
{
    const char *const *index = nullptr;
    const qint64 n = column->getIndex(&index);
    std::vector<std::string> texts;
    for (qint64 i = 0; i < n; ++i)
        texts.push_back(index[i] ? index[i] : "<null>");
    return texts;
}

std::vector<int32_t> positionsOf(DSTextColumn *column, qint64 *bins = nullptr)
{
    const int32_t *positions = nullptr;
    const qint64 n = column->getIndexedValues(&positions, bins);
    return n ? std::vector<int32_t>(positions, positions + n) : std::vector<int32_t>();
}

// One CSV line of quoted or plain fields, no commas inside quotes.
QStringList csvFields(const QByteArray &line)
{
    QStringList fields;
    for (const QByteArray &field : line.trimmed().split(','))
        fields << QString::fromUtf8(field.startsWith('"') ? field.mid(1, field.size() - 2) : field);
    return fields;
}

QList<QStringList> readCsv(const char *name)
{
    QFile file(QStringLiteral(OSTREL_TEST_SOURCE_DIR "/fixtures/") + QString::fromLatin1(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    QList<QStringList> rows;
    file.readLine();
    while (!file.atEnd())
        rows << csvFields(file.readLine());
    return rows;
}

class DSTextColumnIndexTest : public ::testing::Test, public ColumnsFixture
{
protected:
    void weighBy(const std::vector<double> &weights)
    {
        DSNumericColumn *w = addColumn(weights, QStringLiteral("w"));
        table()->setFrequency_weights_column(w);
        table()->setApply_frequency_weights(true);
    }
};

TEST_F(DSTextColumnIndexTest, IndexPositionsAndBins)
{
    DSTextDataColumn *t = addTextColumn({"b", "a", nullptr, "b"});
    EXPECT_EQ(t->numberOfUniqueValues(), 3) << "counted without the index";
    EXPECT_EQ(indexOf(t), (std::vector<std::string>{"a", "b", "<null>"}));
    qint64 bins = 0;
    EXPECT_EQ(positionsOf(t, &bins), (std::vector<int32_t>{1, 0, 2, 1}));
    EXPECT_EQ(bins, 3);
    EXPECT_EQ(t->numberOfBins(), 3);
    EXPECT_EQ(t->numberOfUniqueValues(), 3);
    EXPECT_EQ(t->maximumTextValueLength(), 1u);
}

// One-byte texts go through 256-entry tables, longer ones through hashing;
// both give the same index and positions, bytes above 127 included.
TEST_F(DSTextColumnIndexTest, OneByteAndHashedColumnsAgree)
{
    const std::vector<const char *> bytes = {"\xe9", "a", nullptr, "\x7f", "\xe9", "", "A"};
    std::vector<const char *> hashed = bytes;
    hashed.push_back("zz");
    DSTextDataColumn *t = addTextColumn(bytes, QStringLiteral("bytes"));
    DSTextDataColumn *h = addTextColumn(hashed, QStringLiteral("hashed"));
    EXPECT_EQ(indexOf(t), (std::vector<std::string>{"A", "a", "\x7f", "\xe9", "<null>"}));
    EXPECT_EQ(indexOf(h), (std::vector<std::string>{"A", "a", "zz", "\x7f", "\xe9", "<null>"}));
    EXPECT_EQ(positionsOf(t), (std::vector<int32_t>{3, 1, 4, 2, 3, 4, 0, 4})) << "the empty text is blank";
    EXPECT_EQ(positionsOf(h), (std::vector<int32_t>{4, 1, 5, 3, 4, 5, 0, 2}));
    EXPECT_EQ(h->maximumTextValueLength(), 2u);
}

// Stored data whose offset points at an empty string (an import never
// stores one): the row is not missing, but indexes as blank.
TEST_F(DSTextColumnIndexTest, AStoredEmptyTextIsBlankButNotMissing)
{
    DSTextDataColumn *t = addTextColumn({"a", "b"});
    const int64_t offsets[] = {0, 2};
    t->setPrimitiveValue(*zlibDeflate(QByteArray("a\0\0", 3)), QStringLiteral("text_values"));
    t->setPrimitiveValue(*zlibDeflate(QByteArray(reinterpret_cast<const char *>(offsets), sizeof offsets)),
                         QStringLiteral("text_offsets"));
    const uint8_t *mask = nullptr;
    EXPECT_EQ(t->getMissingMask(&mask), 0) << "no row is missing";
    EXPECT_EQ(indexOf(t), (std::vector<std::string>{"a", "<null>"}));
    EXPECT_EQ(positionsOf(t), (std::vector<int32_t>{0, 1}));
}

// Under a German locale strcoll puts "a" before "B"; the index keeps the
// order of unsigned bytes. Run under LANG=de_DE.UTF-8 by the test
// "model_text_index_de_DE", which also sets OSTREL_EXPECT_COLLATION.
TEST_F(DSTextColumnIndexTest, OrderIsBytewiseWhateverTheLocale)
{
    std::setlocale(LC_ALL, "");
    if (qEnvironmentVariableIsSet("OSTREL_EXPECT_COLLATION")) {
        ASSERT_STREQ(std::setlocale(LC_COLLATE, nullptr), "de_DE.UTF-8");
        ASSERT_LT(std::strcoll("a", "B"), 0) << "the locale collates";
        ASSERT_LT(std::strcoll("Äpfel", "Zebra"), 0);
    }
    DSTextDataColumn *t = addTextColumn({"a", "Zebra", "B", "Äpfel", "b", "ab", nullptr, "Z"});
    EXPECT_EQ(indexOf(t), (std::vector<std::string>{"B", "Z", "Zebra", "a", "ab", "b", "Äpfel", "<null>"}));
    EXPECT_EQ(positionsOf(t), (std::vector<int32_t>{3, 2, 0, 6, 5, 4, 7, 1}));
    std::setlocale(LC_ALL, "C");
}

TEST_F(DSTextColumnIndexTest, DisplayOrderFollowsOrderedValues)
{
    DSTextDataColumn *t = addTextColumn({"c", "a", nullptr, "b", "\xff\xfe"});
    t->setOrdered_values(QCborArray{QStringLiteral("c"), QStringLiteral("not there"), QStringLiteral("a"),
                                    QStringLiteral("c")});
    const int32_t *order = nullptr;
    ASSERT_EQ(t->getIndexedValueOrder(&order), 5);
    // Index: a, b, c, \xff\xfe (no string), null.
    EXPECT_EQ(std::vector<int32_t>(order, order + 5), (std::vector<int32_t>{2, 0, 1, 3, 4}));
}

// Weighted counts equal R's table(rep(x, w)) and the summary's proportion
// bounds R's prop.test(correct = FALSE) (fixtures/make_text_counts.R).
TEST_F(DSTextColumnIndexTest, WeightedCountsAndBoundsMatchR)
{
    const QList<QStringList> rows = readCsv("text_counts_rows.csv");
    ASSERT_EQ(rows.size(), 400);
    std::vector<QByteArray> texts;
    std::vector<const char *> pointers;
    std::vector<double> weights;
    for (const QStringList &row : rows) {
        texts.push_back(row[0].toUtf8());
        weights.push_back(row[1].toDouble());
    }
    for (const QByteArray &text : texts)
        pointers.push_back(text.constData());
    DSTextDataColumn *t = addTextColumn(pointers);
    weighBy(weights);

    std::map<QString, qint64> counted;
    const ds_txt_counts_s *counts = nullptr;
    const qint64 entries = t->getCounts(&counts, nullptr, 0);
    for (qint64 k = 0; k < entries; ++k)
        counted[counts[k].text ? QString::fromUtf8(counts[k].text) : QString()] = counts[k].count;

    const std::shared_ptr<DSColumnSummary> summary = t->summaryWithSignificance(0.05);
    std::map<QString, std::shared_ptr<DSColumnCategory>> categories;
    for (const auto &category : summary->categories())
        categories[static_cast<DSTextColumnCategory *>(category.get())->value()] = category;

    const QList<QStringList> expected = readCsv("text_counts_expected.csv");
    ASSERT_EQ(qint64(expected.size()), entries);
    for (const QStringList &e : expected) {
        const QString text = e[0].isEmpty() ? QString() : e[0];
        EXPECT_EQ(counted[text], e[1].toLongLong()) << text.toStdString();
        const auto &category = categories[text];
        ASSERT_TRUE(category) << text.toStdString();
        EXPECT_EQ(category->is_missing(), text.isNull());
        if (text.isNull()) {
            EXPECT_TRUE(std::isnan(category->proportion_lower_ci()));
            continue;
        }
        EXPECT_NEAR(category->proportion_lower_ci(), e[2].toDouble(), 1e-12) << text.toStdString();
        EXPECT_NEAR(category->proportion_upper_ci(), e[3].toDouble(), 1e-12) << text.toStdString();
        EXPECT_DOUBLE_EQ(category->proportion_of_nonmissing(),
                         double(e[1].toLongLong()) / double(summary->nonmissing_count()));
    }
}

TEST_F(DSTextColumnIndexTest, CountsUnderMaskAndPredicate)
{
    DSTextDataColumn *t = addTextColumn({"x", "y", "x", nullptr, "y", "z"});
    usePredicate(t, "value == \"x\"");
    const uint8_t mask[] = {0b110101};  // rows 0, 2, 4, 5
    const ds_txt_counts_s *counts = nullptr;
    ASSERT_EQ(t->getCounts(&counts, mask, 1), 4);
    // Index x, y, z, null.
    const std::vector<std::pair<qint64, qint64>> expected = {{2, 1}, {1, 0}, {1, 0}, {0, 1}};
    for (size_t k = 0; k < expected.size(); ++k) {
        EXPECT_EQ(counts[k].count, expected[k].first) << k;
        EXPECT_EQ(counts[k].missing, expected[k].second) << k << ": missing through the predicate keeps its count";
    }
    EXPECT_EQ(t->getCounts(&counts, mask, 0), 4) << "a mask of length 0 selects nothing";
    EXPECT_EQ(counts[0].count + counts[1].count + counts[2].count + counts[3].count, 0);
}

TEST_F(DSTextColumnIndexTest, CategoriesLabelsAndHues)
{
    DSTextDataColumn *t = addTextColumn({"yes", "no", nullptr, "yes", "multi\r\nline"});
    t->setCategoryLabel(QStringLiteral("Agreed"), QCborValue(QStringLiteral("yes")));
    table()->replaceHueForLabel(QStringLiteral("Agreed"), 0.25);
    const DSColumn::Categories categories = t->categoriesForMask(nullptr, 0);
    ASSERT_EQ(categories.size(), 4);  // multi.., no, yes, null
    auto *multi = static_cast<DSTextColumnCategory *>(categories[0].get());
    auto *yes = static_cast<DSTextColumnCategory *>(categories[2].get());
    auto *blank = static_cast<DSTextColumnCategory *>(categories[3].get());
    EXPECT_EQ(multi->valueWithoutNewlines(), QStringLiteral("multi  line"));
    EXPECT_EQ(yes->label(), QStringLiteral("Agreed"));
    EXPECT_EQ(yes->count(), 2);
    EXPECT_EQ(blank->value(), QString());
    EXPECT_TRUE(blank->is_missing());
    EXPECT_EQ(blank->longValue(), QStringLiteral("Missing"));
    EXPECT_TRUE(blank->valueWithoutNewlines().isNull());

    const QList<double> hues = t->hueIndex();
    ASSERT_EQ(hues.size(), 4);
    EXPECT_EQ(hues[2], 0.25) << "the label's colour";
    EXPECT_EQ(hues[1], ds_hue_for_text("no"));
    EXPECT_TRUE(std::isnan(hues[3]));
    for (const auto &category : categories)
        category->setColumn(t);
    EXPECT_EQ(yes->hue(), 0.25);
    EXPECT_EQ(blank->hue(), ds_hue_for_text("Missing"));
}

// Counts 1 and 3: the first category holds a quarter of the rows (q1), the
// second reaches the median and q3.
TEST_F(DSTextColumnIndexTest, SummaryQuartileCategories)
{
    DSTextDataColumn *t = addTextColumn({"b", "a", "b", "b", nullptr});
    const std::shared_ptr<DSColumnSummary> summary = t->summaryWithSignificance(0.05);
    ASSERT_EQ(summary->numberOfNonEmptyCategories(), 3);
    const auto a = summary->categoryAtIndex(0), b = summary->categoryAtIndex(1);
    EXPECT_EQ(summary->first_category(), a);
    EXPECT_EQ(summary->q1_category(), a);
    EXPECT_EQ(summary->median_category(), b);
    EXPECT_EQ(summary->q3_category(), b);
    EXPECT_EQ(summary->last_category(), b);
    EXPECT_EQ(summary->total_count(), 5);
    EXPECT_EQ(summary->nonmissing_count(), 4);
    EXPECT_DOUBLE_EQ(a->proportion(), 0.2);
    EXPECT_DOUBLE_EQ(a->proportion_of_nonmissing(), 0.25);
}

} // namespace
