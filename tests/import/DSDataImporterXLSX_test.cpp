// The Excel 2007 importer on workbooks written here part by part: number
// formats and the kinds they give, the date systems, booleans and errors,
// sparse headers, inline and shared strings, sheet names from the
// relationships, and the failures: not a zip, broken XML, references
// outside their lists.
#include "ImportTestSupport.h"
#include "ZipTestSupport.h"

#include "import/DSDataImporterXLSX.h"
#include "model/DSDataTable.h"
#include "model/DSNumberFormatter.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSTextDataColumn.h"
#include "model/DSTimeDataColumn.h"
#include "platform/store/DSObjectPool.h"

#include <QCborMap>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

namespace {

using ::testing::ElementsAre;

struct Sheet
{
    QString name;
    QByteArray rows;  // the "row" elements
};

QByteArray workbookXml(const QList<Sheet> &sheets, const char *date1904 = "false")
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<workbook "
                     "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
                     "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">";
    xml += QByteArray("<workbookPr date1904=\"") + date1904 + "\"/><sheets>";
    for (qsizetype i = 0; i < sheets.size(); ++i)
        xml += QStringLiteral("<sheet name=\"%1\" sheetId=\"%2\" r:id=\"rId%2\"/>").arg(sheets[i].name).arg(i + 1).toUtf8();
    return xml + "</sheets></workbook>";
}

// Relationship i names sheet file `files[i]`.
QByteArray relationshipsXml(const QList<int> &files)
{
    QByteArray xml = "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
    for (qsizetype i = 0; i < files.size(); ++i)
        xml += QStringLiteral("<Relationship Id=\"rId%1\" Type=\"worksheet\" Target=\"worksheets/sheet%2.xml\"/>")
                   .arg(i + 1)
                   .arg(files[i])
                   .toUtf8();
    return xml + "</Relationships>";
}

// Cell style i has number format ids[i]; format 164 is "0.0" and 165 "yyyy-mm-dd hh:mm".
QByteArray stylesXml(const QList<int> &ids)
{
    QByteArray xml = "<styleSheet><numFmts count=\"2\"><numFmt numFmtId=\"164\" formatCode=\"0.0\"/>"
                     "<numFmt numFmtId=\"165\" formatCode=\"yyyy-mm-dd hh:mm\"/></numFmts>"
                     "<cellStyleXfs><xf numFmtId=\"14\"/></cellStyleXfs><cellXfs>";
    for (int id : ids)
        xml += QStringLiteral("<xf numFmtId=\"%1\" fontId=\"0\"/>").arg(id).toUtf8();
    return xml + "</cellXfs></styleSheet>";
}

QByteArray sheetXml(const QByteArray &rows, const QByteArray &dimension = "A1:D9")
{
    return "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><dimension ref=\"" +
           dimension + "\"/><sheetData>" + rows + "</sheetData></worksheet>";
}

QByteArray sharedStringsXml(const QStringList &strings)
{
    QByteArray xml = "<sst>";
    for (const QString &s : strings)
        xml += "<si><t>" + s.toUtf8() + "</t></si>";
    return xml + "</sst>";
}

// Styles used below: 0 general, 1 m/d/yy (14), 2 h:mm (20), 3 [h]:mm:ss
// (46), 4 0.00% (10), 5 "0.0" (164), 6 date and time (165).
const QList<int> k_styles{0, 14, 20, 46, 10, 164, 165};

class XLSXImportTest : public ::testing::Test
{
protected:
    void SetUp() override { ds_import_test_model(); }

