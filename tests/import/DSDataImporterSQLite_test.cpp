// The SQLite file importer on a database the sqlite3 shell wrote
// (fixtures/sqlite/make_sqlite.sh): table order and quoted names, the
// column kinds decided by the first typed cell, blobs and nulls, tables
// without rows or columns, values against the shell's own CSV output,
// broken files and abort.
#include "ImportTestSupport.h"

#include "import/DSDataImporterSQLite.h"
#include "model/DSDataTable.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSTextDataColumn.h"
#include "model/DSTimeDataColumn.h"
#include "model/util/ds_parse.h"

#include <QFile>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

const QString k_database = QStringLiteral("sqlite/tables.sqlite");

class SQLiteImportTest : public FileImportTest<DSDataImporterSQLite>
{
protected:
    static QUrl fixture() { return QUrl::fromLocalFile(ds_import_fixture(k_database)); }
    static QByteArray fixtureBytes() { return ds_file_bytes(ds_import_fixture(k_database)); }
};

DSDataTable *tableNamed(const QList<DSDataTable *> &tables, const QString &name)
{
    for (DSDataTable *table : tables)
        if (table->name() == name)
            return table;
    return nullptr;
}

// Every column of the shell's CSV (header first) against the table: times
// as their text reads.
void expectTableEqualsCsv(DSDataTable *table, const QString &csv)
{
    ds_expect_table_equals_csv(table, ds_read_csv_fixture(ds_import_fixture(csv)), ds_parse_date);
}

// Tables in name order, the empty one skipped, the quoted name read; each
// table's values equal the shell's CSV.
TEST_F(SQLiteImportTest, TablesInNameOrderWithShellValues)
{
    const auto tables = import({fixture()});
    ASSERT_EQ(run->errorText(), QString());
    QStringList names;
    for (DSDataTable *table : tables)
        names << table->name();
    EXPECT_EQ(names, (QStringList{"a\"b", "allnull", "blobs", "mixed", "zeta"}));

    expectTableEqualsCsv(tableNamed(tables, "a\"b"), "sqlite/ab.csv");
    expectTableEqualsCsv(tableNamed(tables, "zeta"), "sqlite/zeta.csv");
    DSDataTable *zeta = tableNamed(tables, "zeta");
    EXPECT_THAT(ds_column_names(zeta), ElementsAre("0 id DSNumericDataColumn", "1 x DSNumericDataColumn",
                                                   "2 name DSTextDataColumn", "3 day DSTimeDataColumn"));
    // 2015-03-14 and 3/15/2015 09:26 in GMT (Python's datetime), and the
    // precision each text gives.
    auto *day = ds_object_cast<DSTimeDataColumn>(zeta->sortedColumns()[3]);
    EXPECT_EQ(ds_time_values(day)[0], 447984000.0);
    EXPECT_EQ(ds_time_values(day)[1], 448104360.0);
    EXPECT_EQ(ds_time_intervals(day)[0], 86400.0);
    EXPECT_EQ(ds_time_intervals(day)[1], 60.0);
}

// A column's kind waits for its first integer, float or text cell: the
// blobs and nulls before it are missing; a later blob in a numeric column
// reads as SQLite converts it; an all-null table keeps its rows, no column.
TEST_F(SQLiteImportTest, BlobsNullsAndLateKinds)
{
    const auto tables = import({fixture()});
    DSDataTable *blobs = tableNamed(tables, "blobs");
    ASSERT_TRUE(blobs);
    EXPECT_EQ(blobs->num_records(), 4);
    EXPECT_THAT(ds_column_names(blobs), ElementsAre("0 b DSNumericDataColumn", "1 c DSTextDataColumn",
                                                    "2 k DSTextDataColumn"));
    const auto columns = blobs->sortedColumns();
    const auto b = ds_column_values(ds_object_cast<DSNumericDataColumn>(columns[0]));
    ASSERT_EQ(b.size(), 4u);
    EXPECT_TRUE(std::isnan(b[0]) && std::isnan(b[1]));
    EXPECT_EQ(b[2], 4.0);
    EXPECT_TRUE(std::isnan(b[3])) << "a blob is no number";
    EXPECT_THAT(ds_text_values(ds_object_cast<DSTextDataColumn>(columns[1])),
                ElementsAre("", "", "late text", "more"));
    EXPECT_THAT(ds_text_values(ds_object_cast<DSTextDataColumn>(columns[2])), ElementsAre("", "text", "8.5", ""));

    DSDataTable *allnull = tableNamed(tables, "allnull");
    ASSERT_TRUE(allnull);
    EXPECT_EQ(allnull->num_records(), 3);
    EXPECT_TRUE(allnull->sortedColumns().isEmpty());
    EXPECT_FALSE(tableNamed(tables, "empty"));

    // Texts in an integer column that are not numbers ("12abc", "abc") are
    // missing, not the 12 and 0 SQLite converts them to; the text column
    // shows the shell's texts.
    DSDataTable *mixed = tableNamed(tables, "mixed");
    ASSERT_TRUE(mixed);
    const auto n = ds_column_values(ds_object_cast<DSNumericDataColumn>(mixed->sortedColumns()[0]));
    ASSERT_EQ(n.size(), 4u);
    EXPECT_EQ(n[0], 1.0);
    EXPECT_TRUE(std::isnan(n[1]));
    EXPECT_TRUE(std::isnan(n[2]));
    EXPECT_TRUE(std::isnan(n[3]));
    const auto rows = ds_read_csv_fixture(ds_import_fixture("sqlite/mixed.csv"));
    const auto s = ds_text_values(ds_object_cast<DSTextDataColumn>(mixed->sortedColumns()[1]));
    for (size_t r = 1; r < rows.size(); ++r)
        EXPECT_EQ(s[r - 1], rows[r][1]);
}

