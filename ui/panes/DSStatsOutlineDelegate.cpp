#include "ui/panes/DSStatsOutlineDelegate.h"

#include "charts/DSMiniChartBuilder.h"
#include "charts/DSStyle.h"
#include "derived/DSComputeDifferenceColumn.h"
#include "derived/DSComputeDivisionColumn.h"
#include "derived/DSIndicatorLocalColumn.h"
#include "derived/DSNumericRecodeColumn.h"
#include "model/DSColumn.h"
#include "model/DSColumnCondition.h"
#include "model/DSColumnSelection.h"
#include "model/DSColumnSummary.h"
#include "model/DSDataTable.h"
#include "model/DSDate.h"
#include "model/DSDurationFormatter.h"
#include "model/DSIndicatorColumn.h"
#include "model/DSJoinColumnCondition.h"
#include "model/DSNumericColumn.h"
#include "model/DSNumericColumnCategory.h"
#include "model/DSRange.h"
#include "model/DSTable.h"
#include "model/DSTextColumnCategory.h"
#include "model/DSTextFormatter.h"
#include "model/DSTimeColumn.h"
#include "model/DSTimeColumnCategory.h"
#include "platform/calendar/DSPlatformDateFormatter.h"
#include "platform/format/DSPlatformNumberFormatter.h"
#include "platform/sterna/sterna.h"
#include "platform/store/DSManagedObjectContext.h"
#include "ui/menus/ds_summary_table_columns.h"
#include "ui/panes/DSRecordsViewDelegate.h"
#include "ui/panes/ImageAndTextCell.h"
#include "ui/panes/DSSummaryViewDelegate.h"
#include "ui/window/DSDataSourceMimeData.h"
#include "ui/window/DSDocumentWindowHost.h"
#include "ui/window/DSStatDocumentWindow.h"

#include <QImage>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPointer>
#include <QSet>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

bool isOneOf(const QString &identifier, std::initializer_list<const char *> names)
{
    return std::any_of(names.begin(), names.end(), [&](const char *name) { return identifier == QLatin1String(name); });
}

const auto k_extremes = {"count", "min", "max", "range"};
const auto k_moments = {"mean", "stddev", "stderr", "confidence-interval"};
const auto k_quantiles = {"median", "lower-quartile", "upper-quartile", "iqr", "mad"};
const auto k_timeStatistics = {"count", "min", "max", "lower-quartile", "median", "upper-quartile"};

// The statistics outline's colour for the placeholder and the missing
// category.
const QColor k_grey = Qt::gray;

QVariant number(double value)
{
    return QVariant(value);
}

QVariant date(double seconds)
{
    return std::isnan(seconds) ? QVariant() : QVariant::fromValue(DSDate::dateWithTimeIntervalSinceReferenceDate(seconds, 0));
}

// The value a category stands for, as a cell shows it in a pair: a number
// for a numeric category, the text (through the column's text formatter)
// for the others.
QVariant valueOfCategory(const DSColumnCategory *category)
{
    if (!category)
        return {};
    if (const auto *numeric = dynamic_cast<const DSNumericColumnCategory *>(category))
        return numeric->value();
    return category->formattedValue();
}

// The key of the category's value in the column's labels and orders; null
// for a category without one.
QCborValue keyOfCategory(const DSColumnCategory *category)
{
    if (const auto *numeric = dynamic_cast<const DSNumericColumnCategory *>(category))
        return QCborValue(numeric->value());
    if (const auto *text = dynamic_cast<const DSTextColumnCategory *>(category))
        return QCborValue(text->value());
    if (const auto *time = dynamic_cast<const DSTimeColumnCategory *>(category))
        return QCborValue(time->value());
    return {};
}

DSRange multinomialInterval(qint64 count, qint64 total, double confidence)
{
    double bounds[2];
    ds_multinomial_confidence_interval(count, total, 1 - confidence, bounds);
    return DSRange(bounds[0], bounds[1]);
}

} // namespace

DSStatsOutlineDelegate::DSStatsOutlineDelegate(DSSummaryViewDelegate *owner)
    : DSStatDocumentOutlineDelegate(owner), m_owner(owner),
      m_charts(std::make_unique<DSMiniChartBuilder>([this] {
          refreshStaleMasks();
          return DSMiniChartInputs{active_table(), m_includeMask, m_zoomMask, m_owner->previewStyle()};
      }))
{
}

DSStatsOutlineDelegate::~DSStatsOutlineDelegate() = default;

DSTable *DSStatsOutlineDelegate::active_table() const
{
    return m_owner->active_table();
}

QLabel *DSStatsOutlineDelegate::number_of_columns_label() const
{
    return m_owner->control<QLabel>("number_of_columns_label");
}

void DSStatsOutlineDelegate::attachOutline(QTreeView *outline)
{
    setTable(outline);
    outline->setModel(this);
    outline->setItemDelegateForColumn(sectionOfIdentifier(QStringLiteral("preview")), new ImageAndTextCell(outline));
    QObject::connect(outline->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                     [this] { selectionDidChange(); });
    QObject::connect(outline, &QTreeView::collapsed, this, [this](const QModelIndex &item) { itemWillCollapse(item); });
}

void DSStatsOutlineDelegate::reloadData()
{
    QList<DSColumn *> open;
    if (QTreeView *outline = table())
        for (int row = 0; row < rowCount(); ++row)
            if (outline->isExpanded(index(row, 0)))
                open.append(columnOfItem(index(row, 0)));
    beginResetModel();
    m_formatters.clear();
    const qint64 count = m_owner->refreshFilteredColumns();
    m_listedColumns.clear();
    for (qint64 row = 0; row < m_owner->numberOfFilteredColumns(); ++row)
        m_listedColumns.append(m_owner->columnAtFilteredIndex(row));
    refreshMasks();
    endResetModel();
    showColumnsOfMask();
    if (QTreeView *outline = table())
        for (DSColumn *column : open)
            if (const QModelIndex item = itemOfColumn(column); item.isValid() && isColumnExpandable(column))
                outline->expand(item);
    if (QLabel *label = number_of_columns_label()) {
        const DSStatDocumentWindow *document = m_owner->document();
        const DSPlatformNumberFormatter *decimal = document ? document->decimal_formatter() : nullptr;
        const QString text = decimal ? decimal->stringFromNumber(double(count)) : QString::number(count);
        label->setText(count == 1 ? QStringLiteral("1 column") : QStringLiteral("%1 columns").arg(text));
    }
}

