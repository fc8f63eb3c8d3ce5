#include "ImportTestSupport.h"
#include "ZipTestSupport.h"

#include "import/DSDataImporterNumbers.h"
#include "import/DSDataImporterNumbers09.h"
#include "import/DSDataImporterNumbers13.h"
#include "import/ZipFile.h"
#include "import/numbers13/DSIWAStream.h"
#include "import/numbers13/DSNumbers13TableBuilder.h"
#include "import/numbers13/IWSnappy.h"
#include "model/DSColumn.h"
#include "model/DSDataTable.h"
#include "model/DSNumberFormatter.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSTextDataColumn.h"
#include "model/DSTimeDataColumn.h"
#include "platform/store/DSObjectPool.h"

#include "DSNumbers13TN.pb.h"
#include "DSNumbers13TSP.pb.h"
#include "DSNumbers13TST.pb.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTimeZone>

#include <snappy-c.h>

#include <cmath>

// The test data from outside the project, beside the checkout.
#define OSTREL_SHARED_TESTDATA OSTREL_TEST_SOURCE_DIR "/../../../shared/testdata"

namespace {

constexpr const char *k_badLength =
    "-[NSData(IWSnappy) snappyIWADecompressedData]: Bad chunk length in snappy stream\n";
constexpr const char *k_badChunk =
    "-[NSData(IWSnappy) snappyIWADecompressedData]: Error while decompressing snappy chunk\n";

QUrl sharedDocument(const char *name)
{
    return QUrl::fromLocalFile(QStringLiteral(OSTREL_SHARED_TESTDATA "/numbers/") + QString::fromLatin1(name));
}

// Seconds since 2001-01-01 GMT of a GMT date and time.
double absoluteTime(int y, int mo, int d, int h, int mi, int s)
{
    return double(QDateTime(QDate(y, mo, d), QTime(h, mi, s), QTimeZone::utc()).toSecsSinceEpoch() - 978307200);
}

QByteArray serialized(const google::protobuf::MessageLite &message)
{
    const std::string bytes = message.SerializePartialAsString();
    return QByteArray(bytes.data(), qsizetype(bytes.size()));
}

QByteArray varint(uint64_t value)
{
    QByteArray out;
    for (; value >= 0x80; value >>= 7)
        out.append(char(value | 0x80));
    out.append(char(value));
    return out;
}

// One archive of a stream: its identifier and its payloads (type, bytes).
struct Archive
{
    uint64_t identifier;
    QList<QPair<uint32_t, QByteArray>> payloads;
};

// The object layer of archives, undecoded.
QByteArray objects(const QList<Archive> &archives)
{
    QByteArray out;
    for (const Archive &archive : archives) {
        TSP::ArchiveInfo info;
        info.set_identifier(archive.identifier);
        for (const auto &[type, bytes] : archive.payloads) {
            TSP::MessageInfo *message = info.add_message_infos();
            message->set_type(type);
            message->set_length(uint32_t(bytes.size()));
        }
        const QByteArray header = serialized(info);
        out += varint(uint64_t(header.size())) + header;
        for (const auto &payload : archive.payloads)
            out += payload.second;
    }
    return out;
}

// The bytes as one chunk of a raw snappy block.
QByteArray chunked(const QByteArray &bytes)
{
    QByteArray block(qsizetype(snappy_max_compressed_length(size_t(bytes.size()))), '\0');
    size_t length = size_t(block.size());
    EXPECT_EQ(snappy_compress(bytes.constData(), size_t(bytes.size()), block.data(), &length), SNAPPY_OK);
    block.truncate(qsizetype(length));
    QByteArray chunk;
    chunk.append('\0').append(char(length & 0xFF)).append(char(length >> 8 & 0xFF)).append(char(length >> 16));
    return chunk + block;
}

QByteArray iwa(const QList<Archive> &archives)
{
    return chunked(objects(archives));
}

// A cell record of version 3 with the optional fields of `flags` (zeros),
// the double and the key at its end (which overlap its first bytes below 20
// bytes).
QByteArray record(uint8_t type, uint8_t flags, double number, uint32_t key)
{
    QByteArray r(DSNumbers13TableBuilder::recordLength(flags), '\0');
    r[0] = 3;
    r[2] = char(type);
    r[3] = char(0xFF);
    r[4] = char(flags);
    std::memcpy(r.data() + r.size() - 12, &number, 8);
    std::memcpy(r.data() + r.size() - 4, &key, 4);
    return r;
}

// A tile row of records, one slot each (an empty record an empty slot).
void addRow(TST::Tile *tile, const QList<QByteArray> &records)
{
    TST::TileRowInfo *row = tile->add_rows();
    row->set_tile_row_index(uint32_t(tile->rows_size() - 1));
    QByteArray storage, offsets;
    uint32_t count = 0;
    for (const QByteArray &r : records) {
        const uint16_t offset = r.isEmpty() ? 0xFFFF : uint16_t(storage.size());
        offsets.append(char(offset & 0xFF)).append(char(offset >> 8));
        count += r.isEmpty() ? 0 : 1;
        storage += r;
    }
    row->set_cell_count(count);
    row->set_cell_storage(storage.toStdString());
    row->set_cell_offsets(offsets.toStdString());
}

TST::Tile makeTile()
{
    TST::Tile tile;
    tile.set_max_column(0);
    tile.set_max_row(0);
    tile.set_num_cells(0);
    tile.set_num_rows(0);
    return tile;
}

// A Numbers 2013 document of one table per entry of `sheets` (sheet name,
// its table's tile), the sheets listed in the document in the order given
// by `documentOrder`; strings key 1.. from `strings`.
QByteArray document(const QList<QPair<QString, TST::Tile>> &sheets, const QList<int> &documentOrder,
                    const QStringList &strings = {}, bool withTiles = true)
{
    TSP::PackageMetadata metadata;
    metadata.set_last_object_identifier(1);
    for (const char *locator : {"Tables/Tile", "Tables/DataList"}) {
        TSP::ComponentInfo *component = metadata.add_components();
        component->set_component_identifier(1);
        component->set_preferred_locator(locator);
    }
    TN::DocumentArchive documentArchive;
    for (int i : documentOrder)
        documentArchive.add_sheets()->set_identifier(uint64_t(100 + i));
    QList<Archive> documentArchives{{1, {{1, serialized(documentArchive)}}}};
    QList<Archive> engine, tiles;
    for (qsizetype i = 0; i < sheets.size(); ++i) {
        TN::SheetArchive sheet;
        sheet.set_name(sheets[i].first.toStdString());
        sheet.add_drawables()->set_identifier(uint64_t(200 + i));
        documentArchives.append({uint64_t(100 + i), {{2, serialized(sheet)}}});
        TST::TableModelArchive model;
        model.set_number_of_rows(0);
        model.set_number_of_columns(0);
        model.set_table_name("t");
        TST::DataStore *store = model.mutable_data_store();
        TST::TileStorage_Tile *tile = store->mutable_tiles()->add_tiles();
        tile->set_tile_id(0);
        tile->mutable_tile()->set_identifier(uint64_t(300 + i));
        TST::TableRBTree_Node *node = store->mutable_row_tile_tree()->add_nodes();
        node->set_key(0);
        node->set_value(0);
        store->mutable_string_table()->set_identifier(400);
        store->mutable_style_table()->set_identifier(401);
        store->mutable_format_table()->set_identifier(402);
        engine.append({uint64_t(200 + i), {{6001, serialized(model)}}});
        if (withTiles)
            tiles.append({uint64_t(300 + i), {{6002, serialized(sheets[i].second)}}});
    }
    TST::TableDataList list;
    for (qsizetype k = 0; k < strings.size(); ++k) {
        TST::TableDataList_ListEntry *entry = list.add_entries();
        entry->set_key(uint32_t(k + 1));
        entry->set_refcount(1);
        entry->set_string_value(strings[k].toStdString());
    }
    return ds_make_zip({{QStringLiteral("Index/Metadata.iwa"), iwa({{1, {{11006, serialized(metadata)}}}})},
                        {QStringLiteral("Index/Document.iwa"), iwa(documentArchives)},
                        {QStringLiteral("Index/CalculationEngine.iwa"), iwa(engine)},
                        {QStringLiteral("Index/Tables/Tile.iwa"), iwa(tiles)},
                        {QStringLiteral("Index/Tables/DataList.iwa"), iwa({{400, {{6005, serialized(list)}}}})}});
}

using NumbersImportTest = FileImportTest<DSDataImporterNumbers>;

// The first table of the 2013 document against LibreOffice's reading of
// it. Its header row holds only empty cells, so every column is unnamed;
// its first column is empty throughout and gets no column. Columns take
// the kind of their first value: a date under a text is text, a duration
// under a number is its seconds.
TEST_F(NumbersImportTest, Numbers2013DocumentHoldsWhatLibreOfficeShows)
{
    const QList<DSDataTable *> tables = import({sharedDocument("numbers3-file.numbers")});
    ASSERT_EQ(tables.size(), 1) << run->errorText().toStdString();
    DSDataTable *table = tables[0];
    EXPECT_EQ(table->name(), QStringLiteral("Sheet 1"));
    const auto csv = ds_read_csv_fixture(QStringLiteral(OSTREL_SHARED_TESTDATA "/numbers/numbers3-file.libreoffice.csv"));
    ASSERT_EQ(csv.size(), 3u);
    ASSERT_EQ(table->num_records(), 2);
    const QList<DSColumn *> columns = table->sortedColumns();
    ASSERT_EQ(columns.size(), 8);

    auto *first = dynamic_cast<DSTextDataColumn *>(columns[0]);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(ds_text_values(first)[0], csv[1][1]);
    // LibreOffice's 01/03/2012 00:06:40 (see DatesAndFormatCodesOfTheRealDocument),
    // as text floored to its format's day.
    EXPECT_EQ(ds_text_values(first)[1], "January 3, 2012 at 12:00:00\u202F" "AM GMT");
    for (int c = 2; c <= 7; ++c) {
        SCOPED_TRACE(c);
        auto *numeric = dynamic_cast<DSNumericDataColumn *>(columns[c - 1]);
        ASSERT_NE(numeric, nullptr);
        std::vector<double> expected;
        for (int r = 1; r <= 2; ++r) {
            const std::string &text = csv[size_t(r)][size_t(c)];
            if (text.find('/') != std::string::npos) {
                // LibreOffice shows a duration as the date that many days
                // after its 1899-12-30.
                const QDateTime shown = QDateTime::fromString(QString::fromStdString(text), QStringLiteral("MM/dd/yyyy HH:mm:ss"));
                expected.push_back(double(QDateTime(QDate(1899, 12, 30), QTime(0, 0), QTimeZone::utc())
                                              .secsTo(QDateTime(shown.date(), shown.time(), QTimeZone::utc()))));
            } else if (text.back() == '%') {
                expected.push_back(std::strtod(text.c_str(), nullptr) / 100);
            } else {
                expected.push_back(std::strtod(text.c_str(), nullptr));
            }
        }
        const std::vector<double> values = ds_column_values(numeric);
        ASSERT_EQ(values.size(), 2u);
        EXPECT_NEAR(values[0], expected[0], 1e-9 * std::fabs(expected[0]));
        if (c == 2) {
            // The record holds 3456 days to the second; LibreOffice shows
            // them 400 seconds short, as it turns the duration into a date.
            EXPECT_EQ(values[1], 3456 * 86400.0);
            EXPECT_NEAR(values[1], expected[1], 400);
        } else {
            EXPECT_EQ(values[1], expected[1]);
        }
    }
    auto *last = dynamic_cast<DSTextDataColumn *>(columns[7]);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(ds_text_values(last), (std::vector<std::string>{"text", ""}));
    // The percent and the scientific columns keep their formats' styles.
    EXPECT_EQ(static_cast<DSNumericDataColumn *>(columns[3])->number_formatter()->number_style(), 3);
    EXPECT_EQ(static_cast<DSNumericDataColumn *>(columns[6])->number_formatter()->number_style(), 4);
}

// The date cell at the instant LibreOffice shows, and the format codes the
// document's number formats make.
TEST(Numbers13DocumentTest, DatesAndFormatCodesOfTheRealDocument)
{
    ZipFile zip(sharedDocument("numbers3-file.numbers").toLocalFile());
    DSError error;
    const std::optional<DSDataImporterNumbers13::ListTables> formats =
        DSDataImporterNumbers13::formatTablesInZipFile(zip, &error);
    ASSERT_TRUE(formats.has_value());
    QStringList codes;
    for (const auto &table : *formats)
        codes += table.values();
    // The document's own formats; the other codes are those of FormatCodes.
    for (const char *code : {"0.00%", "$0.00", "M/d/yy h:mm a", ".E+0"})
        EXPECT_TRUE(codes.contains(QString::fromLatin1(code))) << code << " in " << codes.join(' ').toStdString();

    const std::optional<QStringList> tileEntries = DSDataImporterNumbers13::tilePathArrayInZipFile(zip, &error);
    ASSERT_EQ(tileEntries, QStringList{QStringLiteral("Index/Tables/Tile.iwa")});
    std::unique_ptr<TST::Tile> tile;
    DSDataImporterNumbers13::Walker walker;
    walker.payload = [&](const TSP::ArchiveInfo &, uint32_t type, uint32_t length, DSIWAStream &stream, bool &read) {
        if (type != 6002)
            return DSDataImporterNumbers13::Step::Continue;
        read = true;
        tile = std::make_unique<TST::Tile>();
        return stream.parsePayload(length, *tile) ? DSDataImporterNumbers13::Step::Stop
                                                  : DSDataImporterNumbers13::Step::Fail;
    };
    ASSERT_EQ(DSDataImporterNumbers13::walkEntry(zip, (*tileEntries)[0], walker, &error),
              DSDataImporterNumbers13::Walk::Stopped);
    ASSERT_EQ(tile->rows_size(), 3);
    const TST::TileRowInfo &row = tile->rows(2);
    const uint16_t offset = uint16_t(uint8_t(row.cell_offsets()[2]) | uint8_t(row.cell_offsets()[3]) << 8);
    const DSNumbers13TableBuilder::Cell date = DSNumbers13TableBuilder::cellAt(
        QByteArray::fromStdString(row.cell_storage()), offset, nullptr, nullptr, nullptr);
    EXPECT_EQ(date.kind, DSNumbers13TableBuilder::Cell::Date);
    // LibreOffice shows 01/03/2012 00:06:40: 400 seconds after the record's
    // whole day, the same 400 seconds by which it shows the duration of
    // 3456 whole days short; the offset is its reader's.
    EXPECT_EQ(date.number, absoluteTime(2012, 1, 3, 0, 0, 0));
}

// The 2009 document holds seven grids, but only the first lies in a
// workspace (the others belong to templates): one table, "Table 1", of 45
// rows whose cells are all empty, so 44 records and no column. Checked
// against a reading of its index.xml with Python's SAX parser.
TEST_F(NumbersImportTest, Numbers2009DocumentImportsItsWorkspaceTable)
{
    const QList<DSDataTable *> tables = import({sharedDocument("numbers2-file.numbers")});
    ASSERT_EQ(tables.size(), 1) << run->errorText().toStdString();
    EXPECT_EQ(tables[0]->name(), QStringLiteral("Table 1"));
    EXPECT_EQ(tables[0]->num_records(), 44);
    EXPECT_TRUE(tables[0]->columns().isEmpty());
}

// Cells of a 2009 grid: names from the first row, numbers, durations,
// texts (attribute or paragraph) and dates, a column that ends early, a
// column without values, and the date format of a cell style.
TEST(Numbers09IndexTest, GridCellsBecomeColumns)
{
    const QByteArray xml = R"(<?xml version="1.0"?>
<ls:document xmlns:ls="l" xmlns:sf="s" xmlns:sfa="a"><ls:workspace>
<sf:tabular-model sf:name="Grades"><sf:grid sf:numrows="4" sf:numcols="5">
<sf:rows><sf:grid-row sf:nc="5"/><sf:grid-row sf:nc="5"/><sf:grid-row sf:nc="5"/><sf:grid-row sf:nc="5"/></sf:rows>
<sf:columns><sf:grid-column sf:nc="4"/><sf:grid-column sf:nc="4"/><sf:grid-column sf:nc="2"/><sf:grid-column sf:nc="4"/><sf:grid-column sf:nc="4"/></sf:columns>
<sf:datasource>
<sf:t><sf:ct sfa:s="score"/></sf:t><sf:t><sf:ct sfa:s="name"/></sf:t><sf:t><sf:ct sfa:s="early"/></sf:t><sf:t><sf:ct sfa:s="when"/></sf:t><sf:g/>
<sf:n sf:v="1.5"/><sf:t><sf:ct sfa:s="Ann"/></sf:t><sf:du sf:du="90"/><sf:d sf:s="SFTCellStyle-7" sf:cell-date="347242000"><sf:date-format sf:fmt="yyyy-MM-dd"/></sf:d><sf:g/>
<sf:g/><sf:t><sf:text-body><sf:p>Bob</sf:p></sf:text-body></sf:t><sf:d sf:s="SFTCellStyle-7" sf:cell-date="0"/><sf:g/>
<sf:n sf:v="-2"/><sf:g/><sf:g/><sf:g/>
</sf:datasource></sf:grid></sf:tabular-model></ls:workspace></ls:document>)";
    DSObjectPool pool(ds_import_test_model());
    ASSERT_TRUE(DSDataImporterNumbers09::parseIndex(xml, pool));
    const QList<DSDataTable *> tables = ds_objects_cast<DSDataTable>(pool.objectsOfEntity(QStringLiteral("DSDataTable")));
    ASSERT_EQ(tables.size(), 1);
    DSDataTable *table = tables[0];
    EXPECT_EQ(table->name(), QStringLiteral("Grades"));
    EXPECT_EQ(table->num_records(), 3);
    EXPECT_EQ(ds_column_names(table).size(), 4);
    auto *score = dynamic_cast<DSNumericDataColumn *>(ds_column_named(table, "score"));
    ASSERT_NE(score, nullptr);
    EXPECT_TRUE(ds_same_values(ds_column_values(score), {1.5, NAN, -2}));
    auto *name = dynamic_cast<DSTextDataColumn *>(ds_column_named(table, "name"));
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(ds_text_values(name), (std::vector<std::string>{"Ann", "Bob", ""}));
    auto *early = dynamic_cast<DSNumericDataColumn *>(ds_column_named(table, "early"));
    ASSERT_NE(early, nullptr);
    EXPECT_TRUE(ds_same_values(ds_column_values(early), {90, NAN, NAN}));
    EXPECT_EQ(early->number_formatter()->number_style(), 500);
    auto *when = dynamic_cast<DSTimeDataColumn *>(ds_column_named(table, "when"));
    ASSERT_NE(when, nullptr);
    EXPECT_TRUE(ds_same_values(ds_time_values(when), {absoluteTime(2012, 1, 3, 0, 0, 0), 0, NAN}));
    EXPECT_TRUE(ds_same_values(ds_time_intervals(when), {86400, 86400, 0}));
}

