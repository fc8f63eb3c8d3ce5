#pragma once

#include "import/DSColumnSlots.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <cstdint>
#include <memory>

class DSDataTable;
class DSObjectPool;
class DSPlatformDateFormatter;
namespace TST {
class Tile;
class TileRowInfo;
}

// Turns the rows of a Numbers 2013 table's tiles, in row order, into one new
// table of a pool: the first row read names the columns, every later row is
// one record. A column is made by its first value, its kind (text, number,
// time) by that value's cell type, and columns enter the table in the order
// in which they get their first value.
//
// A row's cells are packed records in its `cell_storage`, found through one
// 16-bit little-endian offset per column slot in `cell_offsets` (0xFFFF for
// an empty slot). Records are decoded in place; one that fails its version,
// marker or length check is an empty cell.
class DSNumbers13TableBuilder
{
public:
    // Shared strings, rich texts or formats of a table, by list key.
    using KeyedStrings = QHash<uint32_t, QString>;

    // One decoded cell record.
    struct Cell
    {
        enum Kind { None, Number, Boolean, Duration, Date, Text };
        Kind kind = None;
        double number = 0;  // number, boolean, duration (seconds), date (seconds since 2001)
        QString text;       // text and rich text
        const QString *format = nullptr;  // of a number or date: its code or pattern
    };

    // The length of a record with these flags: 12, lengthened by the bits
    // that announce optional fields (bits 1, 2, 3, 5, 6 and 7).
    static int recordLength(uint8_t flags);
    // The cell whose record starts at `offset` of `storage`; None when the
    // record is not read (version, marker, length) or its type gives no
    // value, or a key is missing from its table. The tables may be null.
    static Cell cellAt(const QByteArray &storage, qsizetype offset, const KeyedStrings *strings,
                       const KeyedStrings *richTexts, const KeyedStrings *formats);

    // The tables are the caller's and outlive the builder; each may be null.
    DSNumbers13TableBuilder(DSObjectPool &pool, const QString &name, const KeyedStrings *strings,
                            const KeyedStrings *richTexts, const KeyedStrings *formats);
    ~DSNumbers13TableBuilder();

    // Reads the tile's rows after those read before. False when a data row
    // holds a value in a slot past the header's last name (the value would
    // be lost) or memory ran out; the builder is then for dropping
    // (teardown()).
    bool addTile(const TST::Tile &tile);

    // The table, made on the first call, with its record count and its
    // columns saved and numbered 0, 1, 2 ... in the order they were made.
    // Null when a column could not be saved or the pool has no tables.
    DSDataTable *finish();
    // Releases the columns' import buffers after a failure.
    void teardown();

private:
    bool addRow(const TST::TileRowInfo &row);
    bool addValue(qsizetype slot, const Cell &cell);
    bool placeColumn(qsizetype slot, const Cell &cell);
    // A name, or a cell of a text column, written as text.
    QString textOf(const Cell &cell) const;
    DSDataTable *table();

    DSObjectPool &m_pool;
    QString m_name;
    const KeyedStrings *m_strings;
    const KeyedStrings *m_richTexts;
    const KeyedStrings *m_formats;
    std::unique_ptr<DSPlatformDateFormatter> m_dateFormatter;
    QStringList m_names;
    DSColumnSlots m_slots;
    QList<qsizetype> m_columnOrder;  // slots in the order their columns were made
    qint64 m_rowsRead = 0;
    DSDataTable *m_table = nullptr;
};
