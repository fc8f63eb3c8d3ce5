#pragma once

#include "import/dictionary/ds_value_labels.h"
#include "ui/sheets/DSImportFilesSheetDelegate.h"

// The sheet that imports SAS data files (.sas7bdat), one table each, with
// an optional SAS catalogue (.sas7bcat, catalog_file_text_field) whose
// value labels take the place of the files' own ("ImportSASBinarySheet").
// The catalogue is read when chosen, as a check, and again when the import
// begins.
class DSImportSASBinarySheetDelegate : public DSImportFilesSheetDelegate
{
public:
    QLineEdit *catalog_file_text_field() const { return description_text_field(); }

    // The catalogue's labels by format name; false with "Error parsing
    // catalog file".
    bool parseValueLabels(const QUrl &url, ds_value_labels *labels, DSError *error) const;

    // Begin import is enabled as soon as a data file is chosen.
    void refreshView(QObject *sender) override;
    // Panel "Choose data file (.sas7bdat)".
    void chooseDataFile(QObject *sender) override;
    // Panel "Choose catalog file (.sas7bcat)": a readable catalogue fills
    // the field, another presents its error.
    void chooseDictionaryFile(QObject *sender) override;
    // Reads the catalogue afresh when one is named (a failure presents its
    // error and keeps the sheet up), ends the sheet and imports the data
    // files at the top, labelled from the catalogue when there is one.
    void saveSheet(QObject *sender) override;

protected:
    void didLoadNib() override;
};