    QUrl write(const QString &name, const QList<Sheet> &sheets, const QStringList &shared = {},
               const char *date1904 = "false", const QByteArray &dimension = "A1:D9")
    {
        QList<QPair<QString, QByteArray>> parts{{"xl/workbook.xml", workbookXml(sheets, date1904)},
                                                {"xl/styles.xml", stylesXml(k_styles)},
                                                {"xl/sharedStrings.xml", sharedStringsXml(shared)}};
        QList<int> files;
        for (qsizetype i = 0; i < sheets.size(); ++i) {
            files.append(int(i + 1));
            parts.append({QStringLiteral("xl/worksheets/sheet%1.xml").arg(i + 1), sheetXml(sheets[i].rows, dimension)});
        }
        parts.append({"xl/_rels/workbook.xml.rels", relationshipsXml(files)});
        return files_.write(name, ds_make_xlsx(parts));
    }
    QList<DSDataTable *> import(const QUrl &url)
    {
        run = std::make_unique<ImportRun>(std::make_shared<DSDataImporterXLSX>(QList<QUrl>{url}));
        run->run();
        return run->tables();
    }
    template <class T>
    T *column(DSDataTable *table, qint64 i)
    {
        return ds_object_cast<T>(table->sortedColumns().value(i));
    }

    ImportFiles files_;
    std::unique_ptr<ImportRun> run;
};

// Each format's first cell decides the column's kind: format 14 on serial
// 36892 is 2001-01-01 at 00:00 with a day's interval, h:mm a time of day,
// [h]:mm:ss a duration in seconds, 0.00% the percent style.
TEST_F(XLSXImportTest, FormatsDecideKinds)
{
    const QByteArray rows = "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>1</v></c>"
                            "<c r=\"C1\" t=\"s\"><v>2</v></c><c r=\"D1\" t=\"s\"><v>3</v></c>"
                            "<c r=\"E1\" t=\"s\"><v>4</v></c><c r=\"F1\" t=\"s\"><v>5</v></c></row>"
                            "<row r=\"2\"><c r=\"A2\" s=\"1\"><v>36892</v></c><c r=\"B2\" s=\"2\"><v>0.75</v></c>"
                            "<c r=\"C2\" s=\"3\"><v>0.5</v></c><c r=\"D2\" s=\"4\"><v>0.125</v></c>"
                            "<c r=\"E2\" s=\"5\"><v>2.25</v></c><c r=\"F2\" s=\"6\"><v>36892.5104166667</v></c></row>"
                            "<row r=\"3\"><c r=\"A3\" s=\"1\"><v>36893.9</v></c><c r=\"B3\" s=\"2\"><v>36893.25</v></c>"
                            "<c r=\"C3\" s=\"3\"><v>1.25</v></c><c r=\"D3\"><v>1</v></c>"
                            "<c r=\"E3\" s=\"5\" t=\"s\"><v>6</v></c><c r=\"F3\" s=\"1\"><v>1.5</v></c></row>";
    const QList<DSDataTable *> tables =
        import(write("f.xlsx", {{"Formats", rows}}, {"date", "clock", "dur", "pct", "dec", "stamp", "7.5"}));
    ASSERT_EQ(tables.size(), 1) << run->errorText().toStdString();
    DSDataTable *table = tables[0];
    EXPECT_EQ(table->name(), "Formats");
    EXPECT_EQ(table->num_records(), 2);
    EXPECT_THAT(ds_column_names(table),
                ElementsAre("0 date DSTimeDataColumn", "1 clock DSTimeDataColumn", "2 dur DSNumericDataColumn",
                            "3 pct DSNumericDataColumn", "4 dec DSNumericDataColumn", "5 stamp DSTimeDataColumn"));
    auto *date = column<DSTimeDataColumn>(table, 0);
    EXPECT_FALSE(date->isTimeOfDay());
    EXPECT_THAT(ds_time_values(date), ElementsAre(0, 86400));  // floored to the day
    EXPECT_THAT(ds_time_intervals(date), ElementsAre(86400, 86400));
    auto *clock = column<DSTimeDataColumn>(table, 1);
    EXPECT_TRUE(clock->isTimeOfDay());
    EXPECT_THAT(ds_time_values(clock), ElementsAre(64800, 21600));
    EXPECT_THAT(ds_time_intervals(clock), ElementsAre(60, 60));
    auto *dur = column<DSNumericDataColumn>(table, 2);
    EXPECT_TRUE(dur->isDuration());
    EXPECT_THAT(ds_column_values(dur), ElementsAre(43200, 108000));
    auto *pct = column<DSNumericDataColumn>(table, 3);
    EXPECT_EQ(pct->number_formatter()->number_style(), 3);
    EXPECT_THAT(ds_column_values(pct), ElementsAre(0.125, 1));
    auto *dec = column<DSNumericDataColumn>(table, 4);
    EXPECT_EQ(dec->number_formatter()->maximum_fractional_digits(), 1);
    EXPECT_THAT(ds_column_values(dec), ElementsAre(2.25, 7.5));  // a text reads as its number
    // 2001-01-01 12:15, to the minute; serial 1.5 in the 1900 system is
    // 1900-01-01, the day 1900-02-29 took from it given back.
    auto *stamp = column<DSTimeDataColumn>(table, 5);
    EXPECT_THAT(ds_time_values(stamp), ElementsAre(44100, -3187296000.0));
    EXPECT_THAT(ds_time_intervals(stamp), ElementsAre(60, 86400));
}