// A data row with more cells than the header row would lose them: the
// parse fails (the importer then names the file).
TEST(Numbers09IndexTest, RowLongerThanItsHeaderFails)
{
    const QByteArray xml = R"(<ls:workspace><sf:tabular-model sf:name="T"><sf:grid sf:numrows="2" sf:numcols="2">
<sf:grid-row sf:nc="1"/><sf:grid-row sf:nc="2"/><sf:grid-column sf:nc="2"/><sf:grid-column sf:nc="2"/>
<sf:datasource><sf:t><sf:ct sfa:s="a"/></sf:t><sf:n sf:v="1"/><sf:n sf:v="2"/></sf:datasource></sf:grid></sf:tabular-model></ls:workspace>)";
    DSObjectPool pool(ds_import_test_model());
    EXPECT_FALSE(DSDataImporterNumbers09::parseIndex(xml, pool));
}

TEST(Numbers09IndexTest, NamesMatchWithOrWithoutTheirPrefix)
{
    EXPECT_TRUE(DSDataImporterNumbers09::xml_name_matches("sf:grid", "sf", "grid"));
    EXPECT_TRUE(DSDataImporterNumbers09::xml_name_matches("SF:Grid", "sf", "grid"));
    EXPECT_TRUE(DSDataImporterNumbers09::xml_name_matches("grid", "sf", "grid"));
    EXPECT_FALSE(DSDataImporterNumbers09::xml_name_matches("ls:grid", "sf", "grid"));
    EXPECT_FALSE(DSDataImporterNumbers09::xml_name_matches("sf:grid-row", "sf", "grid"));
}

