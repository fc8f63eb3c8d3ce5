#pragma once

#include <QTableView>

// A table view that draws no focus frame around itself and never fits its
// columns to its width on its own: column widths are the user's.
class DSTableView : public QTableView
{
public:
    explicit DSTableView(QWidget *parent = nullptr);
};
