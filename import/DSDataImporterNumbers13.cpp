#include "import/DSDataImporterNumbers13.h"

#include "import/ZipException.h"
#include "import/ZipFile.h"
#include "import/ds_import_error.h"
#include "import/numbers13/DSIWAStream.h"
#include "model/DSDataTable.h"
#include "platform/store/DSObjectPool.h"

#include "DSNumbers13TN.pb.h"
#include "DSNumbers13TSK.pb.h"
#include "DSNumbers13TSP.pb.h"
#include "DSNumbers13TST.pb.h"
#include "DSNumbers13TSWP.pb.h"

#include <QFileInfo>

#include <algorithm>

namespace {

using Step = DSDataImporterNumbers13::Step;
using Walk = DSDataImporterNumbers13::Walk;

// Type numbers of the payloads the importer reads.
enum PayloadType : uint32_t {
    DocumentArchiveType = 1,
    SheetArchiveType = 2,
    StorageArchiveType = 2001,
    TableModelArchiveType = 6001,
    TileType = 6002,
    TableDataListType = 6005,
    RichTextPayloadArchiveType = 6218,
    PackageMetadataType = 11006,
};

enum FormatType { PercentFormat = 258, ScientificFormat = 259, DateTimeFormat = 261 };

// One table model found in the calculation engine, before its table is made.
struct TableModel
{
    QString sheetName;
    qint64 sheetIndex = -1;
    QList<uint64_t> tiles;
    std::optional<uint64_t> strings, richTexts, formats;
};

const DSDataImporterNumbers13::KeyedStrings *tableOf(const DSDataImporterNumbers13::ListTables &tables,
                                                     const std::optional<uint64_t> &identifier)
{
    if (!identifier)
        return nullptr;
    const auto found = tables.constFind(*identifier);
    return found == tables.cend() ? nullptr : &found.value();
}

// The table model's tiles in row order; nothing when a tile has no row in
// the row tree (the table could not be put together).
std::optional<QList<uint64_t>> tilesInRowOrder(const TST::DataStore &store)
{
    QHash<uint32_t, uint32_t> rowOfTile;
    for (const TST::TableRBTree_Node &node : store.row_tile_tree().nodes())
        rowOfTile.insert(node.value(), node.key());
    QList<std::pair<uint32_t, uint64_t>> pairs;
    for (const TST::TileStorage_Tile &tile : store.tiles().tiles()) {
        const auto row = rowOfTile.constFind(tile.tile_id());
        if (row == rowOfTile.cend())
            return std::nullopt;
        pairs.append({row.value(), tile.tile().identifier()});
    }
    std::stable_sort(pairs.begin(), pairs.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    QList<uint64_t> tiles;
    for (const auto &pair : pairs)
        tiles.append(pair.second);
    return tiles;
}

// A walk of every data-list entry, one handler for all; stops at the first
// entry that fails.
bool walkDataLists(ZipFile &zip, const DSDataImporterNumbers13::Walker &walker, DSError *error)
{
    const std::optional<QStringList> entries = DSDataImporterNumbers13::dataListPathArrayInZipFile(zip, error);
    if (!entries)
        return false;
    for (const QString &entry : *entries)
        if (DSDataImporterNumbers13::walkEntry(zip, entry, walker, error) == Walk::Failed)
            return false;
    return true;
}

// The string or format tables: one map per list archive of the list type,
// filled by `add` from each entry.
std::optional<DSDataImporterNumbers13::ListTables>
listTablesInZipFile(ZipFile &zip, TST::TableDataList_ListType listType,
                    const std::function<void(const TST::TableDataList_ListEntry &, DSDataImporterNumbers13::KeyedStrings &)> &add,
                    DSError *error)
{
    DSDataImporterNumbers13::ListTables tables;
    DSDataImporterNumbers13::KeyedStrings current;
    DSDataImporterNumbers13::Walker walker;
    walker.archive = [&](const TSP::ArchiveInfo &) { current.clear(); };
    walker.payload = [&](const TSP::ArchiveInfo &, uint32_t type, uint32_t length, DSIWAStream &stream, bool &read) {
        if (type != TableDataListType)
            return Step::Continue;
        read = true;
        TST::TableDataList list;
        if (!stream.parsePayload(length, list))
            return Step::Fail;
        if (list.listtype() == listType)
            for (const TST::TableDataList_ListEntry &entry : list.entries())
                add(entry, current);
        return Step::Continue;
    };
    walker.archiveEnd = [&](const TSP::ArchiveInfo &archive) {
        if (!current.isEmpty())
            tables.insert(archive.identifier(), current);
    };
    if (!walkDataLists(zip, walker, error))
        return std::nullopt;
    return tables;
}

} // namespace

DSDataImporterNumbers13::DSDataImporterNumbers13(const QList<QUrl> &urls) : DSDataImporter(urls)
{
}

bool DSDataImporterNumbers13::parseIntoPool(DSObjectPool &pool, DSError *error)
{
    if (urls().size() == 1)
        setAsyncProgressIsIndeterminate(true);
    for (const QUrl &url : urls()) {
        const QFileInfo file(url.toLocalFile());
        if (!file.exists()) {
            if (error)
                *error = ds_make_error(1, QStringLiteral("Error reading file information"));
            return false;
        }
        DSError failure;
        bool parsed = false;
        try {
            ZipFile zip(file.isDir() ? file.filePath() + QStringLiteral("/Index.zip") : file.filePath());
            parsed = parseArchive(zip, pool, &failure);
        } catch (const ZipException &damage) {
            failure = ds_damaged_archive_error(QStringLiteral("Numbers"), url, damage);
        }
        if (!parsed) {
            if (error)
                *error = failure.code != 0 || !failure.localizedDescription.isEmpty()
                             ? failure
                             : ds_parse_file_error(QStringLiteral("Numbers"), url);
            return false;
        }
    }
    return true;
}

bool DSDataImporterNumbers13::parseArchive(ZipFile &zip, DSObjectPool &pool, DSError *error)
{
    const std::optional<QHash<uint64_t, QString>> sheetNames = sheetNamesInZipFile(zip, error);
    if (!sheetNames)
        return false;
    const std::optional<QHash<uint64_t, qint64>> sheetIndexes = sheetIndexesInZipFile(zip, error);
    if (!sheetIndexes)
        return false;
    const std::optional<ListTables> strings = stringTablesInZipFile(zip, error);
    if (!strings)
        return false;
    const std::optional<ListTables> richTexts = richTextPayloadTablesInZipFile(zip, error);
    if (!richTexts)
        return false;
    const std::optional<ListTables> formats = formatTablesInZipFile(zip, error);
    if (!formats)
        return false;

    QList<TableModel> models;
    QString sheetName;
    qint64 sheetIndex = -1;
    Walker walker;
    walker.archive = [&](const TSP::ArchiveInfo &archive) {
        if (const auto name = sheetNames->constFind(archive.identifier()); name != sheetNames->cend())
            sheetName = name.value();
        if (const auto index = sheetIndexes->constFind(archive.identifier()); index != sheetIndexes->cend())
            sheetIndex = index.value();
    };
    walker.payload = [&](const TSP::ArchiveInfo &, uint32_t type, uint32_t length, DSIWAStream &stream, bool &read) {
        if (type != TableModelArchiveType)
            return Step::Continue;
        read = true;
        TST::TableModelArchive archive;
        if (!stream.parsePayload(length, archive))
            return Step::Fail;
        const TST::DataStore &store = archive.data_store();
        std::optional<QList<uint64_t>> tiles = tilesInRowOrder(store);
        if (!tiles)
            return Step::Fail;
        if (tiles->isEmpty())
            return Step::Continue;
        TableModel model{sheetName, sheetIndex, std::move(*tiles), store.string_table().identifier(), std::nullopt,
                         store.format_table().identifier()};
        if (store.has_rich_text_table())
            model.richTexts = store.rich_text_table().identifier();
        models.append(std::move(model));
        return Step::Continue;
    };
    if (walkEntry(zip, calculationEnginePath(), walker, error) == Walk::Failed)
        return false;

    // Tables enter the pool in the order the document shows them.
    std::stable_sort(models.begin(), models.end(),
                     [](const TableModel &a, const TableModel &b) { return a.sheetIndex < b.sheetIndex; });
    for (const TableModel &model : models)
        if (!newTableWithTiles(model.tiles, zip, model.sheetName, tableOf(*strings, model.strings),
                               tableOf(*richTexts, model.richTexts), tableOf(*formats, model.formats), pool, error))
            return false;
    return true;
}

DSDataImporterNumbers13::Walk DSDataImporterNumbers13::walkEntry(ZipFile &zip, const QString &entry,
                                                                 const Walker &walker, DSError *error)
{
    if (!zip.locateFileInZip(entry))
        return Walk::Absent;
    std::optional<QByteArray> decoded = DSIWAStream::dataForCurrentIWAFileInZipFile(zip);
    if (!decoded)
        return Walk::Failed;
    DSIWAStream stream(std::move(*decoded));
    while (stream.bytesRemain()) {
        const std::unique_ptr<TSP::ArchiveInfo> archive = stream.archiveInfoFromStream(error);
        if (!archive)
            return Walk::Failed;
        if (walker.archive)
            walker.archive(*archive);
        for (const TSP::MessageInfo &info : archive->message_infos()) {
            bool read = false;
            const Step step = walker.payload(*archive, info.type(), info.length(), stream, read);
            if (step == Step::Fail)
                return Walk::Failed;
            if (step == Step::Stop)
                return Walk::Stopped;
            if (!read)
                stream.skipPayload(info.length());
        }
        if (walker.archiveEnd)
            walker.archiveEnd(*archive);
    }
    return Walk::Done;
}

std::optional<QStringList> DSDataImporterNumbers13::locatorPathArrayInZipFile(ZipFile &zip,
                                                                              const QString &preferredLocator,
                                                                              DSError *error)
{
    QStringList paths;
    const std::string wanted = preferredLocator.toStdString();
    Walker walker;
    walker.payload = [&](const TSP::ArchiveInfo &, uint32_t type, uint32_t length, DSIWAStream &stream, bool &read) {
        if (type != PackageMetadataType)
            return Step::Continue;
        read = true;
        TSP::PackageMetadata metadata;
        if (!stream.parsePayload(length, metadata)) {
            if (error)
                *error = ds_make_error(1, QStringLiteral("Error parsing the metadata stream"));
            return Step::Fail;
        }
        for (const TSP::ComponentInfo &component : metadata.components())
            if (component.preferred_locator() == wanted)
                paths.append(QStringLiteral("Index/%1.iwa")
                                 .arg(QString::fromStdString(component.has_locator() ? component.locator()
                                                                                     : component.preferred_locator())));
        return Step::Continue;
    };
    if (walkEntry(zip, metadataPath(), walker, error) == Walk::Failed)
        return std::nullopt;
    return paths;
}

std::optional<QStringList> DSDataImporterNumbers13::tilePathArrayInZipFile(ZipFile &zip, DSError *error)
{
    return locatorPathArrayInZipFile(zip, QStringLiteral("Tables/Tile"), error);
}

std::optional<QStringList> DSDataImporterNumbers13::dataListPathArrayInZipFile(ZipFile &zip, DSError *error)
{
    return locatorPathArrayInZipFile(zip, QStringLiteral("Tables/DataList"), error);
}

std::optional<QHash<uint64_t, QString>> DSDataImporterNumbers13::sheetNamesInZipFile(ZipFile &zip, DSError *error)
{
    QHash<uint64_t, QString> names;
    Walker walker;
    walker.payload = [&](const TSP::ArchiveInfo &, uint32_t type, uint32_t length, DSIWAStream &stream, bool &read) {
        if (type != SheetArchiveType)
            return Step::Continue;
        read = true;
        TN::SheetArchive sheet;
        if (!stream.parsePayload(length, sheet))
            return Step::Fail;
        const QString name = QString::fromStdString(sheet.name());
        for (const TSP::Reference &drawable : sheet.drawables())
            names.insert(drawable.identifier(), name);
        return Step::Continue;
    };
    if (walkEntry(zip, documentPath(), walker, error) == Walk::Failed)
        return std::nullopt;
    return names;
}

std::optional<QHash<uint64_t, qint64>> DSDataImporterNumbers13::sheetIndexesInZipFile(ZipFile &zip, DSError *error)
{
    QHash<uint64_t, qint64> indexes;
    QHash<uint64_t, qint64> positions;
    Walker walker;
    walker.payload = [&](const TSP::ArchiveInfo &archive, uint32_t type, uint32_t length, DSIWAStream &stream,
                         bool &read) {
        if (type == DocumentArchiveType) {
            read = true;
            TN::DocumentArchive document;
            if (!stream.parsePayload(length, document))
                return Step::Fail;
            for (int i = 0; i < document.sheets_size(); ++i)
                positions.insert(document.sheets(i).identifier(), i);
        } else if (type == SheetArchiveType) {
            read = true;
            TN::SheetArchive sheet;
            if (!stream.parsePayload(length, sheet))
                return Step::Fail;
            if (const auto position = positions.constFind(archive.identifier()); position != positions.cend())
                for (const TSP::Reference &drawable : sheet.drawables())
                    indexes.insert(drawable.identifier(), position.value());
        }
        return Step::Continue;
    };
    if (walkEntry(zip, documentPath(), walker, error) == Walk::Failed)
        return std::nullopt;
    return indexes;
}

std::optional<DSDataImporterNumbers13::ListTables> DSDataImporterNumbers13::stringTablesInZipFile(ZipFile &zip,
                                                                                               DSError *error)
{
    return listTablesInZipFile(
        zip, TST::TableDataList::STRING,
        [](const TST::TableDataList_ListEntry &entry, KeyedStrings &strings) {
            if (entry.has_string_value())
                strings.insert(entry.key(), QString::fromStdString(entry.string_value()));
        },
        error);
}

std::optional<DSDataImporterNumbers13::ListTables> DSDataImporterNumbers13::formatTablesInZipFile(ZipFile &zip,
                                                                                               DSError *error)
{
    return listTablesInZipFile(
        zip, TST::TableDataList::FORMAT,
        [](const TST::TableDataList_ListEntry &entry, KeyedStrings &formats) {
            if (!entry.has_format())
                return;
            if (const QString code = formatCode(entry.format()); !code.isEmpty())
                formats.insert(entry.key(), code);
        },
        error);
}

QString DSDataImporterNumbers13::formatCode(const TSK::FormatStructArchive &format)
{
    if (format.format_type() == DateTimeFormat)
        return format.has_date_time_format() ? QString::fromStdString(format.date_time_format()) : QString();
    QString code;
    if (format.has_currency_code())
        code += QLatin1Char('$');
    if (format.has_use_thousands_separator())
        code += format.use_thousands_separator() ? QStringLiteral("#,##0") : QStringLiteral("0");
    if (format.has_decimal_places()) {
        // Numbers writes a large count for "as many as needed".
        const uint32_t places = format.decimal_places();
        code += QLatin1Char('.') + (places > 100 ? QString(8, QLatin1Char('#')) : QString(int(places), QLatin1Char('0')));
    }
    if (format.format_type() == ScientificFormat)
        code += QStringLiteral("E+0");
    else if (format.format_type() == PercentFormat)
        code += QLatin1Char('%');
    return code;
}

std::optional<DSDataImporterNumbers13::ListTables>
DSDataImporterNumbers13::richTextPayloadTablesInZipFile(ZipFile &zip, DSError *error)
{
    ListTables tables;
    KeyedStrings texts;
    QHash<uint64_t, uint32_t> keyOfPayload;
    QHash<uint64_t, uint64_t> payloadOfStorage;
    int64_t listIdentifier = -1;
    Walker walker;
    walker.payload = [&](const TSP::ArchiveInfo &archive, uint32_t type, uint32_t length, DSIWAStream &stream,
                         bool &read) {
        if (type == TableDataListType) {
            read = true;
            TST::TableDataList list;
            if (!stream.parsePayload(length, list))
                return Step::Fail;
            if (list.listtype() == TST::TableDataList::RICH_TEXT_PAYLOAD) {
                listIdentifier = int64_t(archive.identifier());
                for (const TST::TableDataList_ListEntry &entry : list.entries())
                    if (entry.has_rich_text_payload())
                        keyOfPayload.insert(entry.rich_text_payload().identifier(), entry.key());
            }
        } else if (type == RichTextPayloadArchiveType) {
            read = true;
            TST::RichTextPayloadArchive payload;
            if (!stream.parsePayload(length, payload))
                return Step::Fail;
            if (payload.has_storage())
                payloadOfStorage.insert(payload.storage().identifier(), archive.identifier());
        } else if (type == StorageArchiveType) {
            read = true;
            TSWP::StorageArchive storage;
            if (!stream.parsePayload(length, storage))
                return Step::Fail;
            QString text;
            for (const std::string &piece : storage.text())
                text += QString::fromStdString(piece);
            const auto payload = payloadOfStorage.constFind(archive.identifier());
            if (payload == payloadOfStorage.cend())
                return Step::Continue;
            const auto key = keyOfPayload.constFind(payload.value());
            if (key != keyOfPayload.cend() && !text.isEmpty())
                texts.insert(key.value(), text);
        }
        return Step::Continue;
    };
    const std::optional<QStringList> entries = dataListPathArrayInZipFile(zip, error);
    if (!entries)
        return std::nullopt;
    for (const QString &entry : *entries) {
        texts.clear();
        keyOfPayload.clear();
        payloadOfStorage.clear();
        listIdentifier = -1;
        if (walkEntry(zip, entry, walker, error) == Walk::Failed)
            return std::nullopt;
        if (!texts.isEmpty() && listIdentifier != -1)
            tables.insert(uint64_t(listIdentifier), texts);
    }
    return tables;
}

std::unique_ptr<TST::Tile> DSDataImporterNumbers13::tileForIdentifier(uint64_t identifier, ZipFile &zip,
                                                                     DSError *error)
{
    const std::optional<QStringList> entries = tilePathArrayInZipFile(zip, error);
    if (!entries)
        return nullptr;
    std::unique_ptr<TST::Tile> found;
    Walker walker;
    walker.payload = [&](const TSP::ArchiveInfo &archive, uint32_t type, uint32_t length, DSIWAStream &stream,
                         bool &read) {
        if (type != TileType || archive.identifier() != identifier)
            return Step::Continue;
        read = true;
        auto tile = std::make_unique<TST::Tile>();
        if (!stream.parsePayload(length, *tile))
            return Step::Fail;
        found = std::move(tile);
        return Step::Stop;
    };
    for (const QString &entry : *entries) {
        if (walkEntry(zip, entry, walker, error) == Walk::Failed)
            return nullptr;
        if (found)
            return found;
    }
    return nullptr;
}

DSDataTable *DSDataImporterNumbers13::newTableWithTiles(const QList<uint64_t> &tiles, ZipFile &zip,
                                                        const QString &name, const KeyedStrings *strings,
                                                        const KeyedStrings *richTexts, const KeyedStrings *formats,
                                                        DSObjectPool &pool, DSError *error)
{
    DSNumbers13TableBuilder builder(pool, name, strings, richTexts, formats);
    for (uint64_t identifier : tiles) {
        const std::unique_ptr<TST::Tile> tile = tileForIdentifier(identifier, zip, error);
        if (!tile || !builder.addTile(*tile)) {
            builder.teardown();
            return nullptr;
        }
    }
    DSDataTable *table = builder.finish();
    if (!table)
        builder.teardown();
    return table;
}