// The chunk layer: what a stream decodes to, and the one line on standard
// error that each bad chunk writes.
TEST(IWSnappyTest, ChunkFraming)
{
    const QByteArray block = QByteArray::fromHex("0308616263");  // "abc" as one literal
    const QByteArray chunk = QByteArray::fromHex("00050000") + block;
    struct Case
    {
        const char *what;
        QByteArray stream;
        std::optional<QByteArray> decoded;
        std::string message;
    };
    const Case cases[] = {
        {"one chunk", chunk, QByteArray("abc"), ""},
        {"one trailing byte", chunk + QByteArray::fromHex("ff"), QByteArray("abc"), ""},
        {"two trailing bytes", chunk + QByteArray::fromHex("0000"), QByteArray("abc"), ""},
        {"three trailing bytes", chunk + QByteArray::fromHex("000500"), QByteArray("abc"), ""},
        {"four trailing bytes", chunk + QByteArray::fromHex("01020304"), QByteArray("abc"), ""},
        {"two chunks", chunk + chunk, QByteArray("abcabc"), ""},
        {"a block of length 0", QByteArray::fromHex("0001000000") + chunk, QByteArray("abc"), ""},
        {"kind 1", QByteArray::fromHex("01050000") + block, std::nullopt, ""},
        {"kind 1 after a chunk", chunk + QByteArray::fromHex("0105000000"), std::nullopt, ""},
        {"one byte too long", QByteArray::fromHex("00060000") + block, std::nullopt, k_badLength},
        {"an empty body", chunk + QByteArray::fromHex("0000000000"), std::nullopt, k_badChunk},
        {"not a block", QByteArray::fromHex("00050000") + QByteArray::fromHex("0908616263"), std::nullopt, k_badChunk},
        {"four bytes", QByteArray::fromHex("00050000"), QByteArray(""), ""},
        {"nothing", QByteArray(), QByteArray(""), ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        testing::internal::CaptureStderr();
        const std::optional<QByteArray> decoded = IWSnappy::snappyIWADecompressedData(c.stream);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.message);
        EXPECT_EQ(decoded, c.decoded);
    }
}