void DSStatsOutlineDelegate::showColumnsOfMask()
{
    QTreeView *outline = table();
    DSTable *owner = active_table();
    if (!outline || !owner)
        return;
    qint64 mask = owner->integerForKey(QStringLiteral("summary_table_column_mask"));
    if (mask == 0)
        mask = 7;
    int section = 0;
    for (const ds_table_column_info_s &info : ds_summary_table_columns())
        outline->setColumnHidden(section++, (mask & info.mask) == 0);
}

void DSStatsOutlineDelegate::refreshMasks()
{
    m_includeMask = m_zoomMask = nullptr;
    DSStatDocumentWindow *document = m_owner->document();
    if (!document || !active_table())
        return;
    m_includeMask = document->getMask();
    m_zoomMask = document->getZoomMask();
}

void DSStatsOutlineDelegate::refreshStaleMasks() const
{
    // The mask held stays readable however the table rebuilds its own, but
    // a row added by the records grid (its Tab past the last record) or a
    // rebuild after a refresh makes the table's mask another snapshot: the
    // outline reads the current one.
    DSStatDocumentWindow *document = m_owner->document();
    if (document && active_table() && document->getMask() != m_includeMask)
        const_cast<DSStatsOutlineDelegate *>(this)->refreshMasks();
}

const uint8_t *DSStatsOutlineDelegate::temp_include_mask() const
{
    refreshStaleMasks();
    return ds_mask_data(m_includeMask);
}

qint64 DSStatsOutlineDelegate::temp_include_mask_len() const
{
    refreshStaleMasks();
    return ds_mask_length(m_includeMask);
}

const uint8_t *DSStatsOutlineDelegate::temp_zoom_mask() const
{
    refreshStaleMasks();
    return ds_mask_data(m_zoomMask);
}

qint64 DSStatsOutlineDelegate::temp_zoom_mask_len() const
{
    refreshStaleMasks();
    return ds_mask_length(m_zoomMask);
}

int DSStatsOutlineDelegate::rowOfColumn(const DSColumn *column) const
{
    if (!column)
        return -1;
    const qint64 position = m_owner->filteredIndexOfColumnIndex(column->index());
    return position < m_listedColumns.size() && m_listedColumns[position] == column ? int(position) : -1;
}

QModelIndex DSStatsOutlineDelegate::itemOfColumn(const DSColumn *column) const
{
    const int row = rowOfColumn(column);
    return row < 0 ? QModelIndex() : index(row, 0);
}

QModelIndex DSStatsOutlineDelegate::itemOfCategory(const DSColumn *column, qint64 nonemptyIndex) const
{
    const QModelIndex parent = itemOfColumn(column);
    return parent.isValid() ? index(int(nonemptyIndex), 0, parent) : QModelIndex();
}

bool DSStatsOutlineDelegate::isColumnExpandable(const DSColumn *column)
{
    if (dynamic_cast<const DSIndicatorColumn *>(column))
        return true;
    if (!column || dynamic_cast<const DSTimeColumn *>(column))
        return false;
    return column->treat_as_categories();
}

DSColumn *DSStatsOutlineDelegate::columnOfItem(const QModelIndex &item) const
{
    if (!item.isValid())
        return nullptr;
    const qint64 row = item.internalId() == 0 ? item.row() : qint64(item.internalId()) - 1;
    DSColumn *column = m_owner->columnAtFilteredIndex(row);
    return row < m_listedColumns.size() && m_listedColumns[row] == column ? column : nullptr;
}

std::shared_ptr<DSColumnCategory> DSStatsOutlineDelegate::categoryOfItem(const QModelIndex &item) const
{
    if (!item.isValid() || item.internalId() == 0)
        return nullptr;
    DSColumn *column = columnOfItem(item);
    const auto summary = column ? summaryOfColumn(column) : nullptr;
    return summary ? summary->categoryAtNonEmptyIndex(item.row()) : nullptr;
}

std::shared_ptr<DSColumnSummary> DSStatsOutlineDelegate::summaryOfColumn(DSColumn *column) const
{
    if (!column->temp_summary()) {
        refreshStaleMasks();
        const DSTable *owner = column->table();
        const double significance = owner ? 1 - owner->confidence_level() : NAN;
        column->setTemp_summary(column->summaryForMask(ds_mask_data(m_includeMask), ds_mask_length(m_includeMask), significance));
    }
    return column->temp_summary();
}

QModelIndex DSStatsOutlineDelegate::index(int row, int column, const QModelIndex &parent) const
{
    if (row < 0 || column < 0 || column >= columnCount())
        return {};
    if (!parent.isValid())
        return row < rowCount() ? createIndex(row, column, quintptr(0)) : QModelIndex();
    if (parent.internalId() != 0 || row >= rowCount(parent.siblingAtColumn(0)))
        return {};
    return createIndex(row, column, quintptr(parent.row()) + 1);
}

QModelIndex DSStatsOutlineDelegate::parent(const QModelIndex &child) const
{
    if (!child.isValid() || child.internalId() == 0)
        return {};
    return createIndex(int(child.internalId() - 1), 0, quintptr(0));
}

int DSStatsOutlineDelegate::rowCount(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return int(m_owner->numberOfFilteredColumns());
    if (parent.internalId() != 0 || parent.column() != 0)
        return 0;
    DSColumn *column = columnOfItem(parent);
    if (!isColumnExpandable(column))
        return 0;
    return int(summaryOfColumn(column)->numberOfNonEmptyCategories());
}

int DSStatsOutlineDelegate::columnCount(const QModelIndex &) const
{
    return int(ds_summary_table_columns().size());
}

