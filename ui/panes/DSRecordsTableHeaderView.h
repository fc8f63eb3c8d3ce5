#pragma once

#include <QHeaderView>

class DSRecordsViewDelegate;

// The records grid's column header: a plain click sorts, a click with Shift
// or Ctrl selects columns, a right click notes the column it was made on
// (the column menu acts on it) before the header's menu opens. The
// record-number column stays first.
class DSRecordsTableHeaderView : public QHeaderView
{
public:
    explicit DSRecordsTableHeaderView(QWidget *parent = nullptr);

    void setRecords_delegate(DSRecordsViewDelegate *pane) { m_pane = pane; }
    // The grid column a menu was last asked for, or -1.
    int clickedColumn() const { return m_clickedColumn; }
    void resetClickedColumn() { m_clickedColumn = -1; }

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    DSRecordsViewDelegate *m_pane = nullptr;  // cleared by the pane's teardown
    int m_clickedColumn = -1;
};