TEST(IWSnappyTest, DecodedStreamsAreLimited)
{
    const QByteArray stream = chunked(QByteArray(1000, 'x'));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(IWSnappy::snappyIWADecompressedData(stream, 999).has_value());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), k_badChunk);
    EXPECT_EQ(IWSnappy::snappyIWADecompressedData(stream, 1000)->size(), 1000);
}

// The object layer: a reader gets exactly the payloads it asks for, and a
// bad header fails with its message.
TEST(IWAStreamTest, PayloadsAreReadOrSkippedByTheirLengths)
{
    TST::Tile tile = makeTile();
    tile.set_num_rows(7);
    DSIWAStream stream(objects({{5, {{7, "seven"}, {6002, serialized(tile)}, {9, "nine!"}}}, {6, {}}, {8, {{9, "x"}}}}));
    QList<uint64_t> identifiers;
    int tiles = 0;
    while (stream.bytesRemain()) {
        DSError error;
        const std::unique_ptr<TSP::ArchiveInfo> archive = stream.archiveInfoFromStream(&error);
        ASSERT_NE(archive, nullptr) << error.localizedDescription.toStdString();
        identifiers.append(archive->identifier());
        for (const TSP::MessageInfo &info : archive->message_infos()) {
            if (info.type() != 6002) {
                stream.skipPayload(info.length());
                continue;
            }
            TST::Tile read;
            ASSERT_TRUE(stream.parsePayload(info.length(), read));
            EXPECT_EQ(read.num_rows(), 7u);
            ++tiles;
        }
    }
    EXPECT_EQ(identifiers, (QList<uint64_t>{5, 6, 8}));
    EXPECT_EQ(tiles, 1);

    struct Case
    {
        const char *what;
        QByteArray bytes;
        const char *message;
    };
    TSP::ArchiveInfo withoutLength;
    withoutLength.add_message_infos()->set_type(6002);
    const QByteArray header = serialized(withoutLength);
    const Case cases[] = {
        {"ends inside the length", QByteArray::fromHex("85"), "Failed to read archive info length"},
        {"ten continuation bytes", QByteArray(10, char(0x80)), "Failed to read archive info length"},
        {"message info without its length", varint(uint64_t(header.size())) + header, "Failed to read archive info"},
        {"header shorter than its length", varint(uint64_t(header.size() + 5)) + header, "Failed to read archive info"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        DSIWAStream bad(c.bytes);
        DSError error;
        EXPECT_EQ(bad.archiveInfoFromStream(&error), nullptr);
        EXPECT_EQ(error.localizedDescription, QString::fromLatin1(c.message));
    }
    DSIWAStream empty(varint(0));
    ASSERT_TRUE(empty.bytesRemain());
    const std::unique_ptr<TSP::ArchiveInfo> none = empty.archiveInfoFromStream(nullptr);
    ASSERT_NE(none, nullptr);
    EXPECT_EQ(none->identifier(), 0u);
    EXPECT_FALSE(empty.bytesRemain());
}

// Messages parse as the proto2 runtime reads them: unknown list types are
// dropped, and a missing required field anywhere fails the whole message.
TEST(Numbers13SchemaTest, ListTypesAndRequiredFields)
{
    TST::TableDataList list;
    ASSERT_TRUE(list.ParseFromString(std::string("\x08\x0b", 2)));  // listtype 11
    EXPECT_FALSE(list.has_listtype());
    EXPECT_EQ(list.listtype(), 1);
    ASSERT_TRUE(list.ParseFromString(std::string("\x08\x02\x08\x0b", 4)));  // 2, then 11
    EXPECT_EQ(list.listtype(), 2);

    TST::Tile tile = makeTile();
    addRow(&tile, {record(2, 0xA0, 1, 0)});
    EXPECT_TRUE(TST::Tile().ParseFromString(tile.SerializePartialAsString()));
    tile.mutable_rows(0)->clear_tile_row_index();
    EXPECT_FALSE(TST::Tile().ParseFromString(tile.SerializePartialAsString()));

    TSP::ArchiveInfo info;
    ASSERT_TRUE(info.ParseFromString(std::string("\x12\x06\x08\x01\x10\x05\x18\x02", 8)));  // fields 1, 2, 3
    EXPECT_EQ(info.message_infos(0).length(), 2u);
}

// Cell records: their length from the flags, the double and the key at
// their end, and the checks that make a record an empty cell.
TEST(Numbers13CellTest, RecordsDecodeFromTheirEnd)
{
    EXPECT_EQ(DSNumbers13TableBuilder::recordLength(0xA0), 24);
    EXPECT_EQ(DSNumbers13TableBuilder::recordLength(0x11), 12);
    EXPECT_EQ(DSNumbers13TableBuilder::recordLength(0xFF), 48);
    const DSNumbers13TableBuilder::KeyedStrings strings{{4, QStringLiteral("four")}};
    const DSNumbers13TableBuilder::KeyedStrings formats{{5, QStringLiteral("0.00%")}};
    using Kind = DSNumbers13TableBuilder::Cell::Kind;
    struct Case
    {
        const char *what;
        QByteArray storage;
        qsizetype offset;
        Kind kind;
        double number;
        const char *textOrFormat;
    };
    // Flags 0: the double is the record's own first 8 bytes.
    const QByteArray bare = QByteArray::fromHex("030002ff00000000") + QByteArray::fromHex("05000000");
    double bareNumber;
    std::memcpy(&bareNumber, bare.constData(), 8);
    QByteArray wrongVersion = record(2, 0xA0, 1, 0);
    wrongVersion[0] = 2;
    QByteArray noMarker = record(2, 0xA0, 1, 0);
    noMarker[3] = 0;
    const Case cases[] = {
        {"flags A0", record(2, 0xA0, 0.25, 5), 0, Kind::Number, 0.25, "0.00%"},
        {"flags 0", bare, 0, Kind::Number, bareNumber, "0.00%"},
        {"after another", record(3, 0xA0, 0, 4) + record(2, 0xA0, 9, 7), 24, Kind::Number, 9, nullptr},
        {"text", record(3, 0xA0, 0, 4), 0, Kind::Text, 0, "four"},
        {"text not in the table", record(3, 0xA0, 0, 3), 0, Kind::None, 0, nullptr},
        {"boolean", record(6, 0xA0, 1, 0), 0, Kind::Boolean, 1, nullptr},
        {"duration", record(7, 0xA0, 90, 0), 0, Kind::Duration, 90, nullptr},
        {"date", record(5, 0xA0, 3600, 5), 0, Kind::Date, 3600, "0.00%"},
        {"date beyond the calendar", record(5, 0xA0, 1e300, 0), 0, Kind::Date, NAN, nullptr},
        {"type 4", record(4, 0xA0, 1, 0), 0, Kind::None, 0, nullptr},
        {"version 2", wrongVersion, 0, Kind::None, 0, nullptr},
        {"no marker", noMarker, 0, Kind::None, 0, nullptr},
        {"cut short", record(2, 0xA0, 1, 0).left(23), 0, Kind::None, 0, nullptr},
        {"offset past the end", record(2, 0xA0, 1, 0), 1, Kind::None, 0, nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const auto cell = DSNumbers13TableBuilder::cellAt(c.storage, c.offset, &strings, nullptr, &formats);
        EXPECT_EQ(cell.kind, c.kind);
        if (c.kind == Kind::None)
            continue;
        EXPECT_TRUE(ds_same_values({cell.number}, {c.number})) << cell.number;
        if (c.kind == Kind::Text)
            EXPECT_EQ(cell.text, QString::fromLatin1(c.textOrFormat));
        else
            EXPECT_EQ(cell.format ? cell.format->toStdString() : std::string("none"),
                      c.textOrFormat ? c.textOrFormat : "none");
    }
}

// A row of cell count 2 with offsets FFFF, 0000, FFFF, 000C visits four
// slots; the first and third are empty (the second is a 12-byte record of
// flags 0, a text whose key is its bytes 8-11). Columns enter the table as
// they get their first value; a boolean column is labelled; a later text
// in a numeric column is missing; an empty slot past the last visited one
// is missing too.
TEST(Numbers13CellTest, RowsFillTheirSlots)
{
    DSObjectPool pool(ds_import_test_model());
    const DSNumbers13TableBuilder::KeyedStrings strings{{1, QStringLiteral("a")}, {2, QStringLiteral("b")},
                                                        {3, QStringLiteral("c")}, {4, QStringLiteral("d")},
                                                        {5, QStringLiteral("x")}};
    DSNumbers13TableBuilder builder(pool, QStringLiteral("T"), &strings, nullptr, nullptr);
    TST::Tile tile = makeTile();
    addRow(&tile, {record(3, 0xA0, 0, 1), record(3, 0xA0, 0, 2), record(3, 0xA0, 0, 3), record(3, 0xA0, 0, 4)});
    TST::TileRowInfo *row = tile.add_rows();
    row->set_tile_row_index(1);
    row->set_cell_count(2);
    row->set_cell_offsets(QByteArray::fromHex("ffff0000ffff0c00").toStdString());
    row->set_cell_storage(QByteArray(QByteArray::fromHex("030003ff0000000005000000") + record(2, 0xA0, 7, 0)).toStdString());
    addRow(&tile, {record(6, 0xA0, 1, 0), record(3, 0xA0, 0, 5), {}, record(3, 0xA0, 0, 5)});
    addRow(&tile, {record(6, 0xA0, 0, 0)});
    ASSERT_TRUE(builder.addTile(tile));
    DSDataTable *table = builder.finish();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->num_records(), 3);
    const QList<DSColumn *> columns = table->sortedColumns();
    ASSERT_EQ(columns.size(), 3);
    EXPECT_EQ(columns[0]->name(), QStringLiteral("b"));
    EXPECT_EQ(columns[1]->name(), QStringLiteral("d"));
    EXPECT_EQ(columns[2]->name(), QStringLiteral("a"));
    EXPECT_EQ(ds_text_values(static_cast<DSTextDataColumn *>(columns[0])), (std::vector<std::string>{"x", "x", ""}));
    EXPECT_TRUE(ds_same_values(ds_column_values(static_cast<DSNumericDataColumn *>(columns[1])), {7, NAN, NAN}));
    auto *a = static_cast<DSNumericDataColumn *>(columns[2]);
    EXPECT_TRUE(ds_same_values(ds_column_values(a), {NAN, 1, 0}));
    EXPECT_TRUE(a->treat_as_categories());
}

// A table of one header row has no records; a row whose offsets are fewer
// than its cell count is skipped; a value past the header fails.
TEST(Numbers13CellTest, HeaderOnlyShortRowsAndLongRows)
{
    DSObjectPool pool(ds_import_test_model());
    const DSNumbers13TableBuilder::KeyedStrings strings{{1, QStringLiteral("a")}};
    DSNumbers13TableBuilder builder(pool, QStringLiteral("T"), &strings, nullptr, nullptr);
    TST::Tile tile = makeTile();
    addRow(&tile, {record(3, 0xA0, 0, 1)});
    ASSERT_TRUE(builder.addTile(tile));
    tile.Clear();
    addRow(&tile, {record(2, 0xA0, 1, 0), record(2, 0xA0, 2, 0)});
    tile.mutable_rows(0)->set_cell_offsets(std::string("\0\0", 2));
    ASSERT_TRUE(builder.addTile(tile));
    DSDataTable *table = builder.finish();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->num_records(), 0);
    EXPECT_TRUE(table->columns().isEmpty());

    DSNumbers13TableBuilder longer(pool, QStringLiteral("T"), &strings, nullptr, nullptr);
    tile.Clear();
    addRow(&tile, {record(3, 0xA0, 0, 1)});
    addRow(&tile, {record(2, 0xA0, 1, 0), {}});  // an empty slot past the header loses nothing
    ASSERT_TRUE(longer.addTile(tile));
    tile.Clear();
    addRow(&tile, {record(2, 0xA0, 1, 0), record(2, 0xA0, 2, 0)});
    EXPECT_FALSE(longer.addTile(tile));
    longer.teardown();
}