// A broken file ends the whole import with the error naming it, and no
// table of any file comes in.
TEST_F(SQLiteImportTest, BrokenFilesEndWithAnErrorNamingThem)
{
    const QByteArray good = fixtureBytes();
    ASSERT_GT(good.size(), 8192);
    QByteArray corrupted = good;
    // Overwrites the second page (the b-tree pages of the first tables).
    for (qsizetype i = 4096; i < 8192; ++i)
        corrupted[i] = char(0xA5);
    QByteArray badHeader = good;
    badHeader.replace(0, 16, "Not SQLite at all");
    const struct
    {
        const char *name;
        QByteArray bytes;
        const char *message;
    } cases[] = {
        {"text.db", "id,name\n1,a\n", "Error reading table list from SQLite file"},
        {"header.db", badHeader, "Error reading table list from SQLite file"},
        {"truncated.db", good.left(good.size() / 2), "The SQLite file is damaged or incomplete"},
        {"corrupted.db", corrupted, "The SQLite file is damaged or incomplete"},
    };
    for (const auto &c : cases)
        expectBrokenFileFails(fixture(), c.name, c.bytes, c.message);
    import({QUrl::fromLocalFile(files.write("x", "").toLocalFile() + "/missing/none.db")});
    EXPECT_THAT(run->errorText().toStdString(), HasSubstr("Error opening the SQLite file"));
}

// Two files give their tables file after file; progress rises to 1.
TEST_F(SQLiteImportTest, FilesInListOrderAndProgress)
{
    const auto tables = import({fixture(), files.write("second.sqlite", fixtureBytes())});
    ASSERT_EQ(tables.size(), 10);
    EXPECT_EQ(tables[4]->name(), "zeta");
    EXPECT_EQ(tables[5]->name(), "a\"b");
    ASSERT_FALSE(run->progress.empty());
    for (size_t i = 1; i < run->progress.size(); ++i)
        EXPECT_GE(run->progress[i], run->progress[i - 1]);
    EXPECT_EQ(run->progress.back(), 1.0);
}

// An abort mid-table ends the import with no table and no error.
TEST_F(SQLiteImportTest, AbortMidTable)
{
    const QUrl big = files.write("big.sqlite", "");
    {
        QFile::remove(big.toLocalFile());
        QByteArray sql = "CREATE TABLE t (a INTEGER, b TEXT);\nBEGIN;\n";
        for (int i = 0; i < 5000; ++i)
            sql += "INSERT INTO t VALUES (" + QByteArray::number(i) + ", 'r" + QByteArray::number(i) + "');\n";
        sql += "COMMIT;\n";
        const QUrl script = files.write("big.sql", sql);
        const QString command = QStringLiteral("sqlite3 '%1' < '%2'").arg(big.toLocalFile(), script.toLocalFile());
        if (std::system(command.toUtf8().constData()) != 0)
            GTEST_SKIP() << "no sqlite3 shell";
    }
    auto importer = std::make_shared<DSDataImporterSQLite>(QList<QUrl>{big});
    ImportRun cancelled(importer);
    cancelled.runAbortingAt(0.3);
    EXPECT_EQ(importer->asyncResult(), nullptr);
    EXPECT_FALSE(importer->asyncError());
    ASSERT_GE(cancelled.progress.size(), 2u);
    EXPECT_LT(cancelled.progress[cancelled.progress.size() - 2], 0.35);
}

} // namespace
