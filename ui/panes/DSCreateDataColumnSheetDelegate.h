#pragma once

#include "ui/sheets/DSStatDocumentSheetDelegate.h"

class DSRecordsViewDelegate;
class QComboBox;

// The sheet that adds a stored column to a table being edited: a name, a
// kind (text, number, date and time, time of day, duration) and, for numbers
// and durations, a display format. Saving appends an empty column of that
// kind and starts editing its first cell.
//
// Main thread only. The records pane creates it once and outlives it.
class DSCreateDataColumnSheetDelegate : public DSStatDocumentSheetDelegate
{
public:
    // Kinds by the tag of the kind pop-up's items.
    enum Kind { Text = 0, Number = 1, DateAndTime = 2, TimeOfDay = 3, Duration = 4 };

    void setRecords_delegate(DSRecordsViewDelegate *pane) { m_pane = pane; }

    // Empties the name, shows the options of the chosen kind, then the base.
    void showSheet(QWidget *window) override;
    // Shows the number options for numbers only and the duration options
    // for durations only.
    void refreshView();
    // Creates the column (see the class comment); no table, no column.
    void saveSheet(QObject *sender) override;

protected:
    void didLoadNib() override;

private:
    int selectedTag(const QString &popUp) const;

    DSRecordsViewDelegate *m_pane = nullptr;
};