TEST(Numbers13CellTest, AHeaderDateIsNamedInLongStyles)
{
    DSObjectPool pool(ds_import_test_model());
    DSNumbers13TableBuilder builder(pool, QStringLiteral("T"), nullptr, nullptr, nullptr);
    TST::Tile tile = makeTile();
    addRow(&tile, {record(5, 0xA0, absoluteTime(2015, 8, 20, 19, 52, 0), 0)});
    addRow(&tile, {record(2, 0xA0, 1, 0)});
    ASSERT_TRUE(builder.addTile(tile));
    DSDataTable *table = builder.finish();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(ds_column_names(table).size(), 1);
    EXPECT_EQ(table->sortedColumns()[0]->name(), QStringLiteral("August 20, 2015 at 7:52:00\u202FPM GMT"));
}

TEST(Numbers13FormatTest, FormatCodes)
{
    struct Case
    {
        uint32_t type;
        std::optional<uint32_t> places;
        bool currency;
        std::optional<bool> separator;
        const char *code;
    };
    const Case cases[] = {
        {258, 2, false, false, "0.00%"},             {258, 2, false, std::nullopt, ".00%"},
        {256, 2, true, true, "$#,##0.00"},
        {256, 253, false, std::nullopt, ".########"}, {259, 1, false, false, "0.0E+0"},
        {256, std::nullopt, false, std::nullopt, ""}, {256, 0, false, true, "#,##0."},
    };
    for (const Case &c : cases) {
        TSK::FormatStructArchive format;
        format.set_format_type(c.type);
        if (c.places)
            format.set_decimal_places(*c.places);
        if (c.currency)
            format.set_currency_code("USD");
        if (c.separator)
            format.set_use_thousands_separator(*c.separator);
        EXPECT_EQ(DSDataImporterNumbers13::formatCode(format).toStdString(), c.code);
    }
    TSK::FormatStructArchive date;
    date.set_format_type(261);
    EXPECT_EQ(DSDataImporterNumbers13::formatCode(date), QString());
    date.set_date_time_format("yyyy-MM-dd");
    EXPECT_EQ(DSDataImporterNumbers13::formatCode(date), QStringLiteral("yyyy-MM-dd"));
}

