#pragma once

#include <QAbstractItemModel>
#include <QIcon>
#include <QMimeData>
#include <QPointer>

class DSManagedObject;
class DSRegressionModel;
class DSStatDocumentWindow;
class DSTable;

// The drag types of the sidebar and of the panes that drop on it.
namespace DSSidebarTypes {
inline constexpr char tableIndex[] = "org.quillmoth.ostrel.table-index";
inline constexpr char table[] = "org.quillmoth.ostrel.table";
inline constexpr char modelIndex[] = "org.quillmoth.ostrel.model-index";
inline constexpr char columnsIndex[] = "org.quillmoth.ostrel.columns-index";
inline constexpr char recordsIndex[] = "org.quillmoth.ostrel.records-index";
inline constexpr char outcomesIndex[] = "org.quillmoth.ostrel.outcome-variables-index";
inline constexpr char fields[] = "org.quillmoth.fernquay.fields";
} // namespace DSSidebarTypes

// A table dragged out of the sidebar: its index at once, its archive (for
// another document) made only when a drop asks for it. A stacked table
// offers no archive.
class DSTableMimeData : public QMimeData
{
    Q_OBJECT

public:
    // The table must outlive the drag (a drag is synchronous).
    explicit DSTableMimeData(DSTable *table);
    QStringList formats() const override;
    bool hasFormat(const QString &mimeType) const override;

protected:
    QVariant retrieveData(const QString &mimeType, QMetaType type) const override;

private:
    DSTable *m_table;
};

// The sidebar's items: the document's tables in index order, each with its
// regression models below. Items are the store's own objects (an index's
// internal pointer), never copies; the model is reset by reload() whenever
// the store may have changed. It activates what the user selects, renames
// in place, and validates and performs the drops the sidebar receives.
//
// Main thread only. The document is not owned.
class DSTableOutlineDelegate : public QAbstractItemModel
{
    Q_OBJECT

public:
    // Where a drag came from, as the drop sees its source widget.
    enum class Source { ThisSidebar, OtherSidebar, StatsOutline, OutcomeOutline, RecordsGrid, Other };
    // The drag operations: none, a copy, or any (a move in the same window).
    enum class Operation { None, Copy, Every };

    explicit DSTableOutlineDelegate(QObject *parent = nullptr);

    DSStatDocumentWindow *document() const;
    void setDocument(DSStatDocumentWindow *document);

    // Forgets every index; the view restores expansion and selection.
    void reload();
    // The table or model of the index, or null for the root.
    static DSManagedObject *itemAtIndex(const QModelIndex &index);
    // The index of a table or model of this document, or an invalid one.
    QModelIndex indexOfItem(DSManagedObject *item) const;

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    // A new name, stored as typed (empty and duplicate names included).
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QStringList mimeTypes() const override;
    // One row only: a table's index (and lazy archive), or a model's
    // "table-model" indexes; null for anything else.
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    Qt::DropActions supportedDragActions() const override { return Qt::CopyAction | Qt::MoveAction; }
    Qt::DropActions supportedDropActions() const override { return Qt::CopyAction | Qt::MoveAction; }

    // The answer to a drop from the source onto the item (row −1) or into
    // the gap before row of parent (an invalid parent: between tables).
    Operation validateDrop(const QMimeData *data, Source source, const QModelIndex &parent, int row) const;
    // Performs a drop that validateDrop() allowed. False, with the document
    // unchanged, when it changed nothing (a hostile archive, say).
    bool acceptDrop(const QMimeData *data, Source source, const QModelIndex &parent, int row);

    // Makes the selected item's table active and shows its data side (a
    // table) or model side (a model); nothing while the document updates.
    void activateItem(DSManagedObject *item);

    // The window's error for a refused archive, when there is one.
    QString lastError() const { return m_lastError; }

private:
    Operation validateTableDrop(const QMimeData *data, Source source, bool betweenTables) const;
    Operation validateColumnsDrop(DSManagedObject *target) const;
    bool moveTable(const QMimeData *data, int row);
    bool moveModel(const QMimeData *data, int row);
    bool copyTables(const QMimeData *data, int row);
    bool includeColumns(const QMimeData *data, DSRegressionModel *model);
    bool importFiles(const QMimeData *data, int row);
    DSTable *active_table() const;

    QPointer<DSStatDocumentWindow> m_document;
    QIcon m_dataTableIcon, m_modelIcon, m_longTableIcon;
    QString m_lastError;
};
