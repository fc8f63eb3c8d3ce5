#include "ui/window/DSTableOutlineDelegate.h"

#include "import/DSDataImporterMultiple.h"
#include "model/DSDataRoot.h"
#include "model/DSDataTable.h"
#include "model/DSNumericColumn.h"
#include "model/DSTextColumn.h"
#include "platform/store/DSManagedObjectContext.h"
#include "platform/store/DSUndoManager.h"
#include "regression/DSRegressionModel.h"
#include "ui/DSFileMenuDelegate.h"
#include "ui/panes/DSRecordsViewDelegate.h"
#include "ui/window/DSStatDocumentViewDelegate.h"
#include "ui/window/DSStatDocumentWindow.h"

#include <QColor>
#include <QFileInfo>
#include <QUrl>

namespace {

using Operation = DSTableOutlineDelegate::Operation;
using Source = DSTableOutlineDelegate::Source;

QString type(const char *name)
{
    return QString::fromLatin1(name);
}

// The numbers of "a-b-c"; a part that is no number is skipped.
QList<qint64> numbers(const QMimeData *data, const char *format)
{
    QList<qint64> result;
    for (const QByteArray &part : data->data(type(format)).split('-')) {
        bool ok = false;
        const qint64 n = part.trimmed().toLongLong(&ok);
        if (ok)
            result.append(n);
    }
    return result;
}

bool isTextOrNumeric(DSColumn *column)
{
    return dynamic_cast<DSTextColumn *>(column) || dynamic_cast<DSNumericColumn *>(column);
}

// Whether a joined column of the active table's active column looks its
// values up in the table.
bool isForeignTableOfActiveColumn(const DSTable *table, DSTable *active)
{
    DSColumn *column = active ? active->active_column() : nullptr;
    if (!column)
        return false;
    for (DSManagedObject *condition : column->objectsForKey(QStringLiteral("join_conditions")))
        if (auto *foreign = dynamic_cast<DSColumn *>(condition->objectForKey(QStringLiteral("foreign_column"))))
            if (foreign->table() == table)
                return true;
    return false;
}

// A gap's destination for an item now at from: the gap counts the row moved.
qint64 destination(qint64 from, int row)
{
    return from < row ? row - 1 : row;
}

} // namespace

DSStatDocumentWindow *DSTableOutlineDelegate::document() const
{
    return m_document;
}

DSTableMimeData::DSTableMimeData(DSTable *table) : m_table(table)
{
    setData(type(DSSidebarTypes::tableIndex), QByteArray::number(table->index()));
}

QStringList DSTableMimeData::formats() const
{
    QStringList result = QMimeData::formats();
    if (ds_object_cast<DSDataTable>(m_table) && !m_table->is_stacked())
        result.append(type(DSSidebarTypes::table));
    return result;
}

bool DSTableMimeData::hasFormat(const QString &mimeType) const
{
    return formats().contains(mimeType);
}

QVariant DSTableMimeData::retrieveData(const QString &mimeType, QMetaType metaType) const
{
    if (mimeType == type(DSSidebarTypes::table) && hasFormat(mimeType))
        return DSDataRoot::archivedManagedObjectDependencies(m_table);
    return QMimeData::retrieveData(mimeType, metaType);
}

DSTableOutlineDelegate::DSTableOutlineDelegate(QObject *parent)
    : QAbstractItemModel(parent),
      m_dataTableIcon(QStringLiteral(":/icons/128-16px.png")),
      m_modelIcon(QStringLiteral(":/icons/112-16px.png")),
      m_longTableIcon(QStringLiteral(":/icons/stacked tables2-16px.png"))
{
}

void DSTableOutlineDelegate::setDocument(DSStatDocumentWindow *document)
{
    beginResetModel();
    m_document = document;
    endResetModel();
}

void DSTableOutlineDelegate::reload()
{
    beginResetModel();
    endResetModel();
}

DSTable *DSTableOutlineDelegate::active_table() const
{
    return m_document ? m_document->active_table() : nullptr;
}

DSManagedObject *DSTableOutlineDelegate::itemAtIndex(const QModelIndex &index)
{
    return index.isValid() ? static_cast<DSManagedObject *>(index.internalPointer()) : nullptr;
}

