#include "ui/panes/DSRecordsTableDelegate.h"

#include "model/DSDurationFormatter.h"
#include "model/DSIndicatorColumn.h"
#include "model/DSNumberFormatter.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSTable.h"
#include "model/DSTextDataColumn.h"
#include "model/DSTextFormatter.h"
#include "model/DSTimeDataColumn.h"
#include "model/util/ds_labels.h"
#include "platform/format/DSPlatformNumberFormatter.h"
#include "ui/panes/DSRecordsViewDelegate.h"
#include "model/ds_parse_typed_value.h"
#include "ui/window/DSStatDocumentWindow.h"

#include <QBrush>
#include <QFont>
#include <QLabel>

#include <cmath>

namespace {

// Sort keys of a block of records, read from the sort column.
void readNumericKeys(void *context, int64_t first, int64_t count, double *keys)
{
    auto *column = static_cast<DSNumericColumn *>(context);
    const double *values = nullptr;
    const int64_t got = column->getValues(&values, first, count);
    for (int64_t k = 0; k < count; ++k)
        keys[k] = k < got ? values[k] : NAN;
}

void readTimeKeys(void *context, int64_t first, int64_t count, double *keys)
{
    auto *column = static_cast<DSTimeColumn *>(context);
    const double *values = nullptr;
    const int64_t got = column->getTimeValues(&values, nullptr, first, count);
    for (int64_t k = 0; k < count; ++k)
        keys[k] = k < got ? values[k] : NAN;
}

void readBinKeys(void *context, int64_t first, int64_t count, double *keys)
{
    auto *column = static_cast<DSColumn *>(context);
    const int32_t *bins = nullptr;
    qint64 binCount = 0;
    const int64_t got = column->getIndexedValues(&bins, &binCount);
    for (int64_t k = 0; k < count; ++k)
        keys[k] = first + k < got ? double(bins[first + k]) : NAN;
}

DSRecordIndex::KeyReader keyReaderFor(DSColumn *column)
{
    if (!column)
        return nullptr;
    if (ds_object_cast<DSTimeColumn>(column))
        return readTimeKeys;
    if (ds_object_cast<DSNumericColumn>(column))
        return readNumericKeys;
    return readBinKeys;
}

bool bitSet(const uint8_t *mask, int64_t length, int64_t record)
{
    return mask && record >> 3 < length && (mask[record >> 3] >> (record & 7) & 1);
}

} // namespace

DSRecordsTableDelegate::DSRecordsTableDelegate(DSRecordsViewDelegate *pane) : m_pane(pane) {}

DSRecordsTableDelegate::~DSRecordsTableDelegate() = default;

QString DSRecordsTableDelegate::identifierForColumn(const DSColumn *column)
{
    return QStringLiteral("column%1").arg(column->index());
}

int64_t DSRecordsTableDelegate::numberOfIdentifier(const QString &identifier)
{
    if (!identifier.startsWith(QLatin1String("column")))
        return -1;
    bool ok = false;
    const int64_t number = QStringView(identifier).mid(6).toLongLong(&ok);
    return ok && number >= 0 ? number : -1;
}

DSTable *DSRecordsTableDelegate::table() const
{
    return m_pane->active_table();
}

bool DSRecordsTableDelegate::editing() const
{
    DSTable *t = table();
    return t && t->edit_data_unlocked();
}

int64_t DSRecordsTableDelegate::rebuildIndexIfNeeded()
{
    DSTable *t = table();
    IndexKey key;
    key.table = t;
    if (t) {
        key.records = t->num_records();
        key.mask = m_pane->getMask();
        key.sortColumn = t->sort_by_column();
        key.sortVersion = key.sortColumn ? key.sortColumn->dataVersion() : 0;
        key.ascending = t->sort_ascending();
    }
    if (key == m_key)
        return m_rows;
    m_key = key;
    if (!t)
        return m_rows = 0;
    auto *sortColumn = const_cast<DSColumn *>(key.sortColumn);
    m_rows = m_index.rebuild(ds_mask_data(key.mask), ds_mask_length(key.mask), key.records, key.ascending, keyReaderFor(sortColumn),
                             sortColumn);
    return m_rows;
}

int64_t DSRecordsTableDelegate::reload()
{
    DSTable *t = table();
    const QList<DSColumn *> columns = t ? t->sortedColumns() : QList<DSColumn *>();
    const int64_t oldRows = m_rows;
    rebuildIndexIfNeeded();
    const bool reset = columns != m_columns || oldRows != m_rows;
    if (reset)
        beginResetModel();
    m_columns = columns;
    m_formatters.clear();
    for (DSColumn *column : m_columns)
        m_formatters.push_back(ds_object_cast<DSNumericColumn>(column) ? column->NSNumberFormatter() : nullptr);
    if (reset)
        endResetModel();
    else if (m_rows > 0 && !m_columns.isEmpty())
        Q_EMIT dataChanged(index(0, 0), index(int(m_rows) - 1, int(m_columns.size())),
                           {Qt::DisplayRole, Qt::ForegroundRole, Qt::FontRole});
    updateCountLabel();
    return m_rows;
}

