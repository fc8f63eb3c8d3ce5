#include "ui/panes/DSTableView.h"

#include <QHeaderView>

DSTableView::DSTableView(QWidget *parent) : QTableView(parent)
{
    setAttribute(Qt::WA_MacShowFocusRect, false);
    setFrameShape(QFrame::NoFrame);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setStretchLastSection(false);
}