bool DSStatsOutlineDelegate::hasChildren(const QModelIndex &parent) const
{
    // Answered without making a summary: painting the open indicators of
    // many rows must not count each column's categories.
    if (!parent.isValid())
        return rowCount() > 0;
    return parent.internalId() == 0 && parent.column() == 0 && isColumnExpandable(columnOfItem(parent));
}

QString DSStatsOutlineDelegate::columnIdentifier(int section) const
{
    const auto columns = ds_summary_table_columns();
    return section >= 0 && size_t(section) < columns.size() ? QString::fromLatin1(columns[size_t(section)].identifier)
                                                            : QString();
}

QVariant DSStatsOutlineDelegate::headerData(int section, Qt::Orientation orientation, int role) const
{
    const auto columns = ds_summary_table_columns();
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 || size_t(section) >= columns.size())
        return {};
    return QString::fromUtf8(columns[size_t(section)].title);
}

void DSStatsOutlineDelegate::reloadPreview(DSColumn *column)
{
    if (const QModelIndex item = itemOfColumn(column); item.isValid()) {
        const QModelIndex cell = item.siblingAtColumn(sectionOfIdentifier(QStringLiteral("preview")));
        Q_EMIT dataChanged(cell, cell);
    }
}

void DSStatsOutlineDelegate::refreshSummaryForColumn(DSColumn *column, const QString &identifier)
{
    refreshStaleMasks();
    // Held for as long as the statistics read it.
    const DSRowMaskRef snapshot = m_includeMask;
    const uint8_t *mask = ds_mask_data(snapshot);
    const qint64 length = ds_mask_length(snapshot);
    if (auto *indicator = dynamic_cast<DSIndicatorColumn *>(column)) {
        if (column->temp_stats_minmax().count < 0) {
            const ds_stats_s all = indicator->calculateStatsWithMask(mask, length);
            column->setTemp_stats_minmax(all);
            if (column->temp_stats_moments().count < 0)
                column->setTemp_stats_moments(all);
            if (column->temp_stats_quantiles().count < 0)
                column->setTemp_stats_quantiles(all);
        }
    } else if (auto *numeric = dynamic_cast<DSNumericColumn *>(column)) {
        if (isOneOf(identifier, k_extremes) && column->temp_stats_minmax().count < 0)
            column->setTemp_stats_minmax(numeric->calculateStatsWithMask(mask, length, ds_stats_extremes));
        if (!column->treat_as_categories() && isOneOf(identifier, k_moments) && column->temp_stats_moments().count < 0)
            column->setTemp_stats_moments(numeric->calculateStatsWithMask(mask, length, ds_stats_moments));
        if (isOneOf(identifier, k_quantiles) && column->temp_stats_quantiles().count < 0)
            column->setTemp_stats_quantiles(numeric->calculateStatsWithMask(mask, length, ds_stats_quartiles));
    } else if (auto *time = dynamic_cast<DSTimeColumn *>(column)) {
        if (isOneOf(identifier, k_timeStatistics) && time->temp_time_stats().count < 0)
            time->setTemp_time_stats(time->calculateStatsForMask(mask, length, ds_time_stats_all));
    }
    if (dynamic_cast<DSIndicatorColumn *>(column) || column->treat_as_categories())
        summaryOfColumn(column);
}

QVariant DSStatsOutlineDelegate::valueForNumericOrIndicatorColumn(DSColumn *column, const QString &identifier)
{
    const ds_stats_s extremes = column->temp_stats_minmax();
    const ds_stats_s moments = column->temp_stats_moments();
    const ds_stats_s quantiles = column->temp_stats_quantiles();
    const double confidence = column->table() ? column->table()->confidence_level() : 0.95;
    const double standardError = ds_standard_deviation(moments.count, moments.var_unbiased);
    if (identifier == QLatin1String("count"))
        return qlonglong(extremes.count);
    if (identifier == QLatin1String("min"))
        return number(extremes.min);
    if (identifier == QLatin1String("max"))
        return number(extremes.max);
    if (identifier == QLatin1String("lower-quartile"))
        return number(quantiles.q1);
    if (identifier == QLatin1String("median"))
        return number(quantiles.med);
    if (identifier == QLatin1String("upper-quartile"))
        return number(quantiles.q3);
    if (identifier == QLatin1String("mean"))
        return number(moments.avg);
    if (identifier == QLatin1String("stddev"))
        return number(std::sqrt(moments.var_unbiased));
    if (identifier == QLatin1String("stderr"))
        return number(standardError);
    if (identifier == QLatin1String("confidence-interval")) {
        if (dynamic_cast<DSIndicatorColumn *>(column)) {
            const auto &summary = column->temp_summary();
            const auto category = summary ? summary->categoryAtIndex(1) : nullptr;
            if (!category)
                return {};
            return QVariant::fromValue(multinomialInterval(category->count(), summary->nonmissing_count(), confidence));
        }
        double bounds[2];
        ds_confidence_interval_t(moments.avg, standardError, confidence, NAN, moments.count - 1, bounds);
        return QVariant::fromValue(DSRange(bounds[0], bounds[1]));
    }
    if (identifier == QLatin1String("range"))
        return number(extremes.max - extremes.min);
    if (identifier == QLatin1String("iqr"))
        return number(quantiles.q3 - quantiles.q1);
    if (identifier == QLatin1String("mad"))
        return number(quantiles.mad);
    return {};
}

QVariant DSStatsOutlineDelegate::valueForTimeColumn(DSColumn *column, const QString &identifier)
{
    const auto *time = dynamic_cast<DSTimeColumn *>(column);
    if (!time)
        return {};
    const ds_time_stats_s &stats = time->temp_time_stats();
    // The time record counts the missing rows too; the cell counts rows with
    // a value, as it does for every other kind.
    if (identifier == QLatin1String("count"))
        return qlonglong(stats.count - stats.missing_count);
    if (identifier == QLatin1String("min"))
        return date(stats.min_start);
    if (identifier == QLatin1String("max"))
        return date(stats.max_start);
    if (identifier == QLatin1String("lower-quartile"))
        return date(stats.q1_start);
    if (identifier == QLatin1String("median"))
        return date(stats.med_start);
    if (identifier == QLatin1String("upper-quartile"))
        return date(stats.q3_start);
    return {};
}

