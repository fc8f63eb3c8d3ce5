#pragma once

#include "platform/predicate/DSPredicate.h"
#include "ui/DSPredicateEditorRowTemplate.h"
#include "ui/sheets/DSStatDocumentSheetDelegate.h"

#include <QList>

#include <optional>

class DSColumn;
class DSPredicateEditor;
class QCheckBox;

// The sheet that edits the further values that count as missing in one or
// more columns ("MissingValuesSheet"): a predicate editor over the first
// column's stored predicate (with the proposed default values added as
// "value is v" rows) and the check box that switches its use. Saving stores
// one shared OR of the rows in every column when the predicate is on, and
// the switch in every column either way; cancelling restores them (the
// sheet's undo group).
//
// The document sets the properties, then shows the sheet. Main thread only.
class DSMissingValuesSheetDelegate : public DSStatDocumentSheetDelegate
{
public:
    // The columns edited (not owned; the first decides the kind) and the
    // values to propose as missing.
    QList<DSColumn *> columns;
    QList<DSPredicateValue> default_values;
    bool columns_are_text = false, columns_are_date = false, columns_are_time_of_day = false,
         columns_are_numeric = false, columns_are_duration = false, columns_are_categories = false;
    bool enable_predicate = false;

    // Sets the kind flags from the first column, columns_are_categories when
    // every column is treated as categories, and enable_predicate when any
    // text, numeric or time column already applies its predicate.
    void setColumns(const QList<DSColumn *> &edited, const QList<DSPredicateValue> &defaults);
    // Opens the document's missing-values sheet on the columns, proposing
    // the values (may be empty) as missing; nothing without columns or a
    // sheet controller, a beep while another sheet is up.
    static void showForColumns(DSStatDocumentWindow *document, const QList<DSColumn *> &columns,
                               const QList<DSPredicateValue> &defaultValues);

    DSPredicateEditor *predicate_editor() const;
    QCheckBox *apply_predicate_checkbox() const;

    // Builds the row templates and the starting predicate, fills the editor
    // and shows the sheet.
    void showSheet(QWidget *window) override;
    // The editor is editable exactly when the box is on.
    void setPredicateEnabled(QObject *sender);
    void saveSheet(QObject *sender) override;
    void didEndSheet(QDialog *sheet, int returnCode) override;

    // The templates and the starting predicate for the current properties.
    struct Start
    {
        QList<DSPredicateEditorRowTemplate> templates;
        DSPredicatePtr predicate;
    };
    Start startingEditor() const;

protected:
    void didLoadNib() override;

private:
    // The stored predicate with the default values appended as members.
    DSPredicatePtr startingPredicate() const;
    QList<DSPredicateOperatorType> rowOperators() const;
};
