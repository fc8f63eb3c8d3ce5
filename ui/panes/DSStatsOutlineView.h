#pragma once

#include <QPointer>
#include <QTreeView>

class DSStatsOutlineDelegate;
class DSSummaryViewDelegate;

// The summary pane's statistics outline. Beyond the tree view it deletes
// the selected columns on the Delete command, tells its data source how a
// cell edit ended (Return, Tab, ...) before the edit is stored, starts its
// field editor in the default text colour whatever colour the cell draws
// in, and tells the data source while a drag is over it and where.
//
// Main thread only. The pane controller is not owned.
class DSStatsOutlineView : public QTreeView
{
    // The sidebar tells a drag out of this outline by its class name.
    Q_OBJECT

public:
    explicit DSStatsOutlineView(QWidget *parent = nullptr);

    DSSummaryViewDelegate *summary_delegate() const { return m_summaryDelegate; }
    void setSummary_delegate(DSSummaryViewDelegate *delegate) { m_summaryDelegate = delegate; }
    // The outline's data source, or null before the pane attached it.
    DSStatsOutlineDelegate *outlineDelegate() const;

    // The Delete command.
    void delete_();

protected:
    // Tab and Backtab end an edit where it is, as Return does: only the data
    // source moves editing on (after Return), once its refresh has rebuilt
    // the rows.
    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;
    void keyPressEvent(QKeyEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    DSSummaryViewDelegate *m_summaryDelegate = nullptr;
};
