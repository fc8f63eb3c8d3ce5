#include "ui/menus/DSModelMenuDelegate.h"

#include "model/DSDataRoot.h"
#include "model/DSTable.h"
#include "platform/store/DSManagedObjectContext.h"
#include "regression/DSRegressionModel.h"
#include "ui/window/DSStatDocumentWindow.h"
#include "ui/window/DSTableOutlineView.h"

#include <QMenu>

DSModelMenuDelegate::DSModelMenuDelegate(DSStatDocumentWindow *document, QObject *parent)
    : QObject(parent), m_document(document)
{
}

QMenu *DSModelMenuDelegate::makeMenu(QWidget *parent)
{
    auto *menu = new QMenu(tr("&Model"), parent);
    menu->setObjectName(QStringLiteral("model_menu"));
    menu->addAction(QStringLiteral("Duplicate Model"), this, [this] { duplicateModel(nullptr); });
    menu->addAction(QStringLiteral("Delete Model"), this, [this] { deleteModel(nullptr); });
    connect(menu, &QMenu::aboutToShow, this, [this, menu] { menuNeedsUpdate(menu); });
    return menu;
}

void DSModelMenuDelegate::menuNeedsUpdate(QMenu *menu) const
{
    for (QAction *item : menu->actions())
        if (!item->isSeparator())
            item->setEnabled(validateItem(item));
}

bool DSModelMenuDelegate::validateItem(const QAction *item) const
{
    DSTable *table = m_document ? m_document->active_table() : nullptr;
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
    DSTable *table = m_document ? m_document->active_table() : nullptr;
    DSRegressionModel *model = table ? table->active_model() : nullptr;
    if (!model)
        return;
    DSError error;
    auto *copy = ds_object_cast<DSRegressionModel>(m_document->data_root()->duplicateManagedObject(model, &error));
    if (!copy) {
        m_document->presentError(error);
        return;
    }
    table->insertRegressionModel(copy, model->index() + 1);
    copy->setObject(table, QStringLiteral("table"));
    m_document->managedObjectContext()->processPendingChanges();
    table->setActive_model(copy);
    table->setShowModel(true);
    m_document->refreshView(sender);
}

void DSModelMenuDelegate::deleteModel(QObject *)
{
    DSTable *table = m_document ? m_document->active_table() : nullptr;
    if (DSRegressionModel *model = table ? table->active_model() : nullptr)
        if (DSTableOutlineView *sidebar = m_document->tables_table())
            sidebar->deleteItem(model);
}