void DSRecordsTableDelegate::updateCountLabel()
{
    if (!m_countLabel)
        return;
    auto *document = m_pane->document();
    // The document's decimal format, with thousands grouped as counts are.
    std::unique_ptr<DSPlatformNumberFormatter> formatter;
    if (document && document->decimal_formatter()) {
        formatter = std::make_unique<DSPlatformNumberFormatter>(*document->decimal_formatter());
        formatter->setUsesGroupingSeparator(true);
    }
    auto number = [&formatter](int64_t n) {
        return formatter ? ds_format_number(formatter.get(), double(n)) : QString::number(n);
    };
    QString text = m_rows == 1 ? QStringLiteral("1 record") : QStringLiteral("%1 records").arg(number(m_rows));
    const qint64 selected = m_pane->numberOfSelectedRecords();
    if (selected > 1)
        text = QStringLiteral("%1 (%2)").arg(text, QStringLiteral("%1 selected").arg(number(selected)));
    m_countLabel->setText(text);
}

DSColumn *DSRecordsTableDelegate::columnAtGridColumn(int gridColumn) const
{
    return gridColumn >= 1 && gridColumn <= m_columns.size() ? m_columns[gridColumn - 1] : nullptr;
}

int DSRecordsTableDelegate::gridColumnOfColumn(const DSColumn *column) const
{
    const qsizetype i = m_columns.indexOf(const_cast<DSColumn *>(column));
    return i < 0 ? -1 : int(i) + 1;
}

QString DSRecordsTableDelegate::objectValueForColumnIdentifier(const QString &identifier, int64_t row) const
{
    const int64_t record = m_index.recordAtRow(row);
    if (record < 0)
        return QString();
    if (identifier == QLatin1String("index"))
        return QStringLiteral("%1.").arg(record + 1);
    const int64_t number = numberOfIdentifier(identifier);
    if (number < 0 || number >= m_columns.size())
        return QString();
    DSColumn *column = m_columns[number];
    QString text = cellText(column, record);
    if (!text.isNull() && !editing())
        if (auto *formatter = dynamic_cast<DSTextFormatter *>(column->text_formatter()))
            text = formatter->formatString(text);
    return text;
}

QString DSRecordsTableDelegate::cellText(DSColumn *column, int64_t record) const
{
    if (ds_object_cast<DSTimeColumn>(column))
        return timeText(column, record);
    if (ds_object_cast<DSNumericColumn>(column))
        return numericText(column, record);
    if (ds_object_cast<DSTextColumn>(column))
        return textText(column, record);
    if (ds_object_cast<DSIndicatorColumn>(column))
        return indicatorText(column, record);
    return QString();
}

QString DSRecordsTableDelegate::numericText(DSColumn *column, int64_t record) const
{
    auto *numeric = static_cast<DSNumericColumn *>(column);
    const double *value = nullptr;
    if (numeric->getValues(&value, record, 1) < 1)
        return QString();
    DSTable *t = table();
    if (column->treat_as_categories() && t && t->show_category_labels() && !editing())
        if (QString label = DSNumericColumn::labelOf(column->category_labels(), *value); !label.isNull())
            return label;
    if (std::isnan(*value))
        return QStringLiteral("");
    const auto &formatter = m_formatters[size_t(m_columns.indexOf(column))];
    return formatter ? ds_format_number(formatter.get(), *value) : QString::number(*value);
}

QString DSRecordsTableDelegate::timeText(DSColumn *column, int64_t record) const
{
    auto *time = static_cast<DSTimeColumn *>(column);
    const uint8_t *missing = nullptr;
    const qint64 length = time->getMissingMask(&missing, record, 1);
    const double *value = nullptr, *interval = nullptr;
    if (bitSet(missing, length, record) || time->getTimeValues(&value, &interval, record, 1) < 1 || std::isnan(*value))
        return QStringLiteral("");
    return ds_format_time(time->formatterForInterval(interval ? *interval : 86400).get(), *value);
}