// The 1904 date system puts the same serial 1,462 days later. A serial
// outside Excel's calendar (negative, or past 9999-12-31) is no time.
TEST_F(XLSXImportTest, Date1904AddsDays)
{
    const QByteArray rows = "<row><c r=\"A1\" t=\"inlineStr\"><is><t>d</t></is></c></row>"
                            "<row><c r=\"A2\" s=\"1\"><v>36892</v></c></row>"
                            "<row><c r=\"A3\" s=\"1\"><v>1e40</v></c></row>"
                            "<row><c r=\"A4\" s=\"1\"><v>-5</v></c></row>";
    for (const char *flag : {"true", "1", "TRUE", "false"}) {
        const QList<DSDataTable *> tables = import(write(QStringLiteral("d%1.xlsx").arg(flag), {{"S", rows}}, {}, flag));
        ASSERT_EQ(tables.size(), 1) << flag;
        const double days = std::string(flag) == "false" ? 0 : 1462;
        EXPECT_TRUE(ds_same_values(ds_time_values(column<DSTimeDataColumn>(tables[0], 0)), {days * 86400, NAN, NAN}))
            << flag;
    }
}

// A boolean first value gives a numeric column of FALSE/TRUE categories;
// the seven error values are missing, another error text is a text; a
// header with cells in A and C gives three slots, the middle one unnamed;
// cells right of the header are ignored; a column without a value is
// dropped and the rest are numbered without a gap.
TEST_F(XLSXImportTest, BooleansErrorsAndSparseHeaders)
{
    const QByteArray rows =
        "<row><c r=\"A1\" t=\"inlineStr\"><is><t>flag</t></is></c><c r=\"C1\" t=\"inlineStr\"><is><t>x</t></is></c>"
        "<c r=\"D1\" t=\"inlineStr\"><is><t>empty</t></is></c><c r=\"E1\" t=\"inlineStr\"><is><t>err</t></is></c></row>"
        "<row><c r=\"A2\" t=\"b\"><v>1</v></c><c r=\"B2\" t=\"str\"><v>mid</v></c><c r=\"C2\" t=\"e\"><v>#DIV/0!</v></c>"
        "<c r=\"E2\" t=\"e\"><v>#GETTING_DATA</v></c><c r=\"F2\"><v>99</v></c></row>"
        "<row><c r=\"A3\" t=\"b\"><v>0</v></c><c r=\"C3\"><v>4</v></c><c r=\"D3\" t=\"e\"><v>#N/A</v></c>"
        "<c r=\"E3\" t=\"e\"><v>#NUM!</v></c></row>"
        "<row><c r=\"C4\" t=\"e\"><v>#VALUE!</v></c><c r=\"D4\" t=\"inlineStr\"><is><t>  </t></is></c></row>";
    const QList<DSDataTable *> tables = import(write("b.xlsx", {{"S", rows}}));
    ASSERT_EQ(tables.size(), 1) << run->errorText().toStdString();
    DSDataTable *table = tables[0];
    EXPECT_EQ(table->num_records(), 3);
    EXPECT_THAT(ds_column_names(table), ElementsAre("0 flag DSNumericDataColumn", "1  DSTextDataColumn",
                                                    "2 x DSNumericDataColumn", "3 err DSTextDataColumn"));
    auto *flag = column<DSNumericDataColumn>(table, 0);
    EXPECT_TRUE(flag->treat_as_categories());
    EXPECT_EQ(flag->category_labels(), (QCborMap{{0.0, QStringLiteral("FALSE")}, {1.0, QStringLiteral("TRUE")}}));
    EXPECT_TRUE(ds_same_values(ds_column_values(flag), {1, 0, NAN}));
    EXPECT_THAT(ds_text_values(column<DSTextDataColumn>(table, 1)), ElementsAre("mid", "", ""));
    EXPECT_TRUE(ds_same_values(ds_column_values(column<DSNumericDataColumn>(table, 2)), {NAN, 4, NAN}));
    EXPECT_THAT(ds_text_values(column<DSTextDataColumn>(table, 3)), ElementsAre("#GETTING_DATA", "", ""));
}