QVariant DSStatsOutlineDelegate::valueForCategoryColumn(DSColumn *column, const QString &identifier)
{
    const auto &summary = column->temp_summary();
    if (!summary)
        return {};
    if (identifier == QLatin1String("count"))
        return qlonglong(summary->nonmissing_count());
    if (identifier == QLatin1String("min"))
        return valueOfCategory(summary->first_category().get());
    if (identifier == QLatin1String("max"))
        return valueOfCategory(summary->last_category().get());
    if (identifier == QLatin1String("lower-quartile"))
        return valueOfCategory(summary->q1_category().get());
    if (identifier == QLatin1String("median"))
        return valueOfCategory(summary->median_category().get());
    if (identifier == QLatin1String("upper-quartile"))
        return valueOfCategory(summary->q3_category().get());
    return {};
}

QString DSStatsOutlineDelegate::checkIfCategory(const DSColumnCategory *first, const DSColumnCategory *second)
{
    return first && second && first->index() == second->index() ? QStringLiteral("✓") : QStringLiteral("");
}

QVariant DSStatsOutlineDelegate::valueForCategory(const std::shared_ptr<DSColumnCategory> &category,
                                                 const QString &identifier)
{
    DSColumn *column = category->column();
    const auto summary = column ? summaryOfColumn(column) : nullptr;
    const double confidence = column && column->table() ? column->table()->confidence_level() : 0.95;
    if (identifier == QLatin1String("name")) {
        if (const auto *text = dynamic_cast<const DSTextColumnCategory *>(category.get())) {
            auto *formatter = column ? dynamic_cast<DSTextFormatter *>(column->text_formatter()) : nullptr;
            const QString value = text->valueWithoutNewlines();
            return formatter ? formatter->formatString(value) : value;
        }
        if (const auto *numeric = dynamic_cast<const DSNumericColumnCategory *>(category.get())) {
            if (std::isnan(numeric->value()))
                return QStringLiteral("Missing");
            const DSPlatformNumberFormatter *formatter = columnFormatter(column, {}, nullptr);
            return formatter ? formatter->stringFromNumber(numeric->value()) : QString::number(numeric->value());
        }
        return category->formattedValue();
    }
    if (identifier == QLatin1String("title"))
        return category->label().isNull() ? QStringLiteral("") : category->label();
    if (identifier == QLatin1String("preview")) {
        if (category->is_missing() || !summary)
            return {};
        if (!category->temp_image())
            category->setTemp_image(m_charts->imageForSummary(summary.get(), category.get(), m_owner->previewStyle()));
        return category->temp_image() ? QVariant(*category->temp_image()) : QVariant();
    }
    if (identifier == QLatin1String("mean"))
        return number(category->is_missing() ? category->proportion() : category->proportion_of_nonmissing());
    if (identifier == QLatin1String("count"))
        return qlonglong(category->count());
    if (!summary)
        return {};
    if (identifier == QLatin1String("min"))
        return checkIfCategory(summary->first_category().get(), category.get());
    if (identifier == QLatin1String("lower-quartile"))
        return checkIfCategory(summary->q1_category().get(), category.get());
    if (identifier == QLatin1String("median"))
        return checkIfCategory(summary->median_category().get(), category.get());
    if (identifier == QLatin1String("upper-quartile"))
        return checkIfCategory(summary->q3_category().get(), category.get());
    if (identifier == QLatin1String("max"))
        return checkIfCategory(summary->last_category().get(), category.get());
    if (identifier == QLatin1String("confidence-interval") && !category->is_missing())
        return QVariant::fromValue(multinomialInterval(category->count(), summary->nonmissing_count(), confidence));
    return {};
}

QVariant DSStatsOutlineDelegate::valueForItem(const QModelIndex &item, const QString &identifier) const
{
    auto *self = const_cast<DSStatsOutlineDelegate *>(this);
    if (const auto category = categoryOfItem(item))
        return self->valueForCategory(category, identifier);
    DSColumn *column = columnOfItem(item);
    if (!column)
        return {};
    if (identifier == QLatin1String("name"))
        return column->name();
    if (identifier == QLatin1String("title"))
        return column->title();
    if (identifier == QLatin1String("preview")) {
        self->m_charts->refreshImageForColumn(column, table(), [self, column] { self->reloadPreview(column); });
        const auto &image = column->temp_image() ? column->temp_image() : column->last_image();
        return image ? QVariant(*image) : QVariant();
    }
    const bool numeric = dynamic_cast<DSNumericColumn *>(column) || dynamic_cast<DSIndicatorColumn *>(column);
    const bool time = dynamic_cast<DSTimeColumn *>(column);
    if (!numeric && !time && !column->treat_as_categories())
        return {};
    self->refreshSummaryForColumn(column, identifier);
    if (column->treat_as_categories() && !dynamic_cast<DSIndicatorColumn *>(column)) {
        const auto &summary = column->temp_summary();
        if (summary && identifier == QLatin1String("range") && summary->first_category() && summary->last_category())
            return QVariant::fromValue(DSRange(valueOfCategory(summary->first_category().get()),
                                               valueOfCategory(summary->last_category().get())));
        if (summary && identifier == QLatin1String("iqr") && summary->q1_category() && summary->q3_category())
            return QVariant::fromValue(DSRange(valueOfCategory(summary->q1_category().get()),
                                               valueOfCategory(summary->q3_category().get())));
    }
    if (numeric) {
        if (column->treat_as_categories() && !dynamic_cast<DSIndicatorColumn *>(column)
            && !isOneOf(identifier, {"count", "min", "max", "lower-quartile", "median", "upper-quartile"}))
            return {};
        return valueForNumericOrIndicatorColumn(column, identifier);
    }
    if (time)
        return valueForTimeColumn(column, identifier);
    return valueForCategoryColumn(column, identifier);
}

QVariant DSStatsOutlineDelegate::placeholderValueForItem(const QModelIndex &, const QString &identifier) const
{
    return identifier == QLatin1String("preview") ? QVariant() : QVariant(QStringLiteral("-"));
}

