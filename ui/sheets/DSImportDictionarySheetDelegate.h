#pragma once

#include "import/dictionary/ds_missing_values.h"
#include "import/dictionary/ds_value_labels.h"
#include "ui/sheets/DSImportFilesSheetDelegate.h"

struct ds_stata_dct_s;

// The sheet that imports text data files laid out by a dictionary: one
// table per data file, made by the dictionary importer from the record,
// value labels and missing values that the subclass reads from the
// dictionary file (dct_file_text_field, its URL as text).
//
// The dictionary is parsed when chosen, as a check (the record is freed at
// once), and again when the import begins, so an edit in between is seen.
class DSImportDictionarySheetDelegate : public DSImportFilesSheetDelegate
{
public:
    // The dictionary's extension without the dot, as the panel's title
    // names it, and the extensions the panel allows.
    virtual QString defaultPathExtension() const = 0;
    virtual QStringList pathExtensions() const = 0;
    // A new record owned by the caller, or null with *error set.
    virtual ds_stata_dct_s *parseDictionary(const QUrl &url, DSError *error) const = 0;
    // The labels by variable name; false with *error set.
    virtual bool parseValueLabels(const QUrl &url, ds_value_labels *labels, DSError *error) const;
    // The values declared missing by variable name; false with *error set.
    virtual bool parseMissingValues(const QUrl &url, ds_missing_values *missing, DSError *error) const;

    QLineEdit *dct_file_text_field() const { return description_text_field(); }

    // Begin import is enabled exactly when both fields hold text.
    void refreshView(QObject *sender) override;
    // Panel "Choose data file(s)", any type.
    void chooseDataFile(QObject *sender) override;
    // Panel "Choose dictionary file (.ext)"; a file that parses fills the
    // field, one that does not presents its error and leaves the field.
    void chooseDictionaryFile(QObject *sender) override;
    // Parses the dictionary, its labels and missing values afresh (a failure
    // presents its error and keeps the sheet up), ends the sheet and hands a
    // dictionary importer to the document's import at the top.
    void saveSheet(QObject *sender) override;

protected:
    void didLoadNib() override;
};
