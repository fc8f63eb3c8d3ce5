#include "ui/menus/DSModelMenuDelegate.h"

#include "model/DSDataRoot.h"
#include "model/DSTable.h"
#include "platform/store/DSManagedObjectContext.h"
#include "regression/DSRegressionModel.h"
#include "ui/window/DSStatDocumentWindow.h"
#include "ui/window/DSTableOutlineView.h"

#include <QAction>

DSStatDocumentMenuDelegate::MenuLayout DSModelMenuDelegate::menuLayout()
{
    return {tr("&Model"),
            QStringLiteral("model_menu"),
            {{QStringLiteral("Duplicate Model"), [this] { duplicateModel(nullptr); }},
             {QStringLiteral("Delete Model"), [this] { deleteModel(nullptr); }}}};
}

bool DSModelMenuDelegate::validateItem(const QAction *item) const
{
    DSStatDocumentWindow *document = this->document();
    DSTable *table = document ? document->active_table() : nullptr;
    if (!table || !table->showModel() || item->data().toInt() == -1)
        return false;
    const QString key = item->text().toLower();
    DSRegressionModel *model = table->active_model();
    if (key == QStringLiteral("delete prediction"))
        return model && model->sortedPredictions().size() > 1;
    if (key == QStringLiteral("outcome variable"))
        return model && model->active_outcome();
    if (key == QStringLiteral("explanatory variable"))
        return model && model->active_explanatory_variable();
    return true;
}

void DSModelMenuDelegate::duplicateModel(QObject *sender)
{
    DSStatDocumentWindow *document = this->document();
    DSTable *table = document ? document->active_table() : nullptr;
    DSRegressionModel *model = table ? table->active_model() : nullptr;
    if (!model)
        return;
    DSError error;
    auto *copy = ds_object_cast<DSRegressionModel>(document->data_root()->duplicateManagedObject(model, &error));
    if (!copy) {
        document->presentError(error);
        return;
    }
    table->insertRegressionModel(copy, model->index() + 1);
    copy->setObject(table, QStringLiteral("table"));
    document->managedObjectContext()->processPendingChanges();
    table->setActive_model(copy);
    table->setShowModel(true);
    document->refreshView(sender);
}

void DSModelMenuDelegate::deleteModel(QObject *)
{
    DSStatDocumentWindow *document = this->document();
    DSTable *table = document ? document->active_table() : nullptr;
    if (DSRegressionModel *model = table ? table->active_model() : nullptr)
        if (DSTableOutlineView *sidebar = document->tables_table())
            sidebar->deleteItem(model);
}
