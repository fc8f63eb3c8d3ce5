#include "ui/sheets/ds_register_sheet_classes.h"

#include "ui/DSNib.h"
#include "ui/sheets/DSDataImporterSheetDelegate.h"
#include "ui/DSPredicateEditor.h"
#include "ui/sheets/DSExporterSheetDelegate.h"
#include "ui/sheets/DSMissingValuesSheetDelegate.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
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

// The missing-values sheet: the switch over the editor, Cancel and OK.
QObjectList missingValuesSheet()
{
    auto *sheet = new QDialog;
    sheet->setObjectName(QStringLiteral("sheet"));
    sheet->resize(560, 300);
    auto *layout = new QVBoxLayout(sheet);
    layout->addWidget(new QLabel(QStringLiteral("Treat a value as missing when any of these conditions holds:")));
    auto *apply = new QCheckBox(QStringLiteral("Apply these conditions"));
    apply->setObjectName(QStringLiteral("apply_predicate_checkbox"));
    layout->addWidget(apply);
    auto *scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    auto *editor = new DSPredicateEditor;
    editor->setObjectName(QStringLiteral("predicate_editor"));
    scroll->setWidget(editor);
    layout->addWidget(scroll, 1);
    auto *buttons = new QDialogButtonBox;
    QPushButton *cancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancel_button"));
    cancel->setAutoDefault(false);
    QPushButton *save = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    save->setObjectName(QStringLiteral("save_button"));
    save->setDefault(true);
    layout->addWidget(buttons);
    return {sheet};
}

} // namespace

void ds_register_sheet_classes()
{
    registerSheetClass<DSDataImporterSheetDelegate>(QStringLiteral("DSDataImporterSheetDelegate"));
    registerSheetClass<DSExporterSheetDelegate>(QStringLiteral("DSExporterSheetDelegate"));
    registerSheetClass<DSMissingValuesSheetDelegate>(QStringLiteral("DSMissingValuesSheetDelegate"));
    DSNib::registerNib(QStringLiteral("MissingValuesSheet"), [](QObject *) { return missingValuesSheet(); });
    DSNib::registerNib(QStringLiteral("DataImporterSheet"),
                       [](QObject *) { return progressSheet(QStringLiteral("Importing data…")); });
    DSNib::registerNib(QStringLiteral("ExporterSheet"),
                       [](QObject *) { return progressSheet(QStringLiteral("Exporting data…")); });
}