// Documents written here: tables in the order of their sheets in the
// document, each named after its sheet; damaged ones fail naming the file.
TEST_F(NumbersImportTest, DocumentsWrittenHere)
{
    TST::Tile one = makeTile();
    addRow(&one, {record(3, 0xA0, 0, 1)});
    addRow(&one, {record(2, 0xA0, 1, 0)});
    TST::Tile two = makeTile();
    addRow(&two, {record(3, 0xA0, 0, 2)});
    addRow(&two, {record(2, 0xA0, 2, 0)});
    addRow(&two, {record(2, 0xA0, 3, 0)});
    const QList<DSDataTable *> tables = import(
        {files.write(QStringLiteral("order.numbers"),
                     document({{QStringLiteral("First"), one}, {QStringLiteral("Second"), two}}, {1, 0}, {"x", "y"}))});
    ASSERT_EQ(tables.size(), 2) << run->errorText().toStdString();
    EXPECT_EQ(tables[0]->name(), QStringLiteral("Second"));
    EXPECT_EQ(tables[0]->num_records(), 2);
    EXPECT_EQ(tables[0]->sortedColumns()[0]->name(), QStringLiteral("y"));
    EXPECT_EQ(tables[1]->name(), QStringLiteral("First"));

    TST::Tile longRow = makeTile();
    addRow(&longRow, {record(3, 0xA0, 0, 1)});
    addRow(&longRow, {record(2, 0xA0, 1, 0), record(2, 0xA0, 2, 0)});
    TST::Tile badRow = one;
    badRow.mutable_rows(1)->clear_tile_row_index();
    const QUrl good = files.write(QStringLiteral("good.numbers"), document({{QStringLiteral("S"), one}}, {0}, {"x"}));
    const QPair<QString, TST::Tile> sheet{QStringLiteral("S"), one};
    struct Case
    {
        const char *name;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"long.numbers", document({{QStringLiteral("S"), longRow}}, {0}, {"x"})},
        {"row.numbers", document({{QStringLiteral("S"), badRow}}, {0}, {"x"})},
        {"lost.numbers", document({sheet}, {0}, {"x"}, false)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(import({good, files.write(QString::fromLatin1(c.name), c.bytes)}).isEmpty());
        EXPECT_EQ(run->importer->asyncResult(), nullptr);
        EXPECT_EQ(run->errorText(), QStringLiteral("1 Error parsing Numbers file: %1").arg(QString::fromLatin1(c.name)));
    }
}

} // namespace