QModelIndex DSTableOutlineDelegate::indexOfItem(DSManagedObject *item) const
{
    if (auto *table = ds_object_cast<DSTable>(item))
        return index(int(table->index()), 0);
    if (auto *model = ds_object_cast<DSRegressionModel>(item))
        if (DSTable *table = model->table())
            return index(int(model->index()), 0, indexOfItem(table));
    return {};
}

QModelIndex DSTableOutlineDelegate::index(int row, int column, const QModelIndex &parent) const
{
    DSDataRoot *root = m_document ? m_document->data_root() : nullptr;
    if (!root || column != 0)
        return {};
    DSManagedObject *item = nullptr;
    if (!parent.isValid())
        item = root->tableAtIndex(row);
    else if (auto *table = ds_object_cast<DSTable>(itemAtIndex(parent)))
        item = table->regressionModelAtIndex(row);
    return item ? createIndex(row, column, item) : QModelIndex();
}

QModelIndex DSTableOutlineDelegate::parent(const QModelIndex &child) const
{
    if (auto *model = ds_object_cast<DSRegressionModel>(itemAtIndex(child)))
        if (DSTable *table = model->table())
            return createIndex(int(table->index()), 0, table);
    return {};
}

int DSTableOutlineDelegate::rowCount(const QModelIndex &parent) const
{
    DSDataRoot *root = m_document ? m_document->data_root() : nullptr;
    if (!root || parent.column() > 0)
        return 0;
    if (!parent.isValid())
        return int(root->tables().size());
    if (auto *table = ds_object_cast<DSTable>(itemAtIndex(parent)))
        return int(table->sortedRegressionModels().size());
    return 0;
}

int DSTableOutlineDelegate::columnCount(const QModelIndex &) const
{
    return 1;
}

QVariant DSTableOutlineDelegate::data(const QModelIndex &index, int role) const
{
    DSManagedObject *item = itemAtIndex(index);
    auto *table = ds_object_cast<DSTable>(item);
    auto *model = ds_object_cast<DSRegressionModel>(item);
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return table ? table->name() : model ? model->name() : QVariant();
    case Qt::DecorationRole:
        if (model)
            return m_modelIcon;
        if (table)
            return table->is_stacked() ? m_longTableIcon : m_dataTableIcon;
        return {};
    case Qt::BackgroundRole:
        if (isForeignTableOfActiveColumn(table, active_table()))
            return QColor::fromRgbF(0.687776f, 0.888175f, 0.928431f);
        return {};
    default:
        return {};
    }
}

bool DSTableOutlineDelegate::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole)
        return false;
    DSManagedObject *item = itemAtIndex(index);
    if (auto *table = ds_object_cast<DSTable>(item))
        table->setName(value.toString());
    else if (auto *model = ds_object_cast<DSRegressionModel>(item))
        model->setName(value.toString());
    else
        return false;
    Q_EMIT dataChanged(index, index);
    return true;
}

Qt::ItemFlags DSTableOutlineDelegate::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsDragEnabled
           | Qt::ItemIsDropEnabled;
}

QStringList DSTableOutlineDelegate::mimeTypes() const
{
    using namespace DSSidebarTypes;
    return {type(tableIndex), type(table),         type(modelIndex),         type(columnsIndex),
            type(recordsIndex), type(outcomesIndex), type(fields), QStringLiteral("text/uri-list")};
}

QMimeData *DSTableOutlineDelegate::mimeData(const QModelIndexList &indexes) const
{
    if (indexes.size() != 1)
        return nullptr;
    DSManagedObject *item = itemAtIndex(indexes.first());
    if (auto *table = ds_object_cast<DSTable>(item))
        return new DSTableMimeData(table);
    if (auto *model = ds_object_cast<DSRegressionModel>(item); model && model->table()) {
        auto *data = new QMimeData;
        data->setData(type(DSSidebarTypes::modelIndex),
                      QStringLiteral("%1-%2").arg(model->table()->index()).arg(model->index()).toLatin1());
        return data;
    }
    return nullptr;
}

