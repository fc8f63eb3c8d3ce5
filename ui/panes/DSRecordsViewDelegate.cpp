#include "ui/panes/DSRecordsViewDelegate.h"

#include "model/DSDataTable.h"
#include "platform/store/DSManagedObjectContext.h"
#include "ui/panes/DSCreateDataColumnSheetDelegate.h"
#include "ui/panes/DSRecordsTableDelegate.h"
#include "ui/panes/DSRecordsTableHeaderView.h"
#include "ui/panes/DSRecordsTableView.h"
#include "ui/window/DSStatDocumentWindow.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QScopedValueRollback>

#include <set>

DSRecordsViewDelegate::DSRecordsViewDelegate() : m_model(std::make_unique<DSRecordsTableDelegate>(this)) {}

DSRecordsViewDelegate::~DSRecordsViewDelegate()
{
    // The grid may outlive the pane by a turn of the event loop.
    detachViews();
}

QString DSRecordsViewDelegate::nibName() const
{
    return QStringLiteral("DSStatDocumentRecords");
}

DSTable *DSRecordsViewDelegate::active_table() const
{
    return document() ? document()->active_table() : nullptr;
}

void DSRecordsViewDelegate::didLoadNib()
{
    m_table = dynamic_cast<DSRecordsTableView *>(outlet<QTableView>(QStringLiteral("records_table")));
    m_filterField = outlet<QLineEdit>(QStringLiteral("record_column_filter_field"));
    m_model->setNumber_of_records_label(outlet<QLabel>(QStringLiteral("number_of_records_label")));
    if (m_table) {
        m_table->setRecords_delegate(this);
        m_table->setModel(m_model.get());
        if (auto *header = dynamic_cast<DSRecordsTableHeaderView *>(m_table->horizontalHeader()))
            header->setRecords_delegate(this);
        // Turning sorting on sorts at once by the header's indicator: the
        // table's own order is set by the next rebuild instead.
        m_model->setIs_rebuilding(true);
        m_table->horizontalHeader()->setSortIndicator(0, Qt::AscendingOrder);
        m_table->setSortingEnabled(true);
        m_model->setIs_rebuilding(false);
        QObject::connect(m_table->horizontalHeader(), &QHeaderView::sectionMoved, this,
                         [this](int, int from, int to) { columnMoved(from, to); });
        QObject::connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
            if (!m_model->is_rebuilding() && !is_refreshing())
                refreshView(nullptr);
        });
    }
    if (m_filterField)
        QObject::connect(m_filterField, &QLineEdit::textEdited, this, [this](const QString &text) { updateFilter(text); });
    connectButton(QStringLiteral("show_category_labels_button"), [this](bool on) { toggleShowCategoryLabels(on); });
    connectButton(QStringLiteral("edit_table_button"), [this](bool on) { toggleEditingTable(on); });
    connectButton(QStringLiteral("add_rows_button"), [this](bool) { addRow(); });
    connectButton(QStringLiteral("drop_rows_button"), [this](bool) { dropSelectedRows(); });
    connectButton(QStringLiteral("add_column_button"), [this](bool) { addColumn(); });
    m_createColumnSheet = std::make_unique<DSCreateDataColumnSheetDelegate>();
    m_createColumnSheet->setDocument(document());
    m_createColumnSheet->setRecords_delegate(this);
    m_createColumnSheet->awakeFromNib();
    DSStatDocumentViewDelegate::didLoadNib();
}

void DSRecordsViewDelegate::connectButton(const QString &name, std::function<void(bool)> action)
{
    if (auto *button = outlet<QAbstractButton>(name))
        QObject::connect(button, &QAbstractButton::clicked, this, std::move(action));
}

void DSRecordsViewDelegate::detachViews()
{
    if (!m_table)
        return;
    m_table->setRecords_delegate(nullptr);
    if (auto *header = dynamic_cast<DSRecordsTableHeaderView *>(m_table->horizontalHeader()))
        header->setRecords_delegate(nullptr);
    m_table->setModel(nullptr);
}

void DSRecordsViewDelegate::teardown()
{
    detachViews();
    if (m_createColumnSheet) {
        m_createColumnSheet->setRecords_delegate(nullptr);
        m_createColumnSheet->teardown();
    }
    DSStatDocumentViewDelegate::teardown();
}