QColor DSStatsOutlineDelegate::textColorForItem(const QModelIndex &item, const QString &identifier,
                                                DSStyle *style) const
{
    if (const auto category = categoryOfItem(item); category && category->is_missing())
        return k_grey;
    if (identifier != QLatin1String("preview") && !valueForItem(item, identifier).isValid())
        return k_grey;
    return DSStatDocumentOutlineDelegate::textColorForItem(item, identifier, style);
}

QColor DSStatsOutlineDelegate::backgroundColorForItem(const QModelIndex &item, const QString &identifier,
                                                      DSStyle *style) const
{
    DSTable *owner = active_table();
    DSColumn *active = owner ? owner->active_column() : nullptr;
    if (identifier != QLatin1String("name") || !active || !style)
        return {};
    if (const auto category = categoryOfItem(item))
        return recodedCategoryTint(active, category.get());
    const QString key = highlightKeyForColumn(active, columnOfItem(item), table() && table()->isExpanded(item));
    return key.isEmpty() ? QColor() : style->NSColorForKey(key);
}

QString DSStatsOutlineDelegate::highlightKeyForColumn(DSColumn *active, const DSColumn *column, bool expanded) const
{
    if (!column)
        return {};
    if (auto *recode = dynamic_cast<DSNumericRecodeColumn *>(active)) {
        if (recode->input() != column || (active_table()->active_column_category() && expanded))
            return {};
        return QStringLiteral("ColumnRecodeHighlightColor");
    }
    if (auto *indicator = dynamic_cast<DSIndicatorLocalColumn *>(active)) {
        for (DSColumnCondition *condition : indicator->sortedConditions())
            if (condition->lhs_column() == column)
                return QStringLiteral("ColumnJoinConditionHighlightColor");
        return {};
    }
    if (auto *division = dynamic_cast<DSComputeDivisionColumn *>(active)) {
        if (division->divisor() == column)
            return QStringLiteral("ColumnDivisorHighlightColor");
        return division->dividend() == column ? QStringLiteral("ColumnDividendHighlightColor") : QString();
    }
    if (auto *difference = dynamic_cast<DSComputeDifferenceColumn *>(active)) {
        if (difference->minuend() == column)
            return QStringLiteral("ColumnMinuendHighlightColor");
        return difference->subtrahend() == column ? QStringLiteral("ColumnSubtrahendHighlightColor") : QString();
    }
    // A joined column: the local columns of its keys.
    if (const auto conditions = active->sortedJoinConditions(); !conditions.isEmpty()) {
        for (DSJoinColumnCondition *condition : conditions)
            if (condition->local_column() == column)
                return QStringLiteral("ColumnJoinConditionHighlightColor");
        return {};
    }
    return active->sortedInputColumns().contains(column) ? QStringLiteral("ColumnSummandHighlightColor") : QString();
}

QColor DSStatsOutlineDelegate::recodedCategoryTint(DSColumn *active, const DSColumnCategory *category) const
{
    auto *recode = dynamic_cast<DSNumericRecodeColumn *>(active);
    const auto chosen = active_table()->active_column_category();
    if (!recode || !chosen || category->column() != recode->input())
        return {};
    QCborValue key = keyOfCategory(category);
    if (key.isDouble() && DSNumericColumn::isWhole(key.toDouble()) && !recode->value_mapping().contains(key))
        key = QCborValue(qint64(key.toDouble()));
    const QCborValue code = recode->value_mapping().value(key);
    const auto *target = dynamic_cast<const DSNumericColumnCategory *>(chosen.get());
    if (!target || code.isUndefined() || code.isNull() || code.toDouble() != target->value())
        return {};
    return QColor::fromHslF(float(chosen->hue()), 0.86f, 0.7f);
}

bool DSStatsOutlineDelegate::shouldBoldfaceItem(const QModelIndex &item, const QString &identifier) const
{
    if (!isOneOf(identifier, {"name", "title"}) || categoryOfItem(item))
        return false;
    const auto *data = dynamic_cast<DSDataTable *>(active_table());
    DSColumn *column = columnOfItem(item);
    return data && column && const_cast<DSDataTable *>(data)->frequency_weights_column() == column;
}

bool DSStatsOutlineDelegate::shouldItalicizeItem(const QModelIndex &item, const QString &identifier) const
{
    if (identifier != QLatin1String("name") || categoryOfItem(item))
        return false;
    DSColumn *column = columnOfItem(item);
    return column && !column->sortedJoinConditions().isEmpty();
}

int DSStatsOutlineDelegate::minimumSignificantDigits(const QModelIndex &, const QString &identifier) const
{
    // Deviations only: a mean that is 0 in truth comes out of the sums as a
    // speck such as 1e-18, which its formatter rightly shows as 0.
    return isOneOf(identifier, {"stddev", "stderr", "mad"}) ? 2 : 0;
}

const DSPlatformNumberFormatter *DSStatsOutlineDelegate::columnFormatter(DSColumn *column, const QString &key,
                                                                         DSStyle *style) const
{
    const QString cacheKey = QStringLiteral("%1/%2").arg(quintptr(column)).arg(key);
    if (const auto found = m_formatters.constFind(cacheKey); found != m_formatters.constEnd())
        return found->get();
    std::shared_ptr<DSPlatformNumberFormatter> formatter = column->NSNumberFormatter();
    if (const DSPlatformNumberFormatter *digits = style && !key.isEmpty() ? style->numberFormatterForKey(key) : nullptr) {
        formatter->setMinimumFractionDigits(digits->minimumFractionDigits());
        formatter->setMaximumFractionDigits(digits->maximumFractionDigits());
    }
    m_formatters.insert(cacheKey, formatter);
    return formatter.get();
}