// Sheet names come from the relationships, whatever the part numbers say;
// a sheet with only a header, or without header cells, adds no table.
TEST_F(XLSXImportTest, SheetsByRelationship)
{
    const QByteArray data = "<row><c t=\"inlineStr\"><is><t>v</t></is></c></row><row><c><v>1</v></c></row>";
    const QByteArray other = "<row><c t=\"inlineStr\"><is><r><t>w</t></r><r><t>2</t></r></is></c></row>"
                             "<row><c><v>2</v></c></row>";
    const QList<QPair<QString, QByteArray>> parts{
        {"xl/workbook.xml", workbookXml({{"First", {}}, {"HeaderOnly", {}}, {"Second", {}}, {"NoHeader", {}}})},
        {"xl/_rels/workbook.xml.rels", relationshipsXml({3, 1, 2, 4})},
        {"xl/worksheets/sheet3.xml", sheetXml(data)},
        {"xl/worksheets/sheet1.xml", sheetXml("<row><c t=\"inlineStr\"><is><t>h</t></is></c></row>")},
        {"xl/worksheets/sheet2.xml", sheetXml(other)},
        {"xl/worksheets/sheet4.xml", sheetXml("<row/><row><c><v>1</v></c></row>")},
    };
    const QList<DSDataTable *> tables = import(files_.write("r.xlsx", ds_make_xlsx(parts)));
    ASSERT_EQ(tables.size(), 2) << run->errorText().toStdString();
    EXPECT_EQ(tables[0]->name(), "First");
    EXPECT_THAT(ds_column_names(tables[0]), ElementsAre("0 v DSNumericDataColumn"));
    EXPECT_EQ(tables[1]->name(), "Second");
    EXPECT_THAT(ds_column_names(tables[1]), ElementsAre("0 w2 DSNumericDataColumn"));
    // Without relationships the numbered parts are taken in order, the
    // first one possibly named "sheet.xml".
    const QList<DSDataTable *> numbered = import(files_.write(
        "n.xlsx", ds_make_xlsx({{"xl/workbook.xml", workbookXml({{"Only", {}}})},
                                {"xl/worksheets/sheet.xml", sheetXml(data)}})));
    ASSERT_EQ(numbered.size(), 1) << run->errorText().toStdString();
    EXPECT_EQ(numbered[0]->name(), "Only");
}

