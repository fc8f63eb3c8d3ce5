#include "ui/menus/DSTableMenuDelegate.h"

#include "model/DSDataRoot.h"
#include "model/DSDataTable.h"
#include "model/DSTimeColumn.h"
#include "platform/store/DSManagedObjectContext.h"
#include "ui/panes/DSRecordsViewDelegate.h"
#include "ui/window/DSStatDocumentWindow.h"
#include "ui/window/DSTableOutlineView.h"

#include <QMenu>

#include <algorithm>

namespace {

void rebuildRecords(DSStatDocumentWindow *document)
{
    if (auto *records = dynamic_cast<DSRecordsViewDelegate *>(document->records_delegate()))
        records->rebuildRecordsTable();
}

bool hasDateColumn(const DSTable *table)
{
    const QList<DSColumn *> columns = table->columns();
    return std::any_of(columns.begin(), columns.end(), [](DSColumn *column) {
        auto *time = dynamic_cast<DSTimeColumn *>(column);
        return time && !time->isTimeOfDay();
    });
}

} // namespace

DSTableMenuDelegate::DSTableMenuDelegate(DSStatDocumentWindow *document, QObject *parent)
    : QObject(parent), m_document(document)
{
}

QMenu *DSTableMenuDelegate::makeMenu(QWidget *parent)
{
    auto *menu = new QMenu(tr("&Table"), parent);
    menu->setObjectName(QStringLiteral("table_menu"));
    menu->addAction(QStringLiteral("New Empty Table"), this, [this] { createEmptyTable(nullptr); });
    menu->addAction(QStringLiteral("Duplicate Table"), this, [this] { duplicateTable(nullptr); });
    menu->addAction(QStringLiteral("Delete Table"), this, [this] { deleteTable(nullptr); });
    connect(menu, &QMenu::aboutToShow, this, [this, menu] { menuNeedsUpdate(menu); });
    return menu;
}

void DSTableMenuDelegate::menuNeedsUpdate(QMenu *menu) const
{
    for (QAction *item : menu->actions())
        if (!item->isSeparator())
            item->setEnabled(validateItem(item->text()));
}

bool DSTableMenuDelegate::validateItem(const QString &title) const
{
    const QString key = title.toLower();
    DSTable *table = m_document ? m_document->active_table() : nullptr;
    if (!table)
        return m_document && key == QStringLiteral("new empty table");
    if (key == QStringLiteral("new stacked table..."))
        return !table->is_stacked();
    if (key == QStringLiteral("edit stacked table..."))
        return table->is_stacked();
    if (key == QStringLiteral("apply frequency weights"))
        return ds_object_cast<DSDataTable>(table) != nullptr;
    if (key.startsWith(QStringLiteral("copy other table's ")))
        return m_document->data_root()->tables().size() > 1;
    if (key == QStringLiteral("export covariate table") || key == QStringLiteral("export summary image"))
        return table->active_column() && table->showSummaryCharts();
    if (key == QStringLiteral("export covariate image"))
        return false;  // the covariate pane has no painter yet
    if (key == QStringLiteral("new date column..."))
        return !table->columns().isEmpty();
    if (key == QStringLiteral("date calculation..."))
        return hasDateColumn(table);
    return true;
}

void DSTableMenuDelegate::createEmptyTable(QObject *sender)
{
    if (!m_document)
        return;
    DSDataRoot *root = m_document->data_root();
    auto *table = m_document->managedObjectContext()->insertNewObject<DSDataTable>(QStringLiteral("DSDataTable"));
    table->setEdit_data_unlocked(true);
    table->setIndex(root->tables().size());
    table->setData_root(root);
    table->makeDependencies();
    table->setName(QStringLiteral("New Table"));
    m_document->setActive_table(table);
    table->setShowRecords(true);
    rebuildRecords(m_document);
    m_document->refreshView(sender);
}

void DSTableMenuDelegate::duplicateTable(QObject *sender)
{
    DSTable *table = m_document ? m_document->active_table() : nullptr;
    if (!table)
        return;
    DSDataRoot *root = m_document->data_root();
    DSError error;
    auto *copy = ds_object_cast<DSTable>(root->duplicateManagedObject(table, &error));
    if (!copy) {
        m_document->presentError(error);
        return;
    }
    root->insertTable(copy, table->index() + 1);
    copy->setData_root(root);
    m_document->managedObjectContext()->processPendingChanges();
    m_document->setActive_table(copy);
    copy->setShowTable(true);
    rebuildRecords(m_document);
    m_document->refreshView(sender);
}

void DSTableMenuDelegate::deleteTable(QObject *)
{
    // The active table itself, even while the sidebar selects its model.
    if (DSTable *table = m_document ? m_document->active_table() : nullptr)
        if (DSTableOutlineView *sidebar = m_document->tables_table())
            sidebar->deleteItem(table);
}
