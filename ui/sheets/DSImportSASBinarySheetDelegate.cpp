#include "ui/sheets/DSImportSASBinarySheetDelegate.h"

#include "import/DSDataImporterDTA.h"
#include "import/ds_sas7bcat.h"

#include <QLineEdit>

namespace {

const QStringList k_dataTypes{QStringLiteral("sas7bdat"), QStringLiteral("SAS7BDAT")};
const QStringList k_catalogTypes{QStringLiteral("sas7bcat"), QStringLiteral("SAS7BCAT")};

} // namespace

bool DSImportSASBinarySheetDelegate::parseValueLabels(const QUrl &url, ds_value_labels *labels, DSError *error) const
{
    return ds_sas7bcat_value_labels(url, labels, error);
}

void DSImportSASBinarySheetDelegate::didLoadNib()
{
    connectControls(QStringLiteral("catalog_file_text_field"));
    DSImportFilesSheetDelegate::didLoadNib();
}

void DSImportSASBinarySheetDelegate::refreshView(QObject *)
{
    setBeginEnabled(data_file_text_field() && !data_file_text_field()->text().isEmpty());
}

void DSImportSASBinarySheetDelegate::chooseDataFile(QObject *)
{
    chooseDataFiles(k_dataTypes, QStringLiteral("Choose data file (.sas7bdat)"));
}

void DSImportSASBinarySheetDelegate::chooseDictionaryFile(QObject *)
{
    chooseDescriptionFile(k_catalogTypes, QStringLiteral("Choose catalog file (.sas7bcat)"),
                          [this](const QUrl &url, DSError *error) {
                              ds_value_labels labels;
                              return parseValueLabels(url, &labels, error);
                          });
}

void DSImportSASBinarySheetDelegate::saveSheet(QObject *sender)
{
    if (!isShown() || !dataFilesExist())
        return;
    const QUrl catalog = descriptionURL();
    ds_value_labels labels;
    DSError error;
    if (!catalog.isEmpty() && !parseValueLabels(catalog, &labels, &error)) {
        presentError(error);
        return;
    }
    DSImportFilesSheetDelegate::saveSheet(sender);
    auto importer = std::make_shared<DSDataImporterDTA>(dataURLArray());
    if (!catalog.isEmpty())
        importer->setValue_label_dict(labels);
    beginImport(std::move(importer));
}
