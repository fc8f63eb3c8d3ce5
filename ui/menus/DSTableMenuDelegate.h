#pragma once

#include <QObject>
#include <QPointer>

class DSStatDocumentWindow;
class QAction;
class QMenu;

// The Table menu of a document window: new, duplicate and delete tables.
// Its items are validated by title each time the menu opens.
//
// Main thread only. The document is not owned.
class DSTableMenuDelegate : public QObject
{
    Q_OBJECT

public:
    explicit DSTableMenuDelegate(DSStatDocumentWindow *document, QObject *parent = nullptr);

    // A new menu of the commands made here, validated as it opens; the
    // caller owns it.
    QMenu *makeMenu(QWidget *parent);
    // Enables each item of the menu by its title (any case).
    void menuNeedsUpdate(QMenu *menu) const;
    // Whether the item of that title is enabled now.
    bool validateItem(const QString &title) const;

    // An empty stored table "New Table" at the end, shown on its records.
    void createEmptyTable(QObject *sender);
    // A copy of the active table just after it, shown.
    void duplicateTable(QObject *sender);
    // Deletes the active table (the sidebar's deletion).
    void deleteTable(QObject *sender);

private:
    QPointer<DSStatDocumentWindow> m_document;
};
