#pragma once

#include "ui/menus/DSStatDocumentMenuDelegate.h"

// The Table menu of a document window: new, duplicate and delete tables.
// Its items are validated by title each time the menu opens.
//
// Main thread only.
class DSTableMenuDelegate : public DSStatDocumentMenuDelegate
{
    Q_OBJECT

public:
    using DSStatDocumentMenuDelegate::DSStatDocumentMenuDelegate;

    bool validateItem(const QAction *item) const override;
    // Whether the item of that title (any case) is enabled now.
    bool validateTitle(const QString &title) const;

    // An empty stored table "New Table" at the end, shown on its records.
    void createEmptyTable(QObject *sender);
    // A copy of the active table just after it, shown.
    void duplicateTable(QObject *sender);
    // Deletes the active table (the sidebar's deletion).
    void deleteTable(QObject *sender);

protected:
    MenuLayout menuLayout() override;
};