void DSRecordsViewDelegate::rebuildRecordsTable()
{
    DSTable *table = active_table();
    if (!table || !m_table)
        return;
    QScopedValueRollback rebuilding(m_rebuilding, true);
    m_model->setIs_rebuilding(true);
    if (m_filterField)
        m_filterField->setText(table->column_filter_records);
    m_model->reload();
    QHeaderView *header = m_table->horizontalHeader();
    // Above 1000 columns widths are fixed: measuring each would cost more
    // than the grid is worth.
    const bool fixed = table->columns().size() > 1000;
    for (int c = 1; c < m_model->columnCount(); ++c)
        header->setSectionResizeMode(c, fixed ? QHeaderView::Fixed : QHeaderView::Interactive);
    DSColumn *sortColumn = ds_object_cast<DSDataTable>(table) ? table->sort_by_column() : nullptr;
    const int sortSection = sortColumn ? m_model->gridColumnOfColumn(sortColumn) : 0;
    header->setSortIndicator(sortSection, table->sort_ascending() ? Qt::AscendingOrder : Qt::DescendingOrder);
    m_model->setIs_rebuilding(false);
}

void DSRecordsViewDelegate::columnMoved(int from, int to)
{
    DSTable *table = active_table();
    if (!table || m_rebuilding)
        return;
    QHeaderView *header = m_table->horizontalHeader();
    // Visual order goes back to the model's: the move is made in the table.
    {
        QSignalBlocker block(header);
        header->moveSection(to, from);
    }
    if (from > 0 && to > 0)
        table->moveColumnAtIndex(from - 1, to - 1);
    rebuildRecordsTable();
    refreshView(nullptr);
}

void DSRecordsViewDelegate::refreshView(QObject *)
{
    if (m_isRefreshing)
        return;
    QScopedValueRollback guard(m_isRefreshing, true);
    DSTable *table = active_table();
    if (!table || !m_table)
        return;
    if (m_model->columnCount() - 1 != table->columns().size())
        rebuildRecordsTable();
    m_model->reload();
    const QSet<DSColumn *> shown = [&] {
        const QList<DSColumn *> matching = table->columnsMatching(table->column_filter_records);
        return QSet<DSColumn *>(matching.begin(), matching.end());
    }();
    for (int c = 1; c < m_model->columnCount(); ++c)
        m_table->setColumnHidden(c, !shown.contains(m_model->columnAtGridColumn(c)));
    refreshControls(table);
}

void DSRecordsViewDelegate::refreshControls(DSTable *table)
{
    const bool unlocked = table->edit_data_unlocked();
    const bool hasColumns = !table->columns().isEmpty();
    auto show = [this](const QString &name, bool visible) {
        if (auto *view = outlet<QWidget>(name))
            view->setVisible(visible);
    };
    show(QStringLiteral("add_drop_rows_view"), unlocked);
    show(QStringLiteral("add_column_view"), unlocked);
    show(QStringLiteral("show_category_labels_view"), !unlocked);
    show(QStringLiteral("search_columns_view"), !unlocked);
    show(QStringLiteral("add_columns_instruction_text"), unlocked && !hasColumns);
    show(QStringLiteral("add_rows_instruction_text"), unlocked && hasColumns && table->num_records() <= 0);
    if (auto *button = outlet<QAbstractButton>(QStringLiteral("show_category_labels_button")))
        button->setChecked(table->show_category_labels());
    if (auto *button = outlet<QAbstractButton>(QStringLiteral("drop_rows_button")))
        button->setEnabled(unlocked && numberOfSelectedRecords() > 0);
    if (auto *button = outlet<QAbstractButton>(QStringLiteral("add_rows_button")))
        button->setEnabled(unlocked && hasColumns);
    if (auto *button = outlet<QAbstractButton>(QStringLiteral("edit_table_button")))
        button->setChecked(unlocked);
}

int64_t DSRecordsViewDelegate::convertRowToIndex(int64_t row) const
{
    return m_model->recordIndex().recordAtRow(row);
}

DSColumn *DSRecordsViewDelegate::columnForTableColumnIndex(int gridColumn) const
{
    DSTable *table = active_table();
    if (!table || !m_table)
        return nullptr;
    const int64_t number =
        DSRecordsTableDelegate::numberOfIdentifier(m_model->headerData(gridColumn, Qt::Horizontal, Qt::UserRole).toString());
    return number < 0 ? nullptr : table->columnAtIndex(number);
}

QList<DSColumn *> DSRecordsViewDelegate::selectedColumns() const
{
    QList<DSColumn *> columns;
    if (m_table)
        for (const QModelIndex &index : m_table->selectionModel()->selectedColumns())
            if (DSColumn *column = columnForTableColumnIndex(index.column()))
                columns.append(column);
    std::sort(columns.begin(), columns.end(), [](DSColumn *a, DSColumn *b) { return a->index() < b->index(); });
    if (columns.isEmpty())
        if (DSTable *table = active_table(); table && table->sort_by_column())
            columns.append(table->sort_by_column());
    return columns;
}

