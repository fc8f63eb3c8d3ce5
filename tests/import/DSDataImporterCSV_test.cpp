// The delimited-text importer: cell kinds, header and preamble rules,
// ragged records, text decoding, strict quoting, delimiters, abort, and the
// background run it shares with every importer.
#include "ImportTestSupport.h"

#include "import/DSDataImporterCSV.h"
#include "import/ds_csv_number.h"
#include "import/ds_text_decoding.h"
#include "model/DSDataTable.h"
#include "model/DSNumberFormatter.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSTextDataColumn.h"
#include "model/DSTimeDataColumn.h"
#include "platform/store/DSObjectPool.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

class CSVImportTest : public ::testing::Test
{
protected:
    void SetUp() override { ds_import_test_model(); }

    // Imports the one file and answers its table, or null.
    DSDataTable *import(const QByteArray &text, qint64 delimiter = 0, const QString &name = "data.csv")
    {
        auto importer = std::make_shared<DSDataImporterCSV>(QList<QUrl>{files.write(name, text)});
        importer->setDelimiter(delimiter);
        run = std::make_unique<ImportRun>(importer);
        run->run();
        const auto tables = run->tables();
        return tables.size() == 1 ? tables.first() : nullptr;
    }
    DSNumericDataColumn *column(DSDataTable *table, qint64 i)
    {
        return ds_object_cast<DSNumericDataColumn>(table->sortedColumns().value(i));
    }

    ImportFiles files;
    std::unique_ptr<ImportRun> run;
};

// The first non-empty cell decides a column's kind and style; a column
// whose first value comes late starts with missing values; a column without
// a value is dropped and the numbering closes the gap.
TEST_F(CSVImportTest, CellKindsFromFirstValue)
{
    DSDataTable *table = import("pct,cur,dur,late,blank,plain\n"
                                "12%,\"$1,234.50\",1:30,,,7\n"
                                "50%,$3,2:00:01,,,\n"
                                ",,x,,,8.5\n"
                                "1.5%,\"$1,000\",0:05,,,1e3\n"
                                "7%,$0.5,1:00,\"1,5\",,-2\n"
                                "3,4,5,6,,x\n");
    ASSERT_NE(table, nullptr) << run->errorText().toStdString();
    EXPECT_EQ(table->name(), "data");
    EXPECT_EQ(table->num_records(), 6);
    EXPECT_THAT(ds_column_names(table),
                ElementsAre("0 pct DSNumericDataColumn", "1 cur DSNumericDataColumn", "2 dur DSNumericDataColumn",
                            "3 late DSNumericDataColumn", "4 plain DSNumericDataColumn"));
    const struct
    {
        int style;
        std::vector<double> values;
    } expected[] = {
        {3, {0.12, 0.5, NAN, 0.015, 0.07, 3}},
        {2, {1234.5, 3, NAN, 1000, 0.5, 4}},
        {500, {90, 7201, NAN, 5, 60, NAN}},  // a bare 5 is no duration
        {0, {NAN, NAN, NAN, NAN, 15, 6}},   // commas go, as thousands separators
        {0, {7, NAN, 8.5, 1000, -2, NAN}},
    };
    for (qint64 i = 0; i < 5; ++i) {
        DSNumericDataColumn *c = column(table, i);
        ASSERT_NE(c, nullptr);
        const DSNumberFormatter *formatter = c->number_formatter();
        EXPECT_EQ(formatter ? formatter->number_style() : 0, expected[i].style) << c->name().toStdString();
        EXPECT_TRUE(ds_same_values(ds_column_values(c), expected[i].values)) << c->name().toStdString();
    }
}

// Clock times and dates make time columns: a time of day keeps seconds
// since midnight, a date its seconds since 2001 and the length of what the
// text gave (a day, a minute, a second).
TEST_F(CSVImportTest, TimeColumns)
{
    DSDataTable *table = import("clock,day\n"
                                ",\n"
                                "1:45 PM,3/14/2015\n"
                                "13:45:30,2015-03-14 10:30\n"
                                "x,2000-12-31T23:59:59Z\n");
    ASSERT_NE(table, nullptr) << run->errorText().toStdString();
    EXPECT_THAT(ds_column_names(table), ElementsAre("0 clock DSTimeDataColumn", "1 day DSTimeDataColumn"));
    auto *clock = ds_object_cast<DSTimeDataColumn>(table->sortedColumns()[0]);
    auto *day = ds_object_cast<DSTimeDataColumn>(table->sortedColumns()[1]);
    ASSERT_TRUE(clock && day);
    EXPECT_TRUE(clock->isTimeOfDay());
    EXPECT_FALSE(day->isTimeOfDay());
    // 2015-03-14 is day 5185 after 2001-01-01.
    EXPECT_TRUE(ds_same_values(ds_time_values(clock), {NAN, 49500, 49530, NAN}));
    EXPECT_TRUE(ds_same_values(ds_time_values(day), {NAN, 5185 * 86400.0, 5185 * 86400.0 + 37800, -1}))
        << ::testing::PrintToString(ds_time_values(day));
    EXPECT_THAT(ds_time_intervals(day), ElementsAre(0, 86400, 60, 1));
}