Operation DSTableOutlineDelegate::validateDrop(const QMimeData *data, Source source, const QModelIndex &parent,
                                               int row) const
{
    using namespace DSSidebarTypes;
    if (!data || !m_document)
        return Operation::None;
    DSManagedObject *target = itemAtIndex(parent);
    const bool betweenTables = !target && row != -1;
    const bool onItem = target && row == -1;
    switch (source) {
    case Source::ThisSidebar:
        if (data->hasFormat(type(tableIndex)))
            return betweenTables ? Operation::Every : Operation::None;
        if (data->hasFormat(type(modelIndex))) {
            auto *table = ds_object_cast<DSTable>(target);
            const QList<qint64> indexes = numbers(data, modelIndex);
            return table && row != -1 && !indexes.isEmpty() && indexes.first() == table->index() ? Operation::Every
                                                                                                 : Operation::None;
        }
        return Operation::None;
    case Source::StatsOutline:
        return onItem && data->hasFormat(type(columnsIndex)) ? validateColumnsDrop(target) : Operation::None;
    case Source::OutcomeOutline:
    case Source::RecordsGrid:
        // Predictions from records and residual columns from outcomes have
        // no pane to show them yet.
        return Operation::None;
    case Source::OtherSidebar:
    case Source::Other:
        return validateTableDrop(data, source, betweenTables);
    }
    return Operation::None;
}

Operation DSTableOutlineDelegate::validateTableDrop(const QMimeData *data, Source source, bool betweenTables) const
{
    using namespace DSSidebarTypes;
    if (!betweenTables)
        return Operation::None;
    if (data->hasFormat(type(table)))
        return source == Source::OtherSidebar ? Operation::Every : Operation::Copy;
    if (source == Source::OtherSidebar)
        return Operation::None;
    if (data->hasFormat(type(fields)))
        return Operation::Copy;
    if (!data->hasUrls())
        return Operation::None;
    // An extension counts in its lower- and upper-case forms only.
    const QStringList extensions = DSFileMenuDelegate::allSupportedFileExtensions();
    for (const QUrl &url : data->urls())
        if (!extensions.contains(QFileInfo(url.path()).suffix()))
            return Operation::None;
    return Operation::Copy;
}

Operation DSTableOutlineDelegate::validateColumnsDrop(DSManagedObject *target) const
{
    DSTable *active = active_table();
    if (!active)
        return Operation::None;
    if (auto *model = ds_object_cast<DSRegressionModel>(target))
        return model->table() == active ? Operation::Every : Operation::None;
    auto *table = ds_object_cast<DSTable>(target);
    if (!table || table == active)
        return Operation::None;
    const QList<DSColumn *> columns = active->columns();
    const QList<DSColumn *> targetColumns = table->sortedColumns();
    const bool joinable = std::any_of(columns.begin(), columns.end(), isTextOrNumeric) && !targetColumns.isEmpty()
                          && isTextOrNumeric(targetColumns.first());
    // The joined-column sheet these drops open is not made yet.
    return joinable && m_document->sheetDelegate(QStringLiteral("joined_column_sheet_delegate")) ? Operation::Every
                                                                                                 : Operation::None;
}

bool DSTableOutlineDelegate::acceptDrop(const QMimeData *data, Source source, const QModelIndex &parent, int row)
{
    using namespace DSSidebarTypes;
    m_lastError.clear();
    if (validateDrop(data, source, parent, row) == Operation::None)
        return false;
    if (source == Source::ThisSidebar && data->hasFormat(type(tableIndex)))
        return moveTable(data, row);
    if (source == Source::ThisSidebar && data->hasFormat(type(modelIndex)))
        return moveModel(data, row);
    if (data->hasFormat(type(table)))
        return copyTables(data, row);
    if (data->hasFormat(type(columnsIndex)))
        return includeColumns(data, ds_object_cast<DSRegressionModel>(itemAtIndex(parent)));
    if (data->hasUrls())
        return importFiles(data, row);
    m_document->refreshView(this);
    return true;
}

bool DSTableOutlineDelegate::moveTable(const QMimeData *data, int row)
{
    const QList<qint64> from = numbers(data, DSSidebarTypes::tableIndex);
    DSDataRoot *root = m_document->data_root();
    DSTable *table = from.isEmpty() ? nullptr : root->tableAtIndex(from.first());
    if (!table)
        return false;
    root->moveTableAtIndex(from.first(), destination(from.first(), row));
    m_document->managedObjectContext()->processPendingChanges();
    reload();
    activateItem(table);
    return true;
}

