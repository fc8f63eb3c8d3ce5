#include "ui/menus/DSStatDocumentMenuDelegate.h"

#include "ui/window/DSStatDocumentWindow.h"

#include <QMenu>

DSStatDocumentMenuDelegate::DSStatDocumentMenuDelegate(DSStatDocumentWindow *document, QObject *parent)
    : QObject(parent), m_document(document)
{
}

DSStatDocumentWindow *DSStatDocumentMenuDelegate::document() const
{
    return m_document;
}

QMenu *DSStatDocumentMenuDelegate::makeMenu(QWidget *parent)
{
    const MenuLayout layout = menuLayout();
    auto *menu = new QMenu(layout.title, parent);
    menu->setObjectName(layout.name);
    for (const auto &[title, command] : layout.items)
        menu->addAction(title, this, command);
    connect(menu, &QMenu::aboutToShow, this, [this, menu] { menuNeedsUpdate(menu); });
    return menu;
}

void DSStatDocumentMenuDelegate::menuNeedsUpdate(QMenu *menu) const
{
    for (QAction *item : menu->actions())
        if (!item->isSeparator())
            item->setEnabled(validateItem(item));
}
