#include "ui/window/DSStatDocumentOutlineDelegate.h"

#include "model/DSDate.h"
#include "model/DSRange.h"
#include "model/DSStatDocument.h"
#include "platform/calendar/DSPlatformDateFormatter.h"
#include "platform/format/DSPlatformNumberFormatter.h"
#include "ui/panes/ds_italic_font.h"
#include "ui/window/DSDataSourceMimeData.h"
#include "ui/window/DSStatDocumentViewDelegate.h"
#include "ui/window/DSStatDocumentWindow.h"

#include <QFont>
#include <QImage>

#include <algorithm>
#include <cmath>

namespace {

bool isNumber(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return true;
    default:
        return false;
    }
}

} // namespace

DSStatDocumentOutlineDelegate::DSStatDocumentOutlineDelegate(DSStatDocumentViewDelegate *owner) : m_owner(owner) {}

DSStatDocumentOutlineDelegate::~DSStatDocumentOutlineDelegate() = default;

int DSStatDocumentOutlineDelegate::sectionOfIdentifier(const QString &identifier) const
{
    for (int section = 0; section < columnCount(); ++section)
        if (columnIdentifier(section) == identifier)
            return section;
    return -1;
}

DSStyle *DSStatDocumentOutlineDelegate::style() const
{
    return m_owner ? m_owner->style() : nullptr;
}

QVariant DSStatDocumentOutlineDelegate::valueForItem(const QModelIndex &, const QString &) const
{
    return {};
}

QVariant DSStatDocumentOutlineDelegate::placeholderValueForItem(const QModelIndex &, const QString &) const
{
    return {};
}

QColor DSStatDocumentOutlineDelegate::textColorForItem(const QModelIndex &, const QString &, DSStyle *) const
{
    return Qt::black;
}

QColor DSStatDocumentOutlineDelegate::backgroundColorForItem(const QModelIndex &, const QString &, DSStyle *) const
{
    return {};
}

bool DSStatDocumentOutlineDelegate::shouldBoldfaceItem(const QModelIndex &, const QString &) const
{
    return false;
}

bool DSStatDocumentOutlineDelegate::shouldItalicizeItem(const QModelIndex &, const QString &) const
{
    return false;
}

bool DSStatDocumentOutlineDelegate::isItemEnabled(const QModelIndex &, const QString &) const
{
    return true;
}

const DSPlatformNumberFormatter *DSStatDocumentOutlineDelegate::numberFormatterForItem(const QModelIndex &,
                                                                                     const QString &,
                                                                                     DSStyle *) const
{
    DSStatDocumentWindow *document = m_owner ? m_owner->document() : nullptr;
    return document ? document->decimal_formatter() : nullptr;
}

std::shared_ptr<DSPlatformDateFormatter> DSStatDocumentOutlineDelegate::dateFormatterForItem(const QModelIndex &,
                                                                                           const QString &,
                                                                                           DSStyle *) const
{
    return nullptr;
}

bool DSStatDocumentOutlineDelegate::shouldFormatNumber(const QModelIndex &, const QString &) const
{
    return true;
}

int DSStatDocumentOutlineDelegate::minimumSignificantDigits(const QModelIndex &, const QString &) const
{
    return 0;
}

bool DSStatDocumentOutlineDelegate::shouldParenthesizeNumber(double, const QModelIndex &, const QString &) const
{
    return false;
}

bool DSStatDocumentOutlineDelegate::shouldParenthesizeString(const QString &, const QModelIndex &,
                                                             const QString &) const
{
    return false;
}

QString DSStatDocumentOutlineDelegate::textOfNumber(double value, const QModelIndex &item,
                                                    const QString &identifier) const
{
    if (std::isnan(value))
        return QStringLiteral("");
    const DSPlatformNumberFormatter *formatter = numberFormatterForItem(item, identifier, style());
    if (!formatter)
        return QString::number(value);
    const int digits = minimumSignificantDigits(item, identifier);
    return digits > 0 ? formatter->stringFromNumberWithSignificantDigits(value, digits)
                      : formatter->stringFromNumber(value);
}

QString DSStatDocumentOutlineDelegate::formatNumber(double value, const QModelIndex &item, const QString &identifier,
                                                    DSStyle *) const
{
    const QString text = textOfNumber(value, item, identifier);
    if (text.isEmpty() || !shouldParenthesizeNumber(value, item, identifier))
        return text;
    return QStringLiteral("(%1)").arg(text);
}

bool DSStatDocumentOutlineDelegate::shouldWriteItemToPasteboard(const QModelIndex &) const
{
    return false;
}

qint64 DSStatDocumentOutlineDelegate::indexOfItem(const QModelIndex &) const
{
    return -1;
}

QString DSStatDocumentOutlineDelegate::pasteboardItemType() const
{
    return {};
}