namespace {

// Which reader a Numbers file gets: a zip with "index.xml" (exact case) the
// 2009 one, any other zip the 2013 one, a package folder the 2013 one over
// its "Index.zip".
TEST_F(NumbersImportTest, FormatSwitch)
{
    const QByteArray index = R"(<ls:workspace><sf:tabular-model sf:name="Old"><sf:grid sf:numrows="2" sf:numcols="1">
<sf:grid-row/><sf:grid-row/><sf:grid-column/><sf:datasource><sf:t><sf:ct sfa:s="n"/></sf:t><sf:n sf:v="4"/></sf:datasource>
</sf:grid></sf:tabular-model></ls:workspace>)";
    TST::Tile tile = makeTile();
    addRow(&tile, {record(3, 0xA0, 0, 1)});
    addRow(&tile, {record(2, 0xA0, 5, 0)});
    const QByteArray document13 = document({{QStringLiteral("New"), tile}}, {0}, {"m"});
    QTemporaryDir packages;
    ASSERT_TRUE(QDir(packages.path()).mkdir(QStringLiteral("package.numbers")));
    QFile member(packages.filePath(QStringLiteral("package.numbers/Index.zip")));
    ASSERT_TRUE(member.open(QIODevice::WriteOnly));
    member.write(document13);
    member.close();