QString DSRecordsTableDelegate::textText(DSColumn *column, int64_t record) const
{
    auto *text = static_cast<DSTextColumn *>(column);
    const char *const *value = nullptr;
    if (text->getTextValues(&value, record, 1) < 1 || !value[0])
        return QString();
    const QString string = QString::fromUtf8(value[0]);
    DSTable *t = table();
    if (column->treat_as_categories() && t && t->show_category_labels() && !editing())
        if (QString label = DSTextColumn::labelOf(column->category_labels(), string); !label.isNull())
            return label;
    return string;
}

QString DSRecordsTableDelegate::indicatorText(DSColumn *column, int64_t record) const
{
    const uint8_t *values = nullptr, *missing = nullptr;
    const qint64 length = static_cast<DSIndicatorColumn *>(column)->getBytes(&values, &missing);
    if (!values || record >> 3 >= length)
        return QStringLiteral("0");
    if (bitSet(missing, length, record))
        return QStringLiteral("");
    return bitSet(values, length, record) ? QStringLiteral("1") : QStringLiteral("0");
}

int DSRecordsTableDelegate::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows);
}

int DSRecordsTableDelegate::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size()) + 1;
}

QVariant DSRecordsTableDelegate::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return QVariant();
    DSColumn *column = columnAtGridColumn(index.column());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: {
        const QString identifier = column ? identifierForColumn(column) : QStringLiteral("index");
        const QString text = objectValueForColumnIdentifier(identifier, index.row());
        return text.isNull() ? QStringLiteral("-") : text;
    }
    case Qt::ForegroundRole: {
        // Grey: columns that cannot be typed into while editing, missing
        // values while browsing.
        bool grey = false;
        if (column && editing()) {
            grey = !column->isEditable();
        } else if (column) {
            const uint8_t *missing = nullptr;
            const int64_t record = m_index.recordAtRow(index.row());
            const qint64 length = column->getMissingMask(&missing, record, 1);
            grey = bitSet(missing, length, record);
        }
        return grey ? QBrush(Qt::gray) : QVariant();
    }
    case Qt::FontRole: {
        DSTable *t = table();
        if (column && t && t->apply_frequency_weights() && t->frequency_weights_column() == column) {
            QFont font;
            font.setBold(true);
            return font;
        }
        return QVariant();
    }
    case Qt::TextAlignmentRole:
        return index.column() == 0 ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
    default:
        return QVariant();
    }
}

Qt::ItemFlags DSRecordsTableDelegate::flags(const QModelIndex &index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    DSColumn *column = columnAtGridColumn(index.column());
    if (column && column->isEditable() && editing())
        flags |= Qt::ItemIsEditable;
    return flags;
}

QVariant DSRecordsTableDelegate::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return QVariant();
    DSColumn *column = columnAtGridColumn(section);
    if (role == Qt::UserRole)
        return column ? identifierForColumn(column) : QStringLiteral("index");
    if (role == Qt::DisplayRole)
        return column ? column->name() : QStringLiteral("");
    return QVariant();
}

bool DSRecordsTableDelegate::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !index.isValid())
        return false;
    return storeText(index.column(), index.row(), value.toString());
}

bool DSRecordsTableDelegate::storeText(int gridColumn, int64_t row, const QString &text)
{
    DSColumn *column = columnAtGridColumn(gridColumn);
    const int64_t record = m_index.recordAtRow(row);
    if (!column || record < 0)
        return false;
    bool stored = false;
    if (auto *texts = ds_object_cast<DSTextDataColumn>(column)) {
        stored = texts->replaceTextValueAtIndex(record, text.toUtf8().constData());
    } else if (auto *times = ds_object_cast<DSTimeDataColumn>(column)) {
        const ds_typed_time_s typed = ds_parse_typed_time(times, text);
        stored = times->replaceTimeValueAtIndex(record, typed.value, typed.interval);
    } else if (auto *numbers = ds_object_cast<DSNumericDataColumn>(column)) {
        const auto formatter = numbers->number_formatter() ? numbers->number_formatter()->NSNumberFormatter()
                                                           : numbers->NSNumberFormatter();
        stored = numbers->replaceNumericValueAtIndex(record, ds_parse_typed_number(formatter.get(), text));
    }
    if (stored) {
        const QModelIndex cell = index(int(row), gridColumn);
        Q_EMIT dataChanged(cell, cell);
    }
    return stored;
}

void DSRecordsTableDelegate::sort(int gridColumn, Qt::SortOrder order)
{
    DSTable *t = table();
    if (m_isRebuilding || !t)
        return;
    const DSIndexSet selected = m_pane->selectedRecords();
    DSColumn *column = columnAtGridColumn(gridColumn);
    t->setSort_by_column(column ? t->columnAtIndex(column->index()) : nullptr);
    t->setSort_ascending(order == Qt::AscendingOrder);
    m_pane->refreshView(nullptr);
    m_pane->selectRecords(selected);
}