const DSPlatformNumberFormatter *DSStatsOutlineDelegate::numberFormatterForItem(const QModelIndex &item,
                                                                               const QString &identifier,
                                                                               DSStyle *style) const
{
    DSColumn *column = columnOfItem(item);
    if (categoryOfItem(item)) {
        if (style && isOneOf(identifier, {"mean", "confidence-interval"}))
            if (const auto *formatter = style->numberFormatterForKey(QStringLiteral("SummaryStandardErrorFormatter")))
                return formatter;
        return DSStatDocumentOutlineDelegate::numberFormatterForItem(item, identifier, style);
    }
    const bool indicator = dynamic_cast<DSIndicatorColumn *>(column);
    if (column && (dynamic_cast<DSNumericColumn *>(column) || indicator)) {
        if (isOneOf(identifier, {"min", "max", "lower-quartile", "median", "upper-quartile"}))
            return columnFormatter(column, {}, style);
        if (indicator || !column->treat_as_categories()) {
            if (isOneOf(identifier, {"range", "iqr"}))
                return columnFormatter(column, {}, style);
            if (isOneOf(identifier, {"mean", "confidence-interval"}))
                return columnFormatter(column, QStringLiteral("SummaryMeanFormatter"), style);
            if (isOneOf(identifier, {"mad", "stddev"}))
                return columnFormatter(column, QStringLiteral("SummaryStandardDeviationFormatter"), style);
            if (identifier == QLatin1String("stderr"))
                return columnFormatter(column, QStringLiteral("SummaryStandardErrorFormatter"), style);
        }
    }
    return DSStatDocumentOutlineDelegate::numberFormatterForItem(item, identifier, style);
}

std::shared_ptr<DSPlatformDateFormatter> DSStatsOutlineDelegate::dateFormatterForItem(const QModelIndex &item,
                                                                                     const QString &,
                                                                                     DSStyle *) const
{
    auto *time = dynamic_cast<DSTimeColumn *>(columnOfItem(item));
    return time ? time->formatterForInterval(time->temp_time_stats().min_interval) : nullptr;
}

bool DSStatsOutlineDelegate::shouldParenthesizeNumber(double, const QModelIndex &item, const QString &identifier) const
{
    if (const auto category = categoryOfItem(item))
        return category->is_missing() && identifier == QLatin1String("mean");
    return identifier == QLatin1String("stddev");
}

QVariant DSStatsOutlineDelegate::data(const QModelIndex &index, int role) const
{
    if (role == Qt::EditRole && index.isValid())
        return valueForItem(itemOfCell(index), columnIdentifier(index.column())).toString();
    if (role == Qt::TextAlignmentRole && index.isValid())
        return isOneOf(columnIdentifier(index.column()), {"name", "title"})
                   ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                   : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    return DSStatDocumentOutlineDelegate::data(index, role);
}

void DSStatsOutlineDelegate::selectColumns(const QList<DSColumn *> &columns, bool extend)
{
    QTreeView *outline = table();
    if (!outline)
        return;
    QItemSelection rows;
    for (DSColumn *column : columns)
        if (const QModelIndex item = itemOfColumn(column); item.isValid())
            rows.select(item, item.siblingAtColumn(columnCount() - 1));
    outline->selectionModel()->select(rows, extend ? QItemSelectionModel::Select : QItemSelectionModel::ClearAndSelect);
}

void DSStatsOutlineDelegate::selectRowsOfSelection(const DSColumnSelection *selection)
{
    QTreeView *outline = table();
    if (!outline)
        return;
    QItemSelection rows;
    auto add = [&](const QModelIndex &item) {
        if (item.isValid())
            rows.select(item, item.siblingAtColumn(columnCount() - 1));
    };
    for (qsizetype i = 0; i < selection->count(); ++i) {
        DSColumn *column = selection->columnAtIndex(i);
        const QModelIndex item = itemOfColumn(column);
        const auto categories = selection->categoriesAtIndex(i);
        if (categories.isEmpty() || !item.isValid() || !isColumnExpandable(column)) {
            add(item);
            continue;
        }
        outline->expand(item);
        const auto summary = summaryOfColumn(column);
        for (const auto &category : categories)
            for (const auto &listed : summary->nonempty_categories())
                if (listed->index() == category->index())
                    add(index(int(listed->nonempty_index()), 0, item));
    }
    outline->selectionModel()->select(rows, QItemSelectionModel::ClearAndSelect);
}

void DSStatsOutlineDelegate::updateFilter(const QString &text)
{
    DSTable *owner = active_table();
    if (!owner)
        return;
    owner->column_filter_summary = text;
    m_owner->refreshView(nullptr);
    if (const QModelIndex item = itemOfColumn(owner->active_column()); item.isValid() && table())
        table()->scrollTo(item);
}

void DSStatsOutlineDelegate::selectionDidChange()
{
    DSTable *owner = active_table();
    QTreeView *outline = table();
    if (m_owner->is_refreshing() || !owner || !outline)
        return;
    QModelIndexList rows = itemsOfCells(outline->selectionModel()->selectedIndexes());
    DSColumnSelection *selection = owner->column_selection();
    selection->removeAllColumns();
    for (const QModelIndex &row : rows) {
        if (const auto category = categoryOfItem(row))
            selection->addCategory(category);
        else if (DSColumn *column = columnOfItem(row))
            selection->addColumn(column);
    }
    m_owner->refreshSummaryViewNoTable(outline);
    outline->viewport()->update();
    if (DSStatDocumentWindow *document = m_owner->document())
        if (QWidget *sidebar = document->outlet(QStringLiteral("tables_table")))
            sidebar->update();
}

void DSStatsOutlineDelegate::itemWillCollapse(const QModelIndex &item)
{
    DSTable *owner = active_table();
    if (owner && columnOfItem(item) == owner->active_column() && item.internalId() == 0)
        owner->column_selection()->removeAllCategories();
}

bool DSStatsOutlineDelegate::tutorialRuns() const
{
    const DSStatDocumentWindow *document = m_owner->document();
    return document && document->host() && document->host()->tutorialRunsOn(document);
}

bool DSStatsOutlineDelegate::shouldEditItem(const QModelIndex &item, const QString &identifier) const
{
    if (tutorialRuns())
        return false;
    if (identifier == QLatin1String("title"))
        return true;
    return identifier == QLatin1String("name") && item.internalId() == 0;
}