// Texts are kept as UTF-8, read as Windows-1252 where they are not UTF-8;
// empty cells and cells that are neither are missing. Once a column is
// numeric a later text is missing there, not a text.
TEST_F(CSVImportTest, TextColumns)
{
    DSDataTable *table = import("name,n\n"
                                ",1\n"
                                "Caf\xE9,abc\n"
                                "\"na\xC3\xAFve, \"\"quoted\"\"\",2\n"
                                "\x81,3\n");
    ASSERT_NE(table, nullptr) << run->errorText().toStdString();
    EXPECT_THAT(ds_column_names(table), ElementsAre("0 name DSTextDataColumn", "1 n DSNumericDataColumn"));
    auto *name = ds_object_cast<DSTextDataColumn>(table->sortedColumns()[0]);
    ASSERT_NE(name, nullptr);
    EXPECT_THAT(ds_text_values(name), ElementsAre("", "Café", "naïve, \"quoted\"", ""));
    EXPECT_TRUE(ds_same_values(ds_column_values(column(table, 1)), {1, NAN, 2, 3}));
}

// A byte-order mark, then comment and blank lines before the header are
// skipped; after the header a "#" line is data and blank lines are no
// records. The header names columns even when they look like numbers.
TEST_F(CSVImportTest, PreambleAndBlankLines)
{
    DSDataTable *table = import("\xEF\xBB\xBF# made by hand\n\n\r\n#another\r\n1,2\r\n1,2\n\n3,4\r\n#5,6\n");
    ASSERT_NE(table, nullptr) << run->errorText().toStdString();
    EXPECT_THAT(ds_column_names(table), ElementsAre("0 1 DSNumericDataColumn", "1 2 DSNumericDataColumn"));
    EXPECT_EQ(table->num_records(), 3);
    EXPECT_TRUE(ds_same_values(ds_column_values(column(table, 0)), {1, 3, NAN}));
    EXPECT_TRUE(ds_same_values(ds_column_values(column(table, 1)), {2, 4, 6}));
}

// Short records are padded with missing values and keep later records
// aligned; fields past the header's last column are ignored; a header-only
// file is a table of no records and no columns.
TEST_F(CSVImportTest, RaggedRecordsAndHeaderOnly)
{
    DSDataTable *table = import("a,b,c\n1,2,3\n4\n5,6,7,8,9\n,,\n");
    ASSERT_NE(table, nullptr) << run->errorText().toStdString();
    EXPECT_EQ(table->num_records(), 4);
    EXPECT_TRUE(ds_same_values(ds_column_values(column(table, 0)), {1, 4, 5, NAN}));
    EXPECT_TRUE(ds_same_values(ds_column_values(column(table, 1)), {2, NAN, 6, NAN}));
    EXPECT_TRUE(ds_same_values(ds_column_values(column(table, 2)), {3, NAN, 7, NAN}));

    table = import("a,b,c\n");
    ASSERT_NE(table, nullptr) << run->errorText().toStdString();
    EXPECT_EQ(table->num_records(), 0);
    EXPECT_TRUE(table->sortedColumns().isEmpty());
}

// Header texts are UTF-8 or else Windows-1252; bytes that are neither give
// the empty name.
TEST_F(CSVImportTest, HeaderEncodings)
{
    DSDataTable *table = import("Caf\xE9,na\xC3\xAFve,\x81x,\x80uro\n1,2,3,4\n");
    ASSERT_NE(table, nullptr) << run->errorText().toStdString();
    EXPECT_THAT(ds_column_names(table),
                ElementsAre("0 Café DSNumericDataColumn", "1 naïve DSNumericDataColumn", "2  DSNumericDataColumn",
                            "3 €uro DSNumericDataColumn"));
}