    struct Case
    {
        const char *what;
        QUrl url;
        const char *importer;
        const char *table;  // null: no table
    };
    const Case cases[] = {
        {"index.xml", files.write(QStringLiteral("old.numbers"), ds_make_zip({{QStringLiteral("index.xml"), index}})),
         "DSDataImporterNumbers09", "Old"},
        {"Index.xml", files.write(QStringLiteral("case.numbers"), ds_make_zip({{QStringLiteral("Index.xml"), index}})),
         "DSDataImporterNumbers13", nullptr},
        {"iwa entries", files.write(QStringLiteral("new.numbers"), document13), "DSDataImporterNumbers13", "New"},
        {"package", QUrl::fromLocalFile(packages.filePath(QStringLiteral("package.numbers"))), "DSDataImporterNumbers13",
         "New"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const QList<DSDataTable *> tables = import({c.url});
        EXPECT_EQ(run->errorText(), QString());
        auto *numbers = static_cast<DSDataImporterNumbers *>(run->importer.get());
        ASSERT_NE(numbers->active_importer(), nullptr);
        EXPECT_EQ(numbers->active_importer()->className(), QString::fromLatin1(c.importer));
        ASSERT_EQ(tables.size(), c.table ? 1 : 0);
        if (c.table) {
            EXPECT_EQ(tables[0]->name(), QString::fromLatin1(c.table));
            EXPECT_EQ(tables[0]->num_records(), 1);
            EXPECT_EQ(tables[0]->columns().size(), 1);
        }
    }
}

} // namespace
