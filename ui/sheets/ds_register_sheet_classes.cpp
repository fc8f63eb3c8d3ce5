#include "ui/sheets/ds_register_sheet_classes.h"

#include "ui/DSNib.h"
#include "ui/sheets/DSDataImporterSheetDelegate.h"
#include "ui/DSPredicateEditor.h"
#include "ui/sheets/DSExporterSheetDelegate.h"
#include "ui/sheets/DSImportCommandsSheetDelegate.h"
#include "ui/sheets/DSImportSASBinarySheetDelegate.h"
#include "ui/sheets/DSImportStataDictionarySheetDelegate.h"
#include "ui/sheets/DSMissingValuesSheetDelegate.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
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

// One step of an import sheet: its title over its instructions, then the
// field that shows the chosen file and the button that chooses it.
void addImportStep(QGridLayout *grid, int row, const QString &title, const QString &instructions,
                   const QString &field, const QString &button, const QString &labelName = {},
                   const QString &instructionsName = {})
{
    auto *heading = new QLabel(title);
    heading->setObjectName(labelName);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    grid->addWidget(heading, row, 0, 1, 2);
    auto *explanation = new QLabel(instructions);
    explanation->setObjectName(instructionsName);
    grid->addWidget(explanation, row + 1, 0, 1, 2);
    auto *text = new QLineEdit;
    text->setObjectName(field);
    text->setReadOnly(true);
    grid->addWidget(text, row + 2, 0);
    auto *choose = new QPushButton(QStringLiteral("Choose…"));
    choose->setObjectName(button);
    choose->setAutoDefault(false);
    grid->addWidget(choose, row + 2, 1);
}

// An import sheet of two steps (the data files, then the file that
// describes them), Cancel and Begin Import.
QObjectList importFilesSheet(const QString &title, const QString &dataInstructions, const QString &step2,
                             const QString &step2Instructions, const QString &descriptionField)
{
    auto *sheet = new QDialog;
    sheet->setObjectName(QStringLiteral("sheet"));
    sheet->setWindowTitle(title);
    sheet->setMinimumWidth(560);
    auto *layout = new QVBoxLayout(sheet);
    auto *grid = new QGridLayout;
    grid->setVerticalSpacing(6);
    addImportStep(grid, 0, QStringLiteral("Step 1: Data"), dataInstructions, QStringLiteral("data_file_text_field"),
                  QStringLiteral("choose_data_button"));
    grid->setRowMinimumHeight(3, 12);
    addImportStep(grid, 4, step2, step2Instructions, descriptionField, QStringLiteral("choose_dictionary_button"),
                  QStringLiteral("step2_label"), QStringLiteral("step2_instructions"));
    layout->addLayout(grid);
    layout->addStretch(1);
    auto *buttons = new QDialogButtonBox;
    QPushButton *cancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancel_button"));
    cancel->setAutoDefault(false);
    QPushButton *begin = buttons->addButton(QStringLiteral("Begin Import"), QDialogButtonBox::AcceptRole);
    begin->setObjectName(QStringLiteral("begin_import_button"));
    begin->setDefault(true);
    layout->addWidget(buttons);
    return {sheet};
}

} // namespace

void ds_register_sheet_classes()
{
    registerSheetClass<DSDataImporterSheetDelegate>(QStringLiteral("DSDataImporterSheetDelegate"));
    registerSheetClass<DSExporterSheetDelegate>(QStringLiteral("DSExporterSheetDelegate"));
    registerSheetClass<DSMissingValuesSheetDelegate>(QStringLiteral("DSMissingValuesSheetDelegate"));
    registerSheetClass<DSImportStataDictionarySheetDelegate>(QStringLiteral("DSImportStataDictionarySheetDelegate"));
    registerSheetClass<DSImportCommandsSheetDelegate>(QStringLiteral("DSImportCommandsSheetDelegate"));
    registerSheetClass<DSImportSASBinarySheetDelegate>(QStringLiteral("DSImportSASBinarySheetDelegate"));
    DSNib::registerNib(QStringLiteral("ImportStataDictionarySheet"), [](QObject *) {
        return importFilesSheet(QStringLiteral("Import Text Using Stata Dictionary"),
                                QStringLiteral("Choose one or more text files of data:"),
                                QStringLiteral("Step 2: Stata dictionary"),
                                QStringLiteral("Choose a .dct file to describe the data:"),
                                QStringLiteral("dct_file_text_field"));
    });
    // Step 2's texts are set as the sheet refreshes.
    DSNib::registerNib(QStringLiteral("ImportCommandsSheet"), [](QObject *) {
        return importFilesSheet(QStringLiteral("Import Text Using SAS or SPSS Commands"),
                                QStringLiteral("Choose one or more text files of data:"), QString(), QString(),
                                QStringLiteral("dct_file_text_field"));
    });
    DSNib::registerNib(QStringLiteral("ImportSASBinarySheet"), [](QObject *) {
        return importFilesSheet(QStringLiteral("Import SAS Binary File"),
                                QStringLiteral("Choose one or more SAS data files (.sas7bdat):"),
                                QStringLiteral("Step 2 (optional): SAS catalog"),
                                QStringLiteral("Choose a .sas7bcat file whose formats label the values:"),
                                QStringLiteral("catalog_file_text_field"));
    });
    DSNib::registerNib(QStringLiteral("MissingValuesSheet"), [](QObject *) { return missingValuesSheet(); });
    DSNib::registerNib(QStringLiteral("DataImporterSheet"),
                       [](QObject *) { return progressSheet(QStringLiteral("Importing data…")); });
    DSNib::registerNib(QStringLiteral("ExporterSheet"),
                       [](QObject *) { return progressSheet(QStringLiteral("Exporting data…")); });
}