TEST(TextDecoding, Utf8ElseWindows1252)
{
    const struct
    {
        QByteArray bytes;
        bool decodes;
        const char *utf8;
    } cases[] = {
        {"plain", true, "plain"},
        {"Caf\xC3\xA9", true, "Café"},
        {"Caf\xE9", true, "Café"},
        {"\x93quoted\x94 \x85", true, "“quoted” …"},
        {"\xC0\xAF", true, "À¯"},                       // overlong UTF-8 reads as two Windows-1252 letters
        {"\xED\xA0\x80", true, "í\xC2\xA0€"},         // a surrogate is no UTF-8
        {"\xF0\x9F\x98\x80", true, "\xF0\x9F\x98\x80"},  // four-byte UTF-8
        {"a\x81", false, ""},
        {"\x9D", false, ""},
        {"", true, ""},
    };
    for (const auto &c : cases) {
        std::string out = "junk";
        EXPECT_EQ(ds_decode_text(c.bytes.constData(), size_t(c.bytes.size()), &out), c.decodes) << c.bytes.toHex().constData();
        EXPECT_EQ(out, c.utf8) << c.bytes.toHex().constData();
    }
}

// Strict quoting: a quote inside an unquoted field, and a quote left open
// at the end of the text (which would swallow the rest of the file into one
// field), fail with the library's code and message after the file's name.
TEST_F(CSVImportTest, StrictQuotes)
{
    for (const char *text : {"a,b\n1,x\"y\n2,3\n", "a,b\n1,\"open\n"}) {
        EXPECT_EQ(import(text), nullptr) << text;
        EXPECT_EQ(run->errorText(), "1 data.csv: CSV error: error parsing data while strict checking enabled") << text;
    }
}

// Delimiter 0 takes a tab when the first line has one anywhere;
// a chosen delimiter is used as given.
TEST_F(CSVImportTest, Delimiters)
{
    const struct
    {
        const char *text;
        qint64 delimiter;
        std::vector<double> first;
    } cases[] = {
        {"a\tb\n1\t2\n", 0, {1}},
        {"a,b\tc\n1,2\t3\n", 0, {12}},
        // With ";" a comma before the last one to three digits is the
        // decimal separator, unless a "." stands anywhere in the column.
        {"a;b\n\"1,5\";2\n", ';', {1.5}},
        {"a;b\n1,5;2\n2.5;3\n", ';', {15, 2.5}},
        {"a;b\n\"1.234,50\";2\n-0,5;3\n", ';', {1234.5, -0.5}},
        {"a;b\n1;2\n", 0x13B, {1}},  // only the low byte counts
    };
    for (const auto &c : cases) {
        DSDataTable *table = import(c.text, c.delimiter);
        ASSERT_NE(table, nullptr) << c.text;
        EXPECT_EQ(table->sortedColumns().size(), 2) << c.text;
        EXPECT_TRUE(ds_same_values(ds_column_values(column(table, 0)), c.first)) << c.text;
    }
}

// Numbers as spreadsheets write them: currencies before or after, signs
// apart from the digits, accounting negatives, and either decimal mark.
TEST(CSVNumbers, CurrenciesNegativesAndDecimalMarks)
{
    const struct
    {
        const char *text;
        bool decimalComma;
        double value;
    } cases[] = {
        {"$1,234.50", false, 1234.5},
        {"\xE2\x82\xAC 5.00", false, 5},
        {"-\xE2\x82\xAC 12.50", false, -12.5},
        {"\xC2\xA3" "1,500.25", false, 1500.25},
        {"-\xC2\xA5" "3", false, -3},
        {"5,00 \xE2\x82\xAC", true, 5},
        {"($1,234.50)", false, -1234.5},
        {"($0.75)", false, -0.75},
        {"(-5)", false, NAN},
        {"(5", false, NAN},
        {"12%", false, 0.12},
        {"1,5", true, 1.5},
        {"1.234,50", true, 1234.5},
        {"-0,75", true, -0.75},
        {"1,5", false, 15},
        {"abc", false, NAN},
        {"", false, NAN},
    };
    for (const auto &c : cases) {
        const double x = ds_parse_csv_number(c.text, c.decimalComma);
        if (std::isnan(c.value))
            EXPECT_TRUE(std::isnan(x)) << c.text << " gave " << x;
        else
            EXPECT_DOUBLE_EQ(x, c.value) << c.text;
    }
}

