#include "ui/sheets/ds_register_sheet_classes.h"

#include "ui/DSNib.h"
#include "ui/sheets/DSDataImporterSheetDelegate.h"
#include "ui/sheets/DSExporterSheetDelegate.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

template <class T>
void registerSheetClass(const QString &className)
{
    DSStatDocumentSheetDelegate::registerClass(className, [] { return std::make_unique<T>(); });
}

// A progress sheet: the title over the bar and a Cancel button.
QObjectList progressSheet(const QString &title)
{
    auto *sheet = new QDialog;
    sheet->setObjectName(QStringLiteral("sheet"));
    sheet->setMinimumWidth(360);
    auto *layout = new QVBoxLayout(sheet);
    layout->addWidget(new QLabel(title));
    auto *bar = new QProgressBar;
    bar->setObjectName(QStringLiteral("progress_bar"));
    bar->setTextVisible(false);
    layout->addWidget(bar);
    auto *buttons = new QDialogButtonBox;
    QPushButton *cancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancel_button"));
    // The button ends the sheet through the controller, not the dialog.
    cancel->setAutoDefault(false);
    layout->addWidget(buttons);
    return {sheet};
}

} // namespace

void ds_register_sheet_classes()
{
    registerSheetClass<DSDataImporterSheetDelegate>(QStringLiteral("DSDataImporterSheetDelegate"));
    registerSheetClass<DSExporterSheetDelegate>(QStringLiteral("DSExporterSheetDelegate"));
    DSNib::registerNib(QStringLiteral("DataImporterSheet"),
                       [](QObject *) { return progressSheet(QStringLiteral("Importing data…")); });
    DSNib::registerNib(QStringLiteral("ExporterSheet"),
                       [](QObject *) { return progressSheet(QStringLiteral("Exporting data…")); });
}
