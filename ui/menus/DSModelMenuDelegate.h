#pragma once

#include "ui/menus/DSStatDocumentMenuDelegate.h"

// The Model menu of a document window: duplicate and delete models. An item
// is enabled only while the active table shows its model side, and never
// when its tag is -1.
//
// Main thread only.
class DSModelMenuDelegate : public DSStatDocumentMenuDelegate
{
    Q_OBJECT

public:
    using DSStatDocumentMenuDelegate::DSStatDocumentMenuDelegate;

    bool validateItem(const QAction *item) const override;

    // A copy of the active model just after it, made active.
    void duplicateModel(QObject *sender);
    // Deletes the active model (the sidebar's deletion).
    void deleteModel(QObject *sender);

protected:
    MenuLayout menuLayout() override;
};