qint64 DSRecordsViewDelegate::numberOfSelectedRecords() const
{
    return m_table ? m_table->selectionModel()->selectedRows().size() : 0;
}

DSIndexSet DSRecordsViewDelegate::selectedRecords() const
{
    DSIndexSet records;
    if (m_table)
        for (const QModelIndex &index : m_table->selectionModel()->selectedRows())
            if (const int64_t record = convertRowToIndex(index.row()); record >= 0)
                records.insert(record);
    return records;
}

void DSRecordsViewDelegate::selectRecords(const DSIndexSet &records)
{
    if (!m_table || m_model->rowCount() == 0 || !m_table->selectionModel()->selectedColumns().isEmpty())
        return;
    QItemSelection selection;
    for (const qint64 record : records)
        if (const int64_t row = m_model->recordIndex().rowOfRecord(record); row >= 0 && row < m_model->rowCount())
            selection.select(m_model->index(int(row), 0), m_model->index(int(row), m_model->columnCount() - 1));
    m_table->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void DSRecordsViewDelegate::toggleEditingTable(bool on)
{
    if (DSTable *table = active_table(); table && ds_object_cast<DSDataTable>(table))
        table->setEdit_data_unlocked(on);
    refreshView(nullptr);
}

void DSRecordsViewDelegate::dropSelectedRows()
{
    DSTable *table = active_table();
    if (!table || !m_table)
        return;
    m_model->reload();
    const DSIndexSet records = selectedRecords();
    table->dropRows(records);
    m_table->clearSelection();
    document()->refreshFiltersNoButtons(nullptr);
    document()->updateFilterSelections();
    refreshView(nullptr);
}

void DSRecordsViewDelegate::addRow()
{
    DSTable *table = active_table();
    if (!table || !m_table)
        return;
    document()->hideFiltersPane();
    // A new record goes last: the grid goes back to record order.
    table->setSort_by_column(nullptr);
    table->setSort_ascending(true);
    table->addRows(1);
    document()->refreshView(nullptr);
    refreshView(nullptr);
    const int row = int(table->num_records()) - 1;
    m_table->selectRow(row);
    m_table->scrollTo(m_model->index(row, 0));
}

void DSRecordsViewDelegate::addRecordAndEdit(int)
{
    DSTable *table = active_table();
    if (!table || !m_table)
        return;
    const int row = m_model->rowCount();
    table->addRows(1);
    // The mask grows with the table, so the new record is a row at once.
    document()->refreshFiltersNoButtons(nullptr);
    refreshView(nullptr);
    for (int c = 0; c < m_model->columnCount(); ++c)
        if (!m_table->isColumnHidden(c) && m_model->flags(m_model->index(row, c)) & Qt::ItemIsEditable)
            return m_table->editCell(row, c);
}

bool DSRecordsViewDelegate::deleteSelectedColumns()
{
    DSTable *table = active_table();
    if (!table || !m_table)
        return false;
    QList<DSColumn *> columns;
    for (const QModelIndex &index : m_table->selectionModel()->selectedColumns())
        if (DSColumn *column = columnForTableColumnIndex(index.column()))
            columns.append(column);
    if (columns.isEmpty())
        return false;
    m_table->clearSelection();
    for (DSColumn *column : columns)
        document()->managedObjectContext()->deleteObject(column);
    rebuildRecordsTable();
    document()->refreshFiltersWithButtons(nullptr);
    refreshView(nullptr);
    return true;
}

void DSRecordsViewDelegate::toggleShowCategoryLabels(bool on)
{
    if (DSTable *table = active_table())
        table->setShow_category_labels(on);
    refreshView(nullptr);
}

void DSRecordsViewDelegate::addColumn()
{
    if (m_createColumnSheet && document())
        m_createColumnSheet->showSheet(document()->document_window());
}

void DSRecordsViewDelegate::updateFilter(const QString &text)
{
    if (DSTable *table = active_table())
        table->column_filter_records = text;
    refreshView(nullptr);
}

void DSRecordsViewDelegate::revealColumns(const QList<DSColumn *> &columns)
{
    DSRecordsTableDelegate *grid = records_table_delegate();
    if (!records_table() || !grid || columns.isEmpty())
        return;
    QItemSelection selection;
    for (DSColumn *column : columns)
        if (const int section = grid->gridColumnOfColumn(column); section >= 0 && grid->rowCount() > 0)
            selection.select(grid->index(0, section), grid->index(grid->rowCount() - 1, section));
    records_table()->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect
                                                             | QItemSelectionModel::Columns);
    if (const int first = grid->gridColumnOfColumn(columns.first()); first >= 0 && grid->rowCount() > 0)
        records_table()->scrollTo(grid->index(0, first));
}
