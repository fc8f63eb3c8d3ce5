#include "ui/menus/DSTableMenuDelegate.h"

#include "model/DSDataRoot.h"
#include "model/DSDataTable.h"
#include "model/DSTimeColumn.h"
#include "platform/store/DSManagedObjectContext.h"
#include "ui/panes/DSRecordsViewDelegate.h"
#include "ui/window/DSStatDocumentWindow.h"
#include "ui/window/DSTableOutlineView.h"

#include <QAction>

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

DSStatDocumentMenuDelegate::MenuLayout DSTableMenuDelegate::menuLayout()
{
    return {tr("&Table"),
            QStringLiteral("table_menu"),
            {{QStringLiteral("New Empty Table"), [this] { createEmptyTable(nullptr); }},
             {QStringLiteral("Duplicate Table"), [this] { duplicateTable(nullptr); }},
             {QStringLiteral("Delete Table"), [this] { deleteTable(nullptr); }}}};
}

bool DSTableMenuDelegate::validateItem(const QAction *item) const
{
    return validateTitle(item->text());
}

bool DSTableMenuDelegate::validateTitle(const QString &title) const
{
    DSStatDocumentWindow *document = this->document();
    const QString key = title.toLower();
    DSTable *table = document ? document->active_table() : nullptr;
    if (!table)
        return document && key == QStringLiteral("new empty table");
    if (key == QStringLiteral("new stacked table..."))
        return !table->is_stacked();
    if (key == QStringLiteral("edit stacked table..."))
        return table->is_stacked();
    if (key == QStringLiteral("apply frequency weights"))
        return ds_object_cast<DSDataTable>(table) != nullptr;
    if (key.startsWith(QStringLiteral("copy other table's ")))
        return document->data_root()->tables().size() > 1;
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
    DSStatDocumentWindow *document = this->document();
    if (!document)
        return;
    DSDataRoot *root = document->data_root();
    auto *table = document->managedObjectContext()->insertNewObject<DSDataTable>(QStringLiteral("DSDataTable"));
    table->setEdit_data_unlocked(true);
    table->setIndex(root->tables().size());
    table->setData_root(root);
    table->makeDependencies();
    table->setName(QStringLiteral("New Table"));
    document->setActive_table(table);
    table->setShowRecords(true);
    rebuildRecords(document);
    document->refreshView(sender);
}

void DSTableMenuDelegate::duplicateTable(QObject *sender)
{
    DSStatDocumentWindow *document = this->document();
    DSTable *table = document ? document->active_table() : nullptr;
    if (!table)
        return;
    DSDataRoot *root = document->data_root();
    DSError error;
    auto *copy = ds_object_cast<DSTable>(root->duplicateManagedObject(table, &error));
    if (!copy) {
        document->presentError(error);
        return;
    }
    root->insertTable(copy, table->index() + 1);
    copy->setData_root(root);
    document->managedObjectContext()->processPendingChanges();
    document->setActive_table(copy);
    copy->setShowTable(true);
    rebuildRecords(document);
    document->refreshView(sender);
}

void DSTableMenuDelegate::deleteTable(QObject *)
{
    DSStatDocumentWindow *document = this->document();
    // The active table itself, even while the sidebar selects its model.
    if (DSTable *table = document ? document->active_table() : nullptr)
        if (DSTableOutlineView *sidebar = document->tables_table())
            sidebar->deleteItem(table);
}