// What fails, and how: an archive that does not open, a part that does not
// parse, or a reference outside its list, is the error "Error parsing XLSX
// file: <file>". Nothing is kept.
TEST_F(XLSXImportTest, FailuresKeepNoTables)
{
    const QUrl notZip = files_.write("n.xlsx", "name,value\n1,2\n");
    EXPECT_TRUE(import(notZip).isEmpty());
    EXPECT_EQ(run->errorText(), "1 Error parsing XLSX file: n.xlsx");
    EXPECT_EQ(run->importer->asyncProgress(), 1);

    const QByteArray good = "<row><c t=\"inlineStr\"><is><t>v</t></is></c></row><row><c><v>1</v></c></row>";
    const struct
    {
        const char *what;
        QList<QPair<QString, QByteArray>> parts;
    } cases[] = {
        {"broken sheet XML", {{"xl/workbook.xml", workbookXml({{"A", {}}})}, {"xl/worksheets/sheet1.xml", "<worksheet><sheetData><row>"}}},
        {"broken workbook XML", {{"xl/workbook.xml", "<workbook><sheets>"}, {"xl/worksheets/sheet1.xml", sheetXml(good)}}},
        {"broken styles", {{"xl/workbook.xml", workbookXml({{"A", {}}})}, {"xl/styles.xml", "<styleSheet"}}},
        {"a shared string outside the list",
         {{"xl/workbook.xml", workbookXml({{"A", {}}})},
          {"xl/sharedStrings.xml", sharedStringsXml({"a"})},
          {"xl/worksheets/sheet1.xml", sheetXml(good + "<row><c t=\"s\"><v>7</v></c></row>")}}},
        {"more sheet parts than names",
         {{"xl/workbook.xml", workbookXml({{"A", {}}})},
          {"xl/worksheets/sheet1.xml", sheetXml(good)},
          {"xl/worksheets/sheet2.xml", sheetXml(good)}}},
        {"a relationship to a missing part",
         {{"xl/workbook.xml", workbookXml({{"A", {}}})}, {"xl/_rels/workbook.xml.rels", relationshipsXml({5})}}},
        {"a column past XFD", {{"xl/workbook.xml", workbookXml({{"A", {}}})}, {"xl/worksheets/sheet1.xml", sheetXml("<row><c r=\"XFE1\"><v>1</v></c></row>")}}},
    };
    for (const auto &c : cases) {
        EXPECT_TRUE(import(files_.write("bad.xlsx", ds_make_xlsx(c.parts))).isEmpty()) << c.what;
        EXPECT_EQ(run->errorText(), "1 Error parsing XLSX file: bad.xlsx") << c.what;
    }
    // One bad file of two keeps no table of the good one.
    const QUrl goodFile = write("good.xlsx", {{"S", good}});
    run = std::make_unique<ImportRun>(
        std::make_shared<DSDataImporterXLSX>(QList<QUrl>{goodFile, files_.write("bad.xlsx", "<x/>")}));
    run->run();
    EXPECT_TRUE(run->tables().isEmpty());
}

// Progress runs from 0 to 1 over the sheets, every 100 rows; an abort set
// during the run ends it with no tables and no error.
TEST_F(XLSXImportTest, ProgressAndAbort)
{
    QByteArray rows = "<row><c t=\"inlineStr\"><is><t>n</t></is></c></row>";
    for (int i = 0; i < 450; ++i)
        rows += QStringLiteral("<row><c><v>%1</v></c></row>").arg(i).toUtf8();
    const QUrl url = write("p.xlsx", {{"A", rows}, {"B", rows}}, {}, "false", "A1:A451");
    const QList<DSDataTable *> tables = import(url);
    ASSERT_EQ(tables.size(), 2);
    EXPECT_EQ(tables[1]->num_records(), 450);
    EXPECT_TRUE(std::is_sorted(run->progress.begin(), run->progress.end()));
    EXPECT_GE(run->progress.size(), 6u);
    EXPECT_EQ(run->progress.back(), 1);

    auto importer = std::make_shared<DSDataImporterXLSX>(QList<QUrl>{url});
    run = std::make_unique<ImportRun>(importer);
    importer->setProgressObserver([&](double p) {
        if (p > 0.2)
            importer->setAsyncAbort(true);
    });
    run->run();
    EXPECT_TRUE(run->tables().isEmpty());
    EXPECT_EQ(run->errorText(), "");
}

} // namespace