QVariant DSStatDocumentOutlineDelegate::objectValue(const QModelIndex &cell) const
{
    const QModelIndex item = itemOfCell(cell);
    const QString identifier = columnIdentifier(cell.column());
    const QVariant value = valueForItem(item, identifier);
    if (isNumber(value)) {
        if (!shouldFormatNumber(item, identifier))
            return value;
        return formatNumber(value.toDouble(), item, identifier, style());
    }
    if (value.canConvert<DSDate>() && value.metaType() == QMetaType::fromType<DSDate>()) {
        const double time = value.value<DSDate>().timeIntervalSinceReferenceDate();
        const auto formatter = dateFormatterForItem(item, identifier, style());
        return formatter ? formatter->stringFromTime(time) : QString::number(time);
    }
    if (value.metaType() == QMetaType::fromType<DSRange>()) {
        const DSRange range = value.value<DSRange>();
        // A pair that cannot be computed is as empty as a lone NaN.
        if (isNumber(range.firstValue()) && std::isnan(range.firstValue().toDouble())
            && std::isnan(range.lastValue().toDouble()))
            return QStringLiteral("");
        if (isNumber(range.firstValue()))
            return QStringLiteral("(%1, %2)")
                .arg(textOfNumber(range.firstValue().toDouble(), item, identifier),
                     textOfNumber(range.lastValue().toDouble(), item, identifier));
        return QStringLiteral("%1 - %2").arg(range.firstValue().toString(), range.lastValue().toString());
    }
    if (!value.isValid())
        return placeholderValueForItem(item, identifier);
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString();
        return shouldParenthesizeString(text, item, identifier) ? QStringLiteral("(%1)").arg(text) : text;
    }
    return value;
}

QVariant DSStatDocumentOutlineDelegate::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    const QModelIndex item = itemOfCell(index);
    const QString identifier = columnIdentifier(index.column());
    switch (role) {
    case Qt::DisplayRole: {
        const QVariant value = objectValue(index);
        return value.typeId() == QMetaType::QImage ? QVariant() : value;
    }
    case Qt::DecorationRole: {
        const QVariant value = valueForItem(item, identifier);
        return value.typeId() == QMetaType::QImage ? value : QVariant();
    }
    case Qt::ForegroundRole:
        return textColorForItem(item, identifier, style());
    case Qt::BackgroundRole: {
        const QColor colour = backgroundColorForItem(item, identifier, style());
        return colour.isValid() ? QVariant(colour) : QVariant();
    }
    case Qt::FontRole: {
        const bool bold = shouldBoldfaceItem(item, identifier);
        const bool italic = shouldItalicizeItem(item, identifier);
        if (!bold && !italic)
            return {};
        return ds_cell_font(m_table ? m_table->font() : QFont(), bold, italic);
    }
    default:
        return {};
    }
}

Qt::ItemFlags DSStatDocumentOutlineDelegate::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    Qt::ItemFlags flags = Qt::ItemIsSelectable;
    if (isItemEnabled(itemOfCell(index), columnIdentifier(index.column())))
        flags |= Qt::ItemIsEnabled;
    if (!pasteboardItemType().isEmpty())
        flags |= Qt::ItemIsDragEnabled;
    return flags;
}

QStringList DSStatDocumentOutlineDelegate::mimeTypes() const
{
    const QString type = pasteboardItemType();
    return type.isEmpty() ? QStringList() : QStringList{type};
}

QModelIndexList DSStatDocumentOutlineDelegate::itemsOfCells(const QModelIndexList &cells) const
{
    QModelIndexList items;
    for (const QModelIndex &cell : cells)
        if (const QModelIndex item = itemOfCell(cell); !items.contains(item))
            items.append(item);
    // The view's order: parents before children, siblings by row.
    auto path = [](QModelIndex index) {
        QList<int> rows;
        for (; index.isValid(); index = index.parent())
            rows.prepend(index.row());
        return rows;
    };
    std::sort(items.begin(), items.end(), [&](const QModelIndex &a, const QModelIndex &b) { return path(a) < path(b); });
    return items;
}

QMimeData *DSStatDocumentOutlineDelegate::mimeData(const QModelIndexList &indexes) const
{
    const QString type = pasteboardItemType();
    const QModelIndexList items = itemsOfCells(indexes);
    if (type.isEmpty() || items.isEmpty())
        return nullptr;
    QStringList parts;
    for (const QModelIndex &item : items) {
        const qint64 index = indexOfItem(item);
        if (!shouldWriteItemToPasteboard(item) || index < 0)
            return nullptr;
        parts.append(QString::number(index));
    }
    auto *data = new DSDataSourceMimeData(this);
    data->setData(type, parts.join(QLatin1Char('-')).toUtf8());
    return data;
}