bool DSTableOutlineDelegate::moveModel(const QMimeData *data, int row)
{
    const QList<qint64> indexes = numbers(data, DSSidebarTypes::modelIndex);
    DSTable *table = indexes.size() == 2 ? m_document->data_root()->tableAtIndex(indexes[0]) : nullptr;
    auto *model = table ? ds_object_cast<DSRegressionModel>(table->regressionModelAtIndex(indexes[1])) : nullptr;
    if (!model)
        return false;
    table->moveRegressionModelAtIndex(indexes[1], destination(indexes[1], row));
    m_document->managedObjectContext()->processPendingChanges();
    reload();
    activateItem(model);
    return true;
}

bool DSTableOutlineDelegate::copyTables(const QMimeData *data, int row)
{
    DSDataRoot *root = m_document->data_root();
    DSManagedObjectContext *context = m_document->managedObjectContext();
    DSUndoManager *undo = context->undoManager();
    if (undo)
        undo->beginUndoGrouping();
    DSError error;
    const DSObjectList objects = root->insertObjectsFromArchive(data->data(type(DSSidebarTypes::table)), &error);
    auto *table = objects.isEmpty() ? nullptr : ds_object_cast<DSTable>(objects.first());
    if (table) {
        root->insertTable(table, row);
        table->setData_root(root);
    } else {
        // Whatever came before the dragged object is not a table: undo it.
        for (DSManagedObject *object : objects)
            context->deleteObject(object);
        if (error.localizedDescription.isEmpty())
            error = ds_make_error(1, QStringLiteral("The dragged data holds no table."));
    }
    context->processPendingChanges();
    if (undo)
        undo->endUndoGrouping();
    if (!table) {
        m_lastError = error.localizedDescription;
        m_document->presentError(error);
        return false;
    }
    reload();
    activateItem(table);
    return true;
}

bool DSTableOutlineDelegate::includeColumns(const QMimeData *data, DSRegressionModel *model)
{
    DSTable *active = active_table();
    if (!model || !active)
        return false;
    QList<DSColumn *> columns;
    for (qint64 i : numbers(data, DSSidebarTypes::columnsIndex))
        if (DSColumn *column = active->columnAtIndex(i))
            columns.append(column);
    model->ensureColumnsAreIncluded(columns);
    m_document->activeModelNeedsPanelsRebuilt(this);
    return true;
}

bool DSTableOutlineDelegate::importFiles(const QMimeData *data, int row)
{
    m_document->beginImport(std::make_shared<DSDataImporterMultiple>(data->urls()), row);
    return true;
}

void DSTableOutlineDelegate::activateItem(DSManagedObject *item)
{
    if (!m_document || m_document->is_updating())
        return;
    DSTable *next = nullptr;
    m_document->setIs_updating(true);
    DSDataRoot *root = m_document->data_root();
    if (auto *table = ds_object_cast<DSTable>(item)) {
        for (DSTable *each : root->tables())
            for (auto *model : ds_objects_cast<DSRegressionModel>(each->sortedRegressionModels())) {
                model->setNeeds_regression(true);
                model->setNeeds_panels_rebuilt(true);
            }
        table->setShowTable(true);
        next = table;
    } else if (auto *model = ds_object_cast<DSRegressionModel>(item); model && model->table()) {
        if (!model->active_outcome())
            model->setActive_outcome(model->outcomeVariableAtIndex(0));
        model->table()->setActive_model(model);
        model->table()->setShowModel(true);
        next = model->table();
    } else {
        next = m_document->active_table();
    }
    if (DSTable *previous = m_document->active_table())
        if (DSRegressionModel *model = previous->active_model())
            model->unloadDataMatrix();
    m_document->setActive_table(next);
    m_document->setIs_updating(false);
    if (!next) {
        m_document->refreshView(this);
        return;
    }
    // The model pane rebuilds its results in its own refresh.
    if (next->showTable())
        if (auto *records = dynamic_cast<DSRecordsViewDelegate *>(m_document->records_delegate()))
            records->rebuildRecordsTable();
    m_document->refreshFiltersWithButtons(this);
    m_document->refreshView(this);
}
