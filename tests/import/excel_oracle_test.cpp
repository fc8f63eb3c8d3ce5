// Workbooks written by openpyxl, xlwt and LibreOffice (fixtures/excel,
// made by make_workbooks.py) import equal to R readxl's and Python xlrd's
// readings of them (oracle_readxl.R, oracle_xlrd.py), and each column gets
// the kind its cells' formats show.
#include "ImportTestSupport.h"

#include "import/DSDataImporterMultiple.h"
#include "import/DSDataImporterXLS.h"
#include "model/DSDataTable.h"
#include "model/DSNumberFormatter.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSTextDataColumn.h"
#include "model/DSTimeDataColumn.h"
#include "platform/store/DSObjectPool.h"

#include <QFile>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

using ::testing::ElementsAre;

const QString k_dir = QStringLiteral(OSTREL_TEST_SOURCE_DIR "/fixtures/excel/");
const char *const k_files[] = {"openpyxl.xlsx", "libreoffice.xlsx", "libreoffice.xls", "xlwt.xls"};

struct OracleCell
{
    QString file, sheet;
    int column = 0, row = 0;
    QString kind, value;
};

QStringList splitCsvLine(const QString &line)
{
    QStringList fields;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"')
            field += '"', ++i;
        else if (c == '"')
            quoted = !quoted;
        else if (c == ',' && !quoted)
            fields.append(field), field.clear();
        else
            field += c;
    }
    fields.append(field);
    return fields;
}

QList<OracleCell> readOracle(const QString &name)
{
    QFile file(k_dir + name);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
    QList<OracleCell> cells;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QStringList f = splitCsvLine(QString::fromUtf8(lines[i]).remove('\r'));
        if (f.size() == 6)
            cells.append({f[0], f[1], f[2].toInt(), f[3].toInt(), f[4], f[5]});
    }
    return cells;
}

class ExcelOracleTest : public ::testing::Test
{
protected:
    void SetUp() override { ds_import_test_model(); }

    QList<DSDataTable *> import(const QString &file)
    {
        run = std::make_unique<ImportRun>(
            std::make_shared<DSDataImporterMultiple>(QList<QUrl>{QUrl::fromLocalFile(k_dir + file)}));
        run->run();
        return run->tables();
    }

    // Our value of the cell against the oracle's; readxl counts serials
    // below 61 a day later, as we do for dates, so its durations are
    // compared a day back.
    void expectCell(DSColumn *column, const OracleCell &cell, bool readxl)
    {
        const std::string where = QString(cell.file + " " + cell.sheet + " " + column->name()).toStdString() + " row " +
                                  std::to_string(cell.row);
        const double oracle = cell.value.toDouble();
        if (auto *text = ds_object_cast<DSTextDataColumn>(column)) {
            EXPECT_EQ(ds_text_values(text)[size_t(cell.row)], cell.kind == "empty" ? "" : cell.value.toStdString())
                << where;
        } else if (auto *numeric = ds_object_cast<DSNumericDataColumn>(column)) {
            const double ours = ds_column_values(numeric)[size_t(cell.row)];
            if (cell.kind == "empty")
                EXPECT_TRUE(std::isnan(ours)) << where;
            else if (cell.kind == "date")  // a duration
                EXPECT_NEAR(ours, ((readxl && oracle < 61) ? oracle - 1 : oracle) * 86400, 1e-6) << where;
            else
                EXPECT_DOUBLE_EQ(ours, oracle) << where;
        } else if (auto *time = ds_object_cast<DSTimeDataColumn>(column)) {
            const double ours = ds_time_values(time)[size_t(cell.row)];
            if (cell.kind == "empty")
                EXPECT_TRUE(std::isnan(ours)) << where;
            else if (time->isTimeOfDay())  // to the minute the format shows
                EXPECT_NEAR(ours, std::round(std::fmod(oracle, 1) * 1440) * 60, 1e-6) << where;
            else
                EXPECT_EQ(ours, (std::floor(oracle) - 36892) * 86400) << where;
        }
    }

