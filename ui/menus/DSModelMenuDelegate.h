#pragma once

#include <QObject>
#include <QPointer>

class DSStatDocumentWindow;
class QAction;
class QMenu;

// The Model menu of a document window: duplicate and delete models. An item
// is enabled only while the active table shows its model side, and never
// when its tag is -1.
//
// Main thread only. The document is not owned.
class DSModelMenuDelegate : public QObject
{
    Q_OBJECT

public:
    explicit DSModelMenuDelegate(DSStatDocumentWindow *document, QObject *parent = nullptr);

    // A new menu of the commands made here, validated as it opens; the
    // caller owns it.
    QMenu *makeMenu(QWidget *parent);
    void menuNeedsUpdate(QMenu *menu) const;
    bool validateItem(const QAction *item) const;

    // A copy of the active model just after it, made active.
    void duplicateModel(QObject *sender);
    // Deletes the active model (the sidebar's deletion).
    void deleteModel(QObject *sender);

private:
    QPointer<DSStatDocumentWindow> m_document;
};