Qt::ItemFlags DSStatsOutlineDelegate::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled;
    // Column rows take drops of categories between their own category rows;
    // a drop onto a row is placed by placeDrop().
    flags |= Qt::ItemIsDropEnabled;
    if (shouldEditItem(itemOfCell(index), columnIdentifier(index.column())))
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool DSStatsOutlineDelegate::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !index.isValid())
        return false;
    const QModelIndex item = itemOfCell(index);
    const QString identifier = columnIdentifier(index.column());
    if (!shouldEditItem(item, identifier))
        return false;
    DSColumn *column = columnOfItem(item);
    if (!column)
        return false;
    // The view is still committing the edit: a reset now would take the
    // editor from under it (and the focus out of the outline), so the pane
    // refreshes a turn of the event loop later, before an edit that moves on
    // (editLater, queued after this) starts.
    QTimer::singleShot(0, this, [this, outline = QPointer<QTreeView>(table())] { m_owner->refreshView(outline); });
    if (const auto category = categoryOfItem(item))
        setCategoryLabel(column, category, value.toString());
    else
        setColumnValue(column, identifier, value.toString());
    return true;
}

void DSStatsOutlineDelegate::setColumnValue(DSColumn *column, const QString &identifier, const QString &text)
{
    DSStatDocumentWindow *document = m_owner->document();
    DSTable *owner = column->table();
    if (identifier == QLatin1String("name")) {
        column->setName(text);
        if (auto *records = document ? dynamic_cast<DSRecordsViewDelegate *>(document->records_delegate()) : nullptr)
            records->rebuildRecordsTable();
    } else {
        column->setTitle(text);
        DSColumn *next = owner && m_textMovement == k_returnTextMovement && column->index() < owner->columns().size() - 1
                             ? owner->columnAtIndex(column->index() + 1)
                             : nullptr;
        if (next && next->title().isEmpty()) {
            owner->column_selection()->resetWithColumn(next);
            editLater(next, -1, identifier);
        }
    }
    if (document)
        document->refreshFiltersWithButtons(nullptr);
}

void DSStatsOutlineDelegate::setCategoryLabel(DSColumn *column, const std::shared_ptr<DSColumnCategory> &category,
                                              const QString &text)
{
    column->setCategoryLabel(text, keyOfCategory(category.get()));
    const auto summary = summaryOfColumn(column);
    const qint64 last = summary->numberOfNonEmptyCategories() - 1;
    const qint64 place = category->nonempty_index();
    if (m_textMovement == k_returnTextMovement) {
        DSTable *owner = column->table();
        if (rowOfColumn(column) < 0 || place >= last) {
            if (owner)
                owner->column_selection()->resetWithColumn(column);
            if (QTreeView *outline = table(); outline && rowOfColumn(column) >= 0)
                outline->scrollTo(itemOfColumn(column));
        } else if (const auto next = summary->categoryAtNonEmptyIndex(place + 1); next->label().isEmpty() && owner) {
            owner->column_selection()->resetWithColumn(column);
            owner->column_selection()->addCategory(next);
            editLater(column, place + 1, QStringLiteral("title"));
        }
    }
    column->purgeStats();
}

