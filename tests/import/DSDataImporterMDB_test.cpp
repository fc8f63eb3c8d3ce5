// The Access importer on a Jet 4 file (fixtures/mdb/make_mdb.sh) against
// mdbtools' own mdb-export reading of it: which tables come in, the column
// kinds of the declared types, yes/no columns as FALSE/TRUE, dates to the
// second in GMT, broken files.
#include "ImportTestSupport.h"

#include "import/DSDataImporterMDB.h"
#include "model/DSDataTable.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSTextDataColumn.h"
#include "model/DSTimeDataColumn.h"

#include <QCborMap>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace {

using ::testing::ElementsAre;

class MDBImportTest : public FileImportTest<DSDataImporterMDB>
{
protected:
    static QUrl fixture() { return QUrl::fromLocalFile(ds_import_fixture(QStringLiteral("mdb/people.mdb"))); }
    static QByteArray fixtureBytes() { return ds_file_bytes(fixture().toLocalFile()); }
};

bool same(double a, double b)
{
    return a == b || (std::isnan(a) && std::isnan(b));
}

// Only People comes in: the catalog is a system table, Empty has no rows
// and Pictures only a binary column. Every cell equals mdb-export's.
TEST_F(MDBImportTest, ValuesEqualMdbExport)
{
    const auto tables = import({fixture()});
    ASSERT_EQ(tables.size(), 1) << run->errorText().toStdString();
    DSDataTable *table = tables[0];
    EXPECT_EQ(table->name(), "People");
    EXPECT_THAT(ds_column_names(table),
                ElementsAre("0 ID DSNumericDataColumn", "1 Name DSTextDataColumn", "2 Height DSNumericDataColumn",
                            "3 Member DSNumericDataColumn", "4 Born DSTimeDataColumn", "5 Visits DSNumericDataColumn",
                            "6 Score DSNumericDataColumn", "7 Fee DSNumericDataColumn",
                            "8 Level DSNumericDataColumn"));
    ds_expect_table_equals_csv(table,
                               ds_read_csv_fixture(ds_import_fixture(QStringLiteral("mdb/people.mdb-export.csv"))),
                               DSDataImporterMDB::timeFromBoundText);
    const auto columns = table->sortedColumns();
    // The yes/no column: FALSE/TRUE categories over 0/1.
    DSColumn *member = columns[3];
    EXPECT_TRUE(member->treat_as_categories());
    EXPECT_EQ(member->category_labels().value(QCborValue(0.0)).toString(), "FALSE");
    EXPECT_EQ(member->category_labels().value(QCborValue(1.0)).toString(), "TRUE");
    EXPECT_THAT(ds_column_values(ds_object_cast<DSNumericDataColumn>(member)), ElementsAre(1, 0, 1, 0));
    // 2015-03-14 09:26:53 GMT in seconds since 2001 (Python's datetime:
    // 448,018,013), to the second; a missing date has a day's interval.
    auto *born = ds_object_cast<DSTimeDataColumn>(columns[4]);
    EXPECT_EQ(ds_time_values(born)[0], 448018013.0);
    EXPECT_EQ(ds_time_intervals(born)[0], 1.0);
    EXPECT_TRUE(std::isnan(ds_time_values(born)[1]));
    EXPECT_EQ(ds_time_intervals(born)[1], 86400.0);
}

TEST(MDBBoundDates, TextToTime)
{
    const struct
    {
        const char *text;
        double time;
        double interval;
    } cases[] = {
        {"2015-03-14 09:26:53", 448018013, 1},
        {"2015-03-14 09:26:53.75", 448018013, 1},
        {"2001-01-01 00:00:00", 0, 1},
        {"1999-12-31 23:59:59", -31622401, 1},
        {"2015-03-14", NAN, 86400},
        {"", NAN, 86400},
        {"03/14/15 09:26:53", NAN, 86400},
    };
    for (const auto &c : cases) {
        double interval = 0;
        const double time = DSDataImporterMDB::timeFromBoundText(c.text, &interval);
        EXPECT_TRUE(same(time, c.time)) << c.text << " " << time;
        EXPECT_EQ(interval, c.interval) << c.text;
    }
}

// A broken file ends the whole import with an error naming it and no
// table, the good file before it included.
TEST_F(MDBImportTest, BrokenFilesEndWithAnErrorNamingThem)
{
    const QByteArray good = fixtureBytes();
    ASSERT_EQ(good.size(), 9 * 4096);
    QByteArray catalogGone = good;
    catalogGone.replace(2 * 4096, 4096, QByteArray(4096, '\0'));
    QByteArray peopleGone = good;
    peopleGone.replace(4 * 4096, 4096, QByteArray(4096, char(0xA5)));
    QByteArray peopleRowsGone = good;
    peopleRowsGone.replace(5 * 4096, 4096, QByteArray(4096, '\0'));
    // The usage-map rows' offsets gone: a table's page map is empty, which
    // mdbtools would read through a null pointer.
    QByteArray mapsGone = good;
    mapsGone.replace(4096 + 0x0C, 12, QByteArray(12, '\0'));
    QByteArray badVersion = good;
    badVersion[0x14] = char(0x7f);
    const struct
    {
        const char *name;
        QByteArray bytes;
        const char *message;
    } cases[] = {
        {"text.mdb", "ID,Name\n1,Ann\n", "Error opening the file"},
        {"version.mdb", badVersion, "Error opening the file"},
        {"partial.mdb", good.left(4 * 4096 + 10), "The Access file is damaged or incomplete"},
        {"header.mdb", good.left(3 * 4096), "File does not appear to be an Access database"},
        {"catalog.mdb", catalogGone, "File does not appear to be an Access database"},
        {"truncated.mdb", good.left(5 * 4096), "Error reading from table"},
        {"rows.mdb", peopleRowsGone, "Error reading from table"},
        {"maps.mdb", mapsGone, "Error reading from table"},
        {"definition.mdb", peopleGone, "Error reading from table"},
    };
    for (const auto &c : cases)
        expectBrokenFileFails(fixture(), c.name, c.bytes, c.message);
}

} // namespace
