#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QPointer>
#include <QTableView>

class DSStatDocumentViewDelegate;
class DSStyle;
class DSTable;

// The base of the panes' table data sources: cell styling from a few
// questions per row and column identifier, and rows rearranged by dragging
// when a subclass allows it. A drag writes one pasteboard item per dragged
// row (its row number, one line each, in ascending order) under the
// subclass's type; a drop between rows of the same table takes the items
// out of the subclass's list and puts them back at the drop row.
//
// Main thread only. The owner and the view are not owned; a data source
// that goes away detaches itself from its view.
class DSStatDocumentTableDelegate : public QAbstractTableModel
{
public:
    explicit DSStatDocumentTableDelegate(DSStatDocumentViewDelegate *owner);
    ~DSStatDocumentTableDelegate() override;

    DSStatDocumentViewDelegate *owner() const { return m_owner; }
    QTableView *table() const { return m_table; }
    // Shows the model in the view (which must outlive the data source or be
    // detached by it).
    void setTable(QTableView *table);
    // The owner's document's active table, or null.
    DSTable *active_table() const;

    virtual QString columnIdentifier(int section) const = 0;

    // Hooks.
    virtual bool shouldRearrange() const;
    virtual QString pasteboardItemType() const;
    // Takes the item at the row out of the subclass's list and answers it.
    virtual QVariant removeItemAtIndex(int row);
    // Puts an item taken out back at the row.
    virtual void insertItem(const QVariant &item, int row);
    // After a move: the owner refreshes, with the view as sender.
    virtual void didMoveItems();
    virtual QColor backgroundColorForRow(int row, const QString &identifier, DSStyle *style) const;
    virtual bool shouldBoldfaceRow(int row, const QString &identifier) const;
    virtual bool shouldItalicizeRow(int row, const QString &identifier) const;

    // Background and font roles from the row hooks; a subclass answers the
    // others and calls this for the rest.
    QVariant data(const QModelIndex &index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QStringList mimeTypes() const override;
    // A copy: the drop moves the items itself, and a move would let the view
    // take the dragged rows out once more.
    Qt::DropActions supportedDragActions() const override;
    Qt::DropActions supportedDropActions() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    // Only drops between rows (row >= 0, or past the last row) of a drag out
    // of this data source, while rearranging is on. Row numbers that are not
    // rows of the list, or not ascending, are skipped.
    bool canDropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                         const QModelIndex &parent) const override;
    bool dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                      const QModelIndex &parent) override;

private:
    DSStatDocumentViewDelegate *m_owner;
    QPointer<QTableView> m_table;
};