void DSStatsOutlineDelegate::editLater(DSColumn *column, qint64 nonemptyIndex, const QString &identifier)
{
    // The outline finishes closing the editor of the edit being stored
    // first; the pane's refresh has reset the rows by then.
    QPointer<QTreeView> outline = table();
    QTimer::singleShot(0, this, [this, outline, column, nonemptyIndex, identifier] {
        DSTable *owner = active_table();
        if (!outline || !owner || !owner->columns().contains(column))
            return;
        const QModelIndex item = nonemptyIndex < 0 ? itemOfColumn(column) : itemOfCategory(column, nonemptyIndex);
        if (!item.isValid())
            return;
        const QModelIndex cell = item.siblingAtColumn(sectionOfIdentifier(identifier));
        outline->setCurrentIndex(cell);
        outline->selectionModel()->select(item, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        outline->edit(cell);
    });
}

void DSStatsOutlineDelegate::deleteSelectedColumns()
{
    DSStatDocumentWindow *document = m_owner->document();
    QTreeView *outline = table();
    if (!document || !outline)
        return;
    if (tutorialRuns()) {
        document->beep();
        return;
    }
    QList<DSColumn *> columns;
    for (const QModelIndex &item : itemsOfCells(outline->selectionModel()->selectedIndexes()))
        if (item.internalId() == 0)
            if (DSColumn *column = columnOfItem(item))
                columns.append(column);
    if (columns.isEmpty())
        return;
    const qint64 formerIndex = columns.size() == 1 ? columns.first()->index() : -1;
    DSManagedObjectContext *context = document->managedObjectContext();
    for (DSColumn *column : columns)
        context->deleteObject(column);
    context->processPendingChanges();
    m_owner->didDeleteColumnAtIndex(formerIndex);
    if (auto *records = dynamic_cast<DSRecordsViewDelegate *>(document->records_delegate()))
        records->rebuildRecordsTable();
    document->refreshFiltersWithButtons(nullptr);
    m_owner->refreshView(outline);
}

QStringList DSStatsOutlineDelegate::mimeTypes() const
{
    return {QString::fromLatin1(k_columnsType), QString::fromLatin1(k_categoriesType)};
}

Qt::DropActions DSStatsOutlineDelegate::supportedDragActions() const
{
    // A copy, so that the view never takes the dragged rows out itself and
    // a drop onto a dragged row is still ours to place.
    return Qt::CopyAction;
}

Qt::DropActions DSStatsOutlineDelegate::supportedDropActions() const
{
    return Qt::CopyAction | Qt::MoveAction;
}

QMimeData *DSStatsOutlineDelegate::mimeData(const QModelIndexList &indexes) const
{
    const QModelIndexList items = itemsOfCells(indexes);
    if (items.isEmpty())
        return nullptr;
    const bool categories = items.first().internalId() != 0;
    QStringList parts;
    for (const QModelIndex &item : items) {
        // Columns and categories do not mix, nor do categories of two columns.
        if ((item.internalId() != 0) != categories || (categories && item.internalId() != items.first().internalId()))
            return nullptr;
        DSColumn *column = columnOfItem(item);
        if (!column)
            return nullptr;
        if (!categories) {
            parts.append(QString::number(column->index()));
            continue;
        }
        const auto category = categoryOfItem(item);
        if (!category || !column->categoriesCanBeReordered())
            return nullptr;
        parts.append(QStringLiteral("%1:%2").arg(column->index()).arg(category->index()));
    }
    auto *data = new DSDataSourceMimeData(this);
    data->setData(QString::fromLatin1(categories ? k_categoriesType : k_columnsType),
                  parts.join(QLatin1Char('-')).toUtf8());
    return data;
}

DSStatsOutlineDelegate::Drop DSStatsOutlineDelegate::placeDrop(int row, const QModelIndex &parent) const
{
    if (row >= 0 || !parent.isValid())
        return {row, parent};
    const QModelIndex item = parent.siblingAtColumn(0);
    if (item.internalId() != 0)
        return {item.row(), item.parent()};
    // Onto a column row: before it in its upper half or while it is open,
    // else after it.
    QTreeView *outline = table();
    bool before = true;
    if (outline && !outline->isExpanded(item)) {
        const QRect rect = outline->visualRect(item);
        const QModelIndex lower = outline->indexAt(m_dropPoint + QPoint(0, rect.height() / 2));
        before = lower.siblingAtColumn(0) == item;
    }
    return {before ? item.row() : item.row() + 1, QModelIndex()};
}

qint64 DSStatsOutlineDelegate::tablePositionOfListedPosition(int position) const
{
    DSTable *owner = active_table();
    if (!owner)
        return -1;
    if (position < 0 || position >= m_owner->numberOfFilteredColumns())
        return owner->columns().size();
    return m_owner->columnIndexAtFilteredIndex(position);
}

bool DSStatsOutlineDelegate::canDropMimeData(const QMimeData *data, Qt::DropAction, int row, int,
                                            const QModelIndex &parent) const
{
    if (!DSDataSourceMimeData::isFrom(data, this))
        return false;
    const Drop drop = placeDrop(row, parent);
    if (data->hasFormat(QString::fromLatin1(k_columnsType)))
        return !drop.parent.isValid();
    if (!data->hasFormat(QString::fromLatin1(k_categoriesType)))
        return false;
    DSColumn *column = drop.parent.isValid() && drop.parent.internalId() == 0 ? columnOfItem(drop.parent) : nullptr;
    if (!column)
        return false;
    const QStringList pairs = QString::fromUtf8(data->data(QString::fromLatin1(k_categoriesType))).split(QLatin1Char('-'));
    for (const QString &pair : pairs) {
        const QStringList parts = pair.split(QLatin1Char(':'));
        bool ownerOk = false, categoryOk = false;
        if (parts.size() != 2 || parts[0].toLongLong(&ownerOk) != column->index() || !ownerOk)
            return false;
        parts[1].toLongLong(&categoryOk);
        if (!categoryOk)
            return false;
    }
    return true;
}

bool DSStatsOutlineDelegate::dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                                         const QModelIndex &parent)
{
    if (!canDropMimeData(data, action, row, column, parent))
        return false;
    const Drop drop = placeDrop(row, parent);
    // A drop below the last row comes without a row: the end of the list.
    const int position = drop.row < 0 ? rowCount(drop.parent) : drop.row;
    if (!drop.parent.isValid())
        dropColumns(QString::fromUtf8(data->data(QString::fromLatin1(k_columnsType))), position);
    else
        dropCategories(QString::fromUtf8(data->data(QString::fromLatin1(k_categoriesType))),
                       columnOfItem(drop.parent), position);
    m_isDragging = false;
    DSStatDocumentWindow *document = m_owner->document();
    if (auto *records = document ? dynamic_cast<DSRecordsViewDelegate *>(document->records_delegate()) : nullptr)
        records->rebuildRecordsTable();
    if (document)
        document->refreshView(nullptr);
    return true;
}

void DSStatsOutlineDelegate::dropColumns(const QString &text, int position)
{
    DSTable *owner = active_table();
    if (!owner)
        return;
    // Listed positions and the dragged columns' table indexes meet here, in
    // table positions, so a drop under a search lands where it is shown.
    const qint64 target = tablePositionOfListedPosition(position);
    QList<DSColumn *> kept;
    qint64 before = 0;
    for (const QString &part : text.split(QLatin1Char('-'))) {
        bool ok = false;
        const qint64 f = part.toLongLong(&ok);
        if (!ok || f < 0)
            continue;
        if (f < target)
            ++before;
        if (f == target)
            continue;
        if (DSColumn *column = owner->removeColumnFromIndex(f - kept.size()))
            kept.append(column);
    }
    for (qsizetype i = 0; i < kept.size(); ++i)
        owner->insertColumn(kept[i], target - before + i);
}

void DSStatsOutlineDelegate::dropCategories(const QString &text, DSColumn *column, int position)
{
    if (!column)
        return;
    const auto summary = summaryOfColumn(column);
    QList<qint64> dragged;
    for (const QString &pair : text.split(QLatin1Char('-'))) {
        const QStringList parts = pair.split(QLatin1Char(':'));
        if (parts.size() == 2 && parts[0].toLongLong() == column->index())
            dragged.append(parts[1].toLongLong());
    }
    QCborArray order;
    auto appendDragged = [&] {
        for (qint64 i : dragged)
            if (const auto category = summary->categoryAtIndex(i))
                order.append(keyOfCategory(category.get()));
    };
    const qsizetype n = summary->numberOfNonEmptyCategories();
    for (qsizetype i = 0; i < n; ++i) {
        if (i == position)
            appendDragged();
        const auto category = summary->categoryAtNonEmptyIndex(i);
        if (!dragged.contains(category->index()))
            order.append(keyOfCategory(category.get()));
    }
    if (position >= n)
        appendDragged();
    column->setOrdered_values(order);
    column->purgeStats();
}
