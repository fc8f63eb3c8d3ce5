// The dBase importer on a file written by shapelib's tools
// (fixtures/dbf/make_dbf.sh) against R's foreign::read.dbf reading of it:
// field order and kinds, Latin-1 texts, logical fields, "1,234" in a
// numeric and in a character field, broken files.
#include "ImportTestSupport.h"

#include "import/DSDataImporterDBF.h"
#include "import/ds_boolean_column.h"
#include "model/DSDataTable.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSTextDataColumn.h"

#include <QCborMap>
#include <QFile>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

class DBFImportTest : public FileImportTest<DSDataImporterDBF>
{
protected:
    static QUrl fixture() { return QUrl::fromLocalFile(ds_import_fixture(QStringLiteral("dbf/people.dbf"))); }
    static QByteArray fixtureBytes() { return ds_file_bytes(fixture().toLocalFile()); }
};

// Every cell against R's reading, but for the numeric cell holding "1,234",
// which R reads as 1 and the importer, dropping the thousands separator, as
// 1234; the same text in a character field stays text.
TEST_F(DBFImportTest, ValuesEqualReadDbf)
{
    const auto tables = import({fixture()});
    ASSERT_EQ(tables.size(), 1) << run->errorText().toStdString();
    DSDataTable *table = tables[0];
    EXPECT_EQ(table->name(), "people");
    EXPECT_THAT(ds_column_names(table),
                ElementsAre("0 NAME DSTextDataColumn", "1 AMOUNT DSNumericDataColumn", "2 COUNT DSNumericDataColumn",
                            "3 AMT_TXT DSTextDataColumn", "4 FLAG DSNumericDataColumn", "5 DAY DSTextDataColumn",
                            "6 EMPTY DSNumericDataColumn"));
    ds_expect_table_equals_csv(table, ds_read_csv_fixture(ds_import_fixture(QStringLiteral("dbf/people.R.csv"))),
                               nullptr,
                               [](const std::string &column, size_t row) { return column == "COUNT" && row == 2; });
    const auto columns = table->sortedColumns();
    EXPECT_EQ(ds_column_values(ds_object_cast<DSNumericDataColumn>(columns[2]))[1], 1234.0);
    EXPECT_EQ(ds_text_values(ds_object_cast<DSTextDataColumn>(columns[3]))[0], "1,234");
    EXPECT_TRUE(columns[4]->treat_as_categories());
    EXPECT_EQ(columns[4]->category_labels().value(QCborValue(1.0)).toString(), "TRUE");
    EXPECT_EQ(columns[4]->category_labels().value(QCborValue(0.0)).toString(), "FALSE");
}

TEST(DBFLogicalValue, LettersAndBlanks)
{
    const struct
    {
        const char *text;
        double value;
    } cases[] = {{"T", 1}, {"t", 1}, {"Y", 1}, {"y", 1}, {" T ", 1}, {"F", 0}, {"f", 0}, {"N", 0}, {"n", 0},
                 {"?", NAN}, {"", NAN}, {"   ", NAN}, {"TT", NAN}, {"1", NAN}, {"X", NAN}};
    for (const auto &c : cases) {
        const double value = ds_logical_value(c.text);
        EXPECT_TRUE(value == c.value || (std::isnan(value) && std::isnan(c.value))) << '"' << c.text << '"';
    }
}

// A broken file ends the whole import with an error naming it and no
// table, the good file before it included.
TEST_F(DBFImportTest, BrokenFilesEndWithAnErrorNamingThem)
{
    const QByteArray good = fixtureBytes();
    ASSERT_GT(good.size(), 300);
    QByteArray wideField = good;
    wideField[32 + 16] = char(200);  // the first field wider than a record
    QByteArray manyRecords = good;
    manyRecords[7] = char(0x7f);  // a record count far beyond the file
    QByteArray zeroRecordLength = good;
    zeroRecordLength[10] = zeroRecordLength[11] = 0;
    const struct
    {
        const char *name;
        QByteArray bytes;
        const char *message;
    } cases[] = {
        {"truncated.dbf", good.left(good.size() - 40), "The DBF file is damaged or incomplete"},
        {"header.dbf", good.left(20), "Failed to open DBF file"},
        {"wide.dbf", wideField, "Failed to open DBF file"},
        {"many.dbf", manyRecords, "The DBF file is damaged or incomplete"},
        {"zero.dbf", zeroRecordLength, "Failed to open DBF file"},
    };
    for (const auto &c : cases)
        expectBrokenFileFails(fixture(), c.name, c.bytes, c.message);
}

} // namespace