TEST(CSVNumbers, DecimalCommaEvidence)
{
    using E = DSDecimalCommaEvidence;
    const struct
    {
        const char *text;
        E evidence;
    } cases[] = {
        {"1,5", E::Comma},      {"1000,125", E::Comma}, {"-0,75", E::Comma}, {"1.234,50", E::Comma},
        {"1.234.567,5", E::Comma}, {"5,00 \xE2\x82\xAC", E::Comma},
        {"1,2345", E::None},    {"1,234,567", E::None}, {",5", E::None},     {"abc", E::None},
        {"1,234.50", E::Dot},   {"2.5", E::Dot},        {"12.5,3", E::Dot},  {"14.03.2015", E::Dot},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ds_decimal_comma_evidence(c.text), c.evidence) << c.text;
}

// Several files give one table each in list order, progress rising to
// exactly 1; a file without data, or one that cannot be opened, fails the
// whole import with an error naming it.
TEST_F(CSVImportTest, FilesOfOneImporter)
{
    const QUrl a = files.write("a.csv", "x\n1\n"), b = files.write("b.tsv", "y\tz\n2\t3\n");
    const QUrl empty = files.write("empty.csv", "\xEF\xBB\xBF#only a comment\n\n");
    ImportRun good(std::make_shared<DSDataImporterCSV>(QList<QUrl>{a, b}));
    good.run();
    ASSERT_EQ(good.tables().size(), 2);
    EXPECT_EQ(good.tables()[0]->name(), "a");
    EXPECT_EQ(good.tables()[1]->name(), "b");
    EXPECT_EQ(good.importer->asyncProgress(), 1.0);

    ImportRun withEmpty(std::make_shared<DSDataImporterCSV>(QList<QUrl>{a, empty, b}));
    withEmpty.run();
    EXPECT_TRUE(withEmpty.tables().isEmpty());
    EXPECT_EQ(withEmpty.errorText(), "1 “empty.csv” holds no data.");

    const QUrl missing = QUrl::fromLocalFile("/nonexistent/m.csv");
    ImportRun unreadable(std::make_shared<DSDataImporterCSV>(QList<QUrl>{a, missing}));
    unreadable.run();
    EXPECT_TRUE(unreadable.tables().isEmpty());
    EXPECT_EQ(unreadable.errorText(), "1 Failed to open file for reading: file:///nonexistent/m.csv");

    ImportRun none(std::make_shared<DSDataImporterCSV>(QList<QUrl>{}));
    none.run();
    ASSERT_NE(none.importer->asyncResult(), nullptr);
    EXPECT_TRUE(none.tables().isEmpty());
    EXPECT_FALSE(none.importer->asyncError());
}

// An abort during the parse ends it with no tables and no error; the flag
// of an earlier run is cleared when the next starts.
TEST_F(CSVImportTest, AbortMidParse)
{
    QByteArray text = "a,b\n";
    for (int i = 0; i < 20000; ++i)
        text += QByteArray::number(i) + "," + QByteArray::number(i * 2) + "\n";
    auto importer = std::make_shared<DSDataImporterCSV>(QList<QUrl>{files.write("big.csv", text)});
    ImportRun cancelled(importer);
    cancelled.runAbortingAt(0.3);
    EXPECT_EQ(importer->asyncResult(), nullptr);
    EXPECT_FALSE(importer->asyncError());
    EXPECT_EQ(importer->asyncProgress(), 1.0);
    ASSERT_GE(cancelled.progress.size(), 2u);
    EXPECT_LT(cancelled.progress[cancelled.progress.size() - 2], 0.35) << "stopped soon after the abort";

    cancelled.run();
    ASSERT_EQ(cancelled.tables().size(), 1);
    EXPECT_EQ(cancelled.tables()[0]->num_records(), 20000);
}

// What escapes a parse is caught at the run: logged, no result, no error,
// progress 1.
TEST(DataImporterRun, ExceptionLeavesNeitherResultNorError)
{
    ds_import_test_model();
    class Throwing : public DSDataImporter
    {
    public:
        Throwing() : DSDataImporter({}) {}
        QString className() const override { return "Throwing"; }
        bool parseIntoPool(DSObjectPool &, DSError *) override
        {
            setAsyncProgress(0.4);
            throw std::runtime_error("boom");
        }
    };
    auto importer = std::make_shared<Throwing>();
    ImportRun run(importer);
    run.run();
    EXPECT_EQ(importer->asyncResult(), nullptr);
    EXPECT_FALSE(importer->asyncError());
    EXPECT_THAT(run.progress, ElementsAre(0.4, 1.0));
}

} // namespace
