#include "ui/sheets/DSImportDictionarySheetDelegate.h"

#include "import/DSDataImporterDCT.h"
#include "import/dictionary/ds_stata_dct.h"

#include <QLineEdit>

#include <memory>

namespace {

struct RecordFree
{
    void operator()(ds_stata_dct_s *dct) const { dct_dictionary_free(dct); }
};
using Record = std::unique_ptr<ds_stata_dct_s, RecordFree>;

} // namespace

bool DSImportDictionarySheetDelegate::parseValueLabels(const QUrl &, ds_value_labels *labels, DSError *) const
{
    labels->clear();
    return true;
}

bool DSImportDictionarySheetDelegate::parseMissingValues(const QUrl &, ds_missing_values *missing, DSError *) const
{
    missing->clear();
    return true;
}

void DSImportDictionarySheetDelegate::didLoadNib()
{
    connectControls(QStringLiteral("dct_file_text_field"));
    DSImportFilesSheetDelegate::didLoadNib();
}

void DSImportDictionarySheetDelegate::refreshView(QObject *)
{
    const bool chosen = data_file_text_field() && !data_file_text_field()->text().isEmpty() &&
                        dct_file_text_field() && !dct_file_text_field()->text().isEmpty();
    setBeginEnabled(chosen);
}

void DSImportDictionarySheetDelegate::chooseDataFile(QObject *)
{
    chooseDataFiles(std::nullopt, QStringLiteral("Choose data file(s)"));
}

void DSImportDictionarySheetDelegate::chooseDictionaryFile(QObject *)
{
    chooseDescriptionFile(pathExtensions(), QStringLiteral("Choose dictionary file (.%1)").arg(defaultPathExtension()),
                          [this](const QUrl &url, DSError *error) { return bool(Record(parseDictionary(url, error))); });
}

void DSImportDictionarySheetDelegate::saveSheet(QObject *sender)
{
    if (!isShown() || !dataFilesExist())
        return;
    const QUrl url = descriptionURL();
    DSError error;
    Record dct(parseDictionary(url, &error));
    ds_value_labels labels;
    ds_missing_values missing;
    if (!dct || !parseValueLabels(url, &labels, &error) || !parseMissingValues(url, &missing, &error)) {
        presentError(error);
        return;
    }
    DSImportFilesSheetDelegate::saveSheet(sender);
    auto importer = std::make_shared<DSDataImporterDCT>(dataURLArray());
    importer->setDct(dct.release());
    importer->setValue_labels(labels);
    importer->setMissing_values(missing);
    beginImport(std::move(importer));
}
