#pragma once

#include "ui/window/DSTableOutlineDelegate.h"

#include <QPointer>
#include <QTreeView>

class QMenu;

// The sidebar of tables and models. It reloads keeping what the user had
// expanded and selected, mirrors the window's selection without activating
// anything, turns the user's selection into activation, deletes and
// duplicates items (the Delete key and the context menu), and hands drops
// to its delegate with the kind of view they came from.
//
// Main thread only. The document is not owned; the delegate is the view's
// model, owned by the view.
class DSTableOutlineView : public QTreeView
{
    Q_OBJECT

public:
    explicit DSTableOutlineView(QWidget *parent = nullptr);

    DSStatDocumentWindow *document() const;
    void setDocument(DSStatDocumentWindow *document);
    DSTableOutlineDelegate *outlineDelegate() const { return m_delegate; }

    // Rebuilds the rows from the store; tables collapsed by the user stay
    // collapsed, every other table is expanded.
    void reloadData();
    // Selects the row of the table or model alone (none for null) without
    // activating it.
    void selectItem(DSManagedObject *item);
    // The item of the selected row, or null.
    DSManagedObject *selectedItem() const;

    // The Delete command: deletes the selected table or model and activates
    // its neighbour; with nothing selected it only beeps.
    void deleteSelected();
    // Deletes a table or model; when it was shown, the one that takes its
    // index (else the one before) is shown instead, and a table left
    // without models shows its data side. False, after a beep, for any
    // other item.
    bool deleteItem(DSManagedObject *item);
    // Inserts a copy of a table or model just after it, not activated;
    // false for any other item.
    bool duplicateItem(DSManagedObject *item);
    // The context menu of the row (−1 for empty space): two items, built
    // afresh each time. The caller owns the menu.
    QMenu *contextMenuForRow(const QModelIndex &index);

    // Which kind of view a drag comes from.
    DSTableOutlineDelegate::Source sourceKind(const QObject *source) const;
    // The drop target under a point: the item (row −1) or a gap (row of
    // parent; an invalid parent for the gaps between tables).
    std::pair<QModelIndex, int> dropTarget(const QPoint &point) const;

protected:
    void selectionChanged(const QItemSelection &selected, const QItemSelection &deselected) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    DSTableOutlineDelegate::Operation validate(QDropEvent *event) const;

    QPointer<DSStatDocumentWindow> m_document;
    DSTableOutlineDelegate *m_delegate;
    QSet<const void *> m_collapsed;
    bool m_mirroring = false;
};