    std::unique_ptr<ImportRun> run;
};

TEST_F(ExcelOracleTest, MatchesReadxlAndXlrd)
{
    const QList<OracleCell> readxl = readOracle(QStringLiteral("readxl.csv"));
    const QList<OracleCell> xlrd = readOracle(QStringLiteral("xlrd.csv"));
    ASSERT_EQ(readxl.size(), xlrd.size());
    for (const char *file : k_files) {
        const QList<DSDataTable *> tables = import(QString::fromLatin1(file));
        ASSERT_EQ(tables.size(), 2) << file << " " << run->errorText().toStdString();
        EXPECT_EQ(tables[0]->name(), "Data");
        EXPECT_EQ(tables[0]->num_records(), 5);
        EXPECT_THAT(ds_column_names(tables[0]),
                    ElementsAre("0 num DSNumericDataColumn", "1 pct DSNumericDataColumn",
                                "2 when DSTimeDataColumn", "3 clock DSTimeDataColumn", "4 dur DSNumericDataColumn",
                                "5 flag DSNumericDataColumn", "6 name DSTextDataColumn", "7 err DSNumericDataColumn"))
            << file;
        // Header cells in A and C: three columns, the middle one unnamed.
        EXPECT_EQ(tables[1]->name(), "Sparse");
        EXPECT_THAT(ds_column_names(tables[1]),
                    ElementsAre("0 a DSNumericDataColumn", "1  DSTextDataColumn", "2 c DSNumericDataColumn"))
            << file;
        const QList<DSColumn *> columns = tables[0]->sortedColumns();
        EXPECT_EQ(ds_object_cast<DSNumericDataColumn>(columns[1])->number_formatter()->number_style(), 3) << file;
        EXPECT_FALSE(ds_object_cast<DSTimeDataColumn>(columns[2])->isTimeOfDay()) << file;
        EXPECT_TRUE(ds_object_cast<DSTimeDataColumn>(columns[3])->isTimeOfDay()) << file;
        EXPECT_TRUE(ds_object_cast<DSNumericDataColumn>(columns[4])->isDuration()) << file;
        EXPECT_TRUE(columns[5]->treat_as_categories()) << file;
        int compared = 0;
        for (const auto *oracle : {&readxl, &xlrd})
            for (const OracleCell &cell : *oracle) {
                if (cell.file != QLatin1String(file))
                    continue;
                DSDataTable *table = cell.sheet == "Data" ? tables[0] : tables[1];
                ASSERT_LT(cell.column, table->sortedColumns().size()) << file;
                expectCell(table->sortedColumns()[cell.column], cell, oracle == &readxl);
                ++compared;
            }
        EXPECT_EQ(compared, 2 * (8 * 5 + 3 * 2)) << file;
    }
}

// An Excel 97-2003 file damaged anywhere fails with an error or imports,
// and never reads outside its bytes (run under AddressSanitizer).
TEST_F(ExcelOracleTest, DamagedWorkbooksFailCleanly)
{
    QFile file(k_dir + QStringLiteral("libreoffice.xls"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray good = file.readAll();
    std::mt19937 random(7);
    DSDataImporterXLS importer({});
    for (int i = 0; i < 300; ++i) {
        QByteArray bad = good;
        for (int k = 0; k < 1 + i % 8; ++k)
            bad[qsizetype(random() % quint32(bad.size()))] = char(random());
        if (i % 5 == 0)
            bad.truncate(qsizetype(random() % quint32(bad.size())));
        DSObjectPool pool(ds_import_test_model());
        importer.parseWorkBook(bad, pool, 0, 1);
    }
    ImportFiles files;
    run = std::make_unique<ImportRun>(std::make_shared<DSDataImporterXLS>(
        QList<QUrl>{QUrl::fromLocalFile(k_dir + "libreoffice.xls"), files.write("x.xls", "name,value\n1,2\n")}));
    run->run();
    EXPECT_TRUE(run->tables().isEmpty());
    EXPECT_EQ(run->errorText(), "1 Error reading XLS file: x.xls");
}

} // namespace
