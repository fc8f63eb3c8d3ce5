#include "import/numbers13/DSNumbers13TableBuilder.h"

#include "import/ds_imported_time.h"
#include "model/DSDataTable.h"
#include "model/DSNumberFormatter.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSTextDataColumn.h"
#include "model/DSTimeDataColumn.h"
#include "model/ds_time_units.h"
#include "model/util/ds_labels.h"
#include "platform/calendar/DSPlatformDateFormatter.h"
#include "platform/format/DSPlatformNumberFormatter.h"
#include "platform/store/DSObjectPool.h"

#include "DSNumbers13TST.pb.h"

#include <QCborMap>

#include <cmath>
#include <cstring>

namespace {

enum ColumnKind { NumericColumn = 1, TimeColumn, TextColumn };

enum CellType : uint8_t { NumberType = 2, TextType = 3, DateType = 5, BooleanType = 6, DurationType = 7, RichTextType = 9 };

constexpr int64_t k_day = 9;
constexpr uint16_t k_emptySlot = 0xFFFF;

template <class T>
T readLittleEndian(const char *bytes)
{
    // The records are little-endian, as is every machine this runs on.
    T value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

const QString *lookup(const DSNumbers13TableBuilder::KeyedStrings *table, uint32_t key)
{
    if (!table)
        return nullptr;
    const auto found = table->constFind(key);
    return found == table->cend() ? nullptr : &found.value();
}

} // namespace

int DSNumbers13TableBuilder::recordLength(uint8_t flags)
{
    int n = 12;
    if (flags & 0x02)
        n += 4;
    if (flags & 0x04)
        n += 8;
    if (flags & 0x08)
        n += 4;
    if (flags & 0x20)
        n += 8;
    if (flags & 0x40)
        n += 8;
    if (flags & 0x80)
        n += 4;
    return n;
}

DSNumbers13TableBuilder::Cell DSNumbers13TableBuilder::cellAt(const QByteArray &storage, qsizetype offset,
                                                              const KeyedStrings *strings,
                                                              const KeyedStrings *richTexts,
                                                              const KeyedStrings *formats)
{
    Cell cell;
    if (offset < 0 || offset + 12 > storage.size())
        return cell;
    const char *record = storage.constData() + offset;
    if (uint8_t(record[0]) != 3 || uint8_t(record[3]) != 0xFF)
        return cell;
    const int n = recordLength(uint8_t(record[4]));
    if (offset + n > storage.size())
        return cell;
    const double number = readLittleEndian<double>(record + n - 12);
    const uint32_t key = readLittleEndian<uint32_t>(record + n - 4);
    switch (uint8_t(record[2])) {
    case NumberType:
        cell.kind = Cell::Number;
        cell.format = key == 0 ? nullptr : lookup(formats, key);
        break;
    case DateType:
        cell.kind = Cell::Date;
        cell.format = key == 0 ? nullptr : lookup(formats, key);
        // A time beyond the calendar's reach is missing, as every reader
        // keeps it.
        cell.number = std::fabs(number) <= kDSMaxImportedTime ? number : NAN;
        return cell;
    case BooleanType:
        cell.kind = Cell::Boolean;
        break;
    case DurationType:
        cell.kind = Cell::Duration;
        break;
    case TextType:
    case RichTextType:
        if (const QString *text = lookup(uint8_t(record[2]) == TextType ? strings : richTexts, key)) {
            cell.kind = Cell::Text;
            cell.text = *text;
        }
        return cell;
    default:
        return cell;
    }
    cell.number = number;
    return cell;
}

DSNumbers13TableBuilder::DSNumbers13TableBuilder(DSObjectPool &pool, const QString &name,
                                                 const KeyedStrings *strings, const KeyedStrings *richTexts,
                                                 const KeyedStrings *formats)
    : m_pool(pool), m_name(name), m_strings(strings), m_richTexts(richTexts), m_formats(formats),
      m_dateFormatter(std::make_unique<DSPlatformDateFormatter>(QLocale::c()))
{
}

DSNumbers13TableBuilder::~DSNumbers13TableBuilder() = default;

bool DSNumbers13TableBuilder::addTile(const TST::Tile &tile)
{
    for (const TST::TileRowInfo &row : tile.rows())
        if (!addRow(row))
            return false;
    return true;
}

bool DSNumbers13TableBuilder::addRow(const TST::TileRowInfo &row)
{
    const std::string &offsets = row.cell_offsets();
    const qsizetype slots = qsizetype(offsets.size() / 2);
    if (uint64_t(slots) < row.cell_count())
        return true;
    const QByteArray storage = QByteArray::fromRawData(row.cell_storage().data(), qsizetype(row.cell_storage().size()));
    const bool header = m_rowsRead == 0;
    uint32_t visited = 0;
    qsizetype s = 0;
    for (; s < slots && visited < row.cell_count(); ++s) {
        const uint16_t offset = readLittleEndian<uint16_t>(offsets.data() + 2 * s);
        Cell cell;
        if (offset != k_emptySlot) {
            ++visited;
            cell = cellAt(storage, offset, m_strings, m_richTexts, m_formats);
        }
        if (header)
            m_names.append(textOf(cell));
        else if (!addValue(s, cell))
            return false;
    }
    if (header)
        m_slots.reset(m_names);
    else
        for (; s < m_slots.size(); ++s)
            if (!DSColumnSlots::addEmptyCell(*m_slots.slotAt(s)))
                return false;
    ++m_rowsRead;
    return true;
}

bool DSNumbers13TableBuilder::addValue(qsizetype s, const Cell &cell)
{
    DSColumnSlots::Slot *slot = m_slots.slotAt(s);
    if (!slot)
        return cell.kind == Cell::None;
    if (cell.kind == Cell::None)
        return DSColumnSlots::addEmptyCell(*slot);
    if (!slot->column && !placeColumn(s, cell))
        return false;
    switch (slot->kind) {
    case NumericColumn: {
        const bool number = cell.kind != Cell::Text && cell.kind != Cell::Date;
        return static_cast<DSNumericDataColumn *>(slot->column)->appendValue(number ? cell.number : NAN);
    }
    case TextColumn:
        return static_cast<DSTextDataColumn *>(slot->column)->appendTextValue(textOf(cell).toUtf8().constData());
    default: {
        auto *column = static_cast<DSTimeDataColumn *>(slot->column);
        if (cell.kind != Cell::Date)
            return column->appendEmptyValue();
        int64_t unit = cell.format ? ds_format_finest_unit(cell.format->toUtf8().constData(), 2) : -1;
        double interval = 0;
        const double t = ds_time_floor(unit == -1 ? k_day : unit, &interval, cell.number);
        return column->appendTimeValue(t, std::isnan(t) ? 0 : interval);
    }
    }
}

bool DSNumbers13TableBuilder::placeColumn(qsizetype s, const Cell &cell)
{
    DSTable *owner = table();
    if (!owner)
        return false;
    DSColumn *column = nullptr;
    DSDataColumn *data = nullptr;
    int kind = 0;
    if (cell.kind == Cell::Text) {
        auto *text = m_pool.insertNewObject<DSTextDataColumn>(QStringLiteral("DSTextDataColumn"));
        column = text, data = text, kind = TextColumn;
    } else if (cell.kind == Cell::Date) {
        auto *time = m_pool.insertNewObject<DSTimeDataColumn>(QStringLiteral("DSTimeDataColumn"));
        if (time) {
            const int64_t coarsest = cell.format ? ds_format_coarsest_unit(cell.format->toUtf8().constData(), 2) : -1;
            time->setRelative_time_unit(coarsest >= 0 && coarsest <= 8 ? 1 : 0);
        }
        column = time, data = time, kind = TimeColumn;
    } else {
        auto *numeric = m_pool.insertNewObject<DSNumericDataColumn>(QStringLiteral("DSNumericDataColumn"));
        if (numeric) {
            // The formatter exists only once the column's dependencies are
            // made, and its style must be set before the first value.
            numeric->makeDependencies();
            DSNumberFormatter *formatter = numeric->number_formatter();
            if (cell.kind == Cell::Duration) {
                if (formatter)
                    formatter->setNumber_style(DSPlatformNumberFormatter::DurationStyle);
            } else if (cell.kind == Cell::Boolean) {
                numeric->setTreat_as_categories(true);
                numeric->setCategory_labels(QCborMap{{0.0, QStringLiteral("FALSE")}, {1.0, QStringLiteral("TRUE")}});
            } else if (cell.format && formatter) {
                formatter->setExcelFormatString(*cell.format);
            }
        }
        column = numeric, data = numeric, kind = NumericColumn;
    }
    if (!column)
        return false;
    m_columnOrder.append(s);
    return m_slots.place(s, column, data, kind, owner);
}

QString DSNumbers13TableBuilder::textOf(const Cell &cell) const
{
    switch (cell.kind) {
    case Cell::Text:
        return cell.text;
    case Cell::Date:
        return ds_format_time(m_dateFormatter.get(), cell.number);
    case Cell::None:
        return QString();
    default:
        return QString::number(cell.number, 'g', QLocale::FloatingPointShortest);
    }
}

DSDataTable *DSNumbers13TableBuilder::table()
{
    if (!m_table) {
        m_table = m_pool.insertNewObject<DSDataTable>(QStringLiteral("DSDataTable"));
        if (m_table)
            m_table->setName(m_name);
    }
    return m_table;
}

DSDataTable *DSNumbers13TableBuilder::finish()
{
    DSDataTable *owner = table();
    if (!owner)
        return nullptr;
    owner->setNum_records(std::max<qint64>(m_rowsRead - 1, 0));
    if (!m_slots.finish())
        return nullptr;
    qint64 index = 0;
    for (qsizetype s : m_columnOrder)
        m_slots.slotAt(s)->column->setIndex(index++);
    return owner;
}

void DSNumbers13TableBuilder::teardown()
{
    m_slots.teardown();
}
