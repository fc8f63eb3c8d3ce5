#pragma once

#include "import/numbers13/DSNumbers13TableBuilder.h"
#include "model/DSDataImporter.h"

#include <QHash>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class DSDataTable;
class DSIWAStream;
class ZipFile;
namespace TSK {
class FormatStructArchive;
}
namespace TSP {
class ArchiveInfo;
}
namespace TST {
class Tile;
}

// Reads Numbers 2013 documents: a zip archive (the file, or the member
// "Index.zip" of a package folder) whose ".iwa" entries are snappy-chunked
// streams of protocol-buffer archives. Every table model of the
// calculation engine becomes one table named after its sheet, tables in
// sheet order; its tiles' rows give the header and the records.
//
// Damaged input fails the whole import, naming the file ("Error parsing
// Numbers file: f.numbers"): a message that does not parse, an entry that
// is present but does not decode, a tile that cannot be found, a record
// value past the header row. An archive header that cannot be read fails
// with its own error. An absent entry is no failure: the reader that wanted
// it finds nothing.
class DSDataImporterNumbers13 : public DSDataImporter
{
public:
    using KeyedStrings = DSNumbers13TableBuilder::KeyedStrings;
    // Per list archive identifier, its entries by key.
    using ListTables = QHash<uint64_t, KeyedStrings>;

    explicit DSDataImporterNumbers13(const QList<QUrl> &urls);

    QString className() const override { return QStringLiteral("DSDataImporterNumbers13"); }

    static QString metadataPath() { return QStringLiteral("Index/Metadata.iwa"); }
    static QString documentPath() { return QStringLiteral("Index/Document.iwa"); }
    static QString calculationEnginePath() { return QStringLiteral("Index/CalculationEngine.iwa"); }

    // The tables of every file, sorted by their sheet's position; false with
    // the error of the first file that failed.
    bool parseIntoPool(DSObjectPool &pool, DSError *error) override;

    // Adds the tables of one open document archive to the pool, in sheet
    // order. False when it failed: with the error a reader left, or none
    // when a message was damaged (the caller names the file); the pool is
    // then for dropping.
    static bool parseArchive(ZipFile &zip, DSObjectPool &pool, DSError *error);

    // Entry names of the components whose preferred locator is the one
    // given (from "Index/Metadata.iwa"; empty without it); nothing on a
    // failure, with "Error parsing the metadata stream" when the package
    // metadata does not parse.
    static std::optional<QStringList> locatorPathArrayInZipFile(ZipFile &zip, const QString &preferredLocator,
                                                                DSError *error);
    static std::optional<QStringList> tilePathArrayInZipFile(ZipFile &zip, DSError *error);
    static std::optional<QStringList> dataListPathArrayInZipFile(ZipFile &zip, DSError *error);

    // The lookup tables of a document; nothing on a failure (error set when
    // a reader has one to give). Without "Index/Document.iwa" the sheet
    // maps are empty.
    static std::optional<QHash<uint64_t, QString>> sheetNamesInZipFile(ZipFile &zip, DSError *error);
    static std::optional<QHash<uint64_t, qint64>> sheetIndexesInZipFile(ZipFile &zip, DSError *error);
    static std::optional<ListTables> stringTablesInZipFile(ZipFile &zip, DSError *error);
    static std::optional<ListTables> formatTablesInZipFile(ZipFile &zip, DSError *error);
    static std::optional<ListTables> richTextPayloadTablesInZipFile(ZipFile &zip, DSError *error);

    // The format code a number format stands for: its date pattern for a
    // date format (type 261), else a spreadsheet code built from its
    // currency, grouping, decimals and percent or scientific kind.
    static QString formatCode(const TSK::FormatStructArchive &format);

    // The tile stored in the archive with this identifier, owned by the
    // caller; null when no tile entry holds it.
    static std::unique_ptr<TST::Tile> tileForIdentifier(uint64_t identifier, ZipFile &zip, DSError *error);

    // A new table of the pool from the tiles (identifiers in row order),
    // named `name`; null when a tile cannot be found or its rows do not fit
    // the header (the pool then holds a partial table and is for dropping).
    static DSDataTable *newTableWithTiles(const QList<uint64_t> &tiles, ZipFile &zip, const QString &name,
                                          const KeyedStrings *strings, const KeyedStrings *richTexts,
                                          const KeyedStrings *formats, DSObjectPool &pool, DSError *error);

    // What a walk's handler tells the walk after a payload.
    enum class Step { Continue, Stop, Fail };
    // One archive stream walked: archive() at each archive's start,
    // payload() for each payload (a payload the handler does not read is
    // skipped), archiveEnd() after its payloads.
    struct Walker
    {
        std::function<void(const TSP::ArchiveInfo &)> archive;
        std::function<Step(const TSP::ArchiveInfo &, uint32_t type, uint32_t length, DSIWAStream &, bool &read)> payload;
        std::function<void(const TSP::ArchiveInfo &)> archiveEnd;
    };
    enum class Walk { Absent, Done, Stopped, Failed };
    // Walks the named entry. Absent when there is no such entry; Failed
    // when it does not decode, a header cannot be read (error set) or the
    // handler failed.
    static Walk walkEntry(ZipFile &zip, const QString &entry, const Walker &walker, DSError *error);
};
