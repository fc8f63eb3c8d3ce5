#include "ui/DSFileMenuDelegate.h"

#include "import/DSDataImporterCSV.h"
#include "ui/sheets/DSStatDocumentSheetDelegate.h"
#include "ui/window/DSDocumentWindowHost.h"
#include "ui/window/DSStatDocumentWindow.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QGridLayout>
#include <QLineEdit>
#include <QMenu>

#include <algorithm>
#include <memory>

namespace {

// Separators tagged 1 and 2 set the import items apart.
constexpr int k_firstSeparatorTag = 1;
constexpr int k_secondSeparatorTag = 2;

// The import items in menu order: object (action) name and first title.
// A null name stands for a separator of the tag.
struct ImportItem
{
    const char *name;
    const char *title;
    void (DSFileMenuDelegate::*action)();
    int separatorTag;
};

const ImportItem k_importItems[] = {
    {nullptr, nullptr, nullptr, k_firstSeparatorTag},
    {"importCSV", "Import Comma- or Tab-Separated Values...", &DSFileMenuDelegate::importCSV, 0},
    {"importOtherDelimited", "Import Delimiter-Separated File...", &DSFileMenuDelegate::importOtherDelimited, 0},
    {"importSpreadsheet", "Import Excel or Numbers Spreadsheet...", &DSFileMenuDelegate::importSpreadsheet, 0},
    {"importRData", "Import R Workspace or Single Object...", &DSFileMenuDelegate::importRData, 0},
    {"importSQLite", "Import SQLite Database...", &DSFileMenuDelegate::importSQLite, 0},
    {"importDatabaseFile", "Import Database File...", &DSFileMenuDelegate::importDatabaseFile, 0},
    {"importBinaryData", "Import Stata or SPSS Data File...", &DSFileMenuDelegate::importBinaryData, 0},
    {"importSAS7BDAT", "Import SAS Binary File...", &DSFileMenuDelegate::importSAS7BDAT, 0},
    {nullptr, nullptr, nullptr, k_secondSeparatorTag},
    {"importDatabase", "Import From Server...", &DSFileMenuDelegate::importDatabase, 0},
    {"importStataDictionary", "Import Text Using Stata Dictionary...", &DSFileMenuDelegate::importStataDictionary, 0},
    {"importCommands", "Import Text Using Commands...", &DSFileMenuDelegate::importCommands, 0},
};

// The items every update shows, by action name.
const char *const k_alwaysShown[] = {"importDatabaseFile", "importSQLite",          "importRData",
                                     "importDatabase",     "importBinaryData",      "importSAS7BDAT",
                                     "importStataDictionary", "importCommands"};

QString joined(const QStringList &words, const QString &separator)
{
    return words.join(separator);
}

QWidget *documentOutlet(DSStatDocumentWindow *document, const char *name)
{
    return document ? document->outlet(QString::fromLatin1(name)) : nullptr;
}

// A new panel of its own for one chooser.
QList<QUrl> runChooser(DSStatDocumentWindow *document, bool multiple, const std::optional<QStringList> &types,
                       const QString &title, QWidget *accessory)
{
    QWidget *parent = document ? document->document_window() : nullptr;
    auto panel = std::make_unique<QFileDialog>(parent);
    panel->setObjectName(QStringLiteral("import_panel"));
    return DSFileMenuDelegate::chooseFiles(panel.get(), multiple, types, title, accessory);
}

} // namespace

DSFileMenuDelegate::DSFileMenuDelegate(QObject *parent) : QObject(parent)
{
}

const QStringList &DSFileMenuDelegate::supportedFileExtensions()
{
    static const QStringList list{"csv", "tab",    "txt", "tsv", "xls",   "xlsx", "numbers",
                                  "rdata", "rda",  "rds", "sqlite", "sqlite3", "sl3", "db",
                                  "mdb", "accdb",  "dbf", "dta", "sav",   "por",  "sas7bdat"};
    return list;
}

const QStringList &DSFileMenuDelegate::delimitedTextExtensions()
{
    static const QStringList list{"csv", "tab", "tsv", "txt"};
    return list;
}

const QStringList &DSFileMenuDelegate::spreadsheetExtensions()
{
    static const QStringList list{"xls", "xlsx", "numbers"};
    return list;
}

const QStringList &DSFileMenuDelegate::rExtensions()
{
    static const QStringList list{"rdata", "rda", "rds"};
    return list;
}

const QStringList &DSFileMenuDelegate::databaseFileExtensions()
{
    static const QStringList list{"dbf", "mdb", "accdb"};
    return list;
}

const QStringList &DSFileMenuDelegate::statisticalPackageExtensions()
{
    static const QStringList list{"sav", "por", "dta"};
    return list;
}

QString DSFileMenuDelegate::phraseForExtensions(const QStringList &extensions)
{
    if (extensions.isEmpty())
        return QString();
    if (extensions.size() == 1)
        return QStringLiteral(".%1").arg(extensions[0]);
    if (extensions.size() == 2)
        return QStringLiteral(".%1 or .%2").arg(extensions[0], extensions[1]);
    QString phrase;
    for (qsizetype i = 0; i + 1 < extensions.size(); ++i)
        phrase += QStringLiteral(".%1, ").arg(extensions[i]);
    return phrase + QStringLiteral("or .%1").arg(extensions.last());
}

QString DSFileMenuDelegate::titleForImporting(const QString &kind, const QStringList &extensions)
{
    const QString phrase = phraseForExtensions(extensions);
    return phrase.isEmpty() ? QStringLiteral("Import %1").arg(kind)
                            : QStringLiteral("Import %1 (%2)").arg(kind, phrase);
}

std::optional<QStringList> DSFileMenuDelegate::allExtensionsForExtensions(const std::optional<QStringList> &extensions)
{
    if (!extensions)
        return std::nullopt;
    QStringList all;
    for (const QString &extension : *extensions) {
        all << extension << extension.toUpper();
        if (extension == QLatin1String("rdata"))
            all << QStringLiteral("RData");
    }
    return all;
}

QStringList DSFileMenuDelegate::allSupportedFileExtensions()
{
    return *allExtensionsForExtensions(supportedFileExtensions());
}

QList<QUrl> DSFileMenuDelegate::chooseFiles(QFileDialog *panel, bool multiple, const std::optional<QStringList> &types,
                                            const QString &title, QWidget *accessory)
{
    // The accessory goes into Qt's own panel layout, under the file list.
    panel->setOption(QFileDialog::DontUseNativeDialog);
    panel->setWindowTitle(title);
    panel->setFileMode(multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    panel->setAcceptMode(QFileDialog::AcceptOpen);
    if (types) {
        QStringList patterns;
        for (const QString &type : *types)
            patterns << QStringLiteral("*.%1").arg(type);
        panel->setNameFilter(QStringLiteral("Importable files (%1)").arg(patterns.join(QLatin1Char(' '))));
    }
    QPointer<QWidget> owner = accessory ? accessory->parentWidget() : nullptr;
    if (auto *layout = qobject_cast<QGridLayout *>(panel->layout()); layout && accessory) {
        layout->addWidget(accessory, layout->rowCount(), 0, 1, layout->columnCount());
        accessory->show();
    }
    const bool chosen = panel->exec() == QDialog::Accepted;
    if (accessory) {
        accessory->hide();
        accessory->setParent(owner);
    }
    return chosen ? panel->selectedUrls() : QList<QUrl>();
}

QList<QUrl> DSFileMenuDelegate::chooseCSVForDocument(DSStatDocumentWindow *document, bool multiple)
{
    return runChooser(document, multiple, allExtensionsForExtensions(delimitedTextExtensions()),
                      titleForImporting(QStringLiteral("Comma- or Tab-Separated Values"), delimitedTextExtensions()),
                      documentOutlet(document, "csv_import_accessory"));
}

QList<QUrl> DSFileMenuDelegate::chooseOtherDelimitedForDocument(DSStatDocumentWindow *document, bool multiple)
{
    return runChooser(document, multiple, std::nullopt, QStringLiteral("Import Delimiter-Separated File"),
                      documentOutlet(document, "delimited_text_import_accessory"));
}

QList<QUrl> DSFileMenuDelegate::chooseSpreadsheetForDocument(DSStatDocumentWindow *document, bool multiple)
{
    return runChooser(document, multiple, allExtensionsForExtensions(spreadsheetExtensions()),
                      titleForImporting(QStringLiteral("Excel or Numbers Spreadsheet"), spreadsheetExtensions()),
                      documentOutlet(document, "spreadsheet_import_accessory"));
}

QList<QUrl> DSFileMenuDelegate::chooseRDataForDocument(DSStatDocumentWindow *document, bool multiple)
{
    return runChooser(document, multiple, allExtensionsForExtensions(rExtensions()),
                      titleForImporting(QStringLiteral("R Workspace or Single Object"), rExtensions()), nullptr);
}

QList<QUrl> DSFileMenuDelegate::chooseSQLiteForDocument(DSStatDocumentWindow *document, bool multiple)
{
    return runChooser(document, multiple, std::nullopt,
                      QStringLiteral("Import %1").arg(QStringLiteral("SQLite Database")), nullptr);
}

QList<QUrl> DSFileMenuDelegate::chooseDatabaseFileForDocument(DSStatDocumentWindow *document, bool multiple)
{
    const QString kind = QStringLiteral("%1 Database").arg(joined({"DBF", "Microsoft Access"}, QStringLiteral(" or ")));
    return runChooser(document, multiple, allExtensionsForExtensions(databaseFileExtensions()),
                      titleForImporting(kind, databaseFileExtensions()), nullptr);
}

QList<QUrl> DSFileMenuDelegate::chooseBinaryDataForDocument(DSStatDocumentWindow *document, bool multiple)
{
    return runChooser(document, multiple, allExtensionsForExtensions(statisticalPackageExtensions()),
                      titleForImporting(QStringLiteral("Stata or SPSS Data File"), statisticalPackageExtensions()),
                      nullptr);
}

QList<QUrl> DSFileMenuDelegate::chooseAnyForDocument(DSStatDocumentWindow *document, bool multiple)
{
    if (document)
        document->refreshImportAccessory();
    return runChooser(document, multiple, allSupportedFileExtensions(),
                      QStringLiteral("Import %1").arg(phraseForExtensions(supportedFileExtensions())),
                      document ? document->general_import_accessory() : nullptr);
}

qint64 DSFileMenuDelegate::delimiterForDocument(DSStatDocumentWindow *document)
{
    qint64 tag = ',';
    if (QWidget *matrix = documentOutlet(document, "delimited_text_import_matrix"))
        for (QAbstractButton *cell : matrix->findChildren<QAbstractButton *>())
            if (cell->isChecked())
                tag = cell->property("tag").toLongLong();
    if (tag != -1)
        return tag;
    const auto *field = qobject_cast<QLineEdit *>(documentOutlet(document, "delimited_text_import_field"));
    const QString text = field ? field->text() : QString();
    return text.isEmpty() ? 32 : text.at(0).unicode();
}

void DSFileMenuDelegate::addImportItems(QMenu *menu)
{
    QAction *importData = menu->addAction(QStringLiteral("Import Data..."));
    importData->setObjectName(QStringLiteral("importData"));
    connect(importData, &QAction::triggered, this, [this, importData] {
        if (m_document)
            m_document->importData(importData);
    });
    for (const ImportItem &item : k_importItems) {
        if (!item.name) {
            menu->addSeparator()->setData(item.separatorTag);
            continue;
        }
        QAction *action = menu->addAction(QString::fromUtf8(item.title));
        action->setObjectName(QString::fromLatin1(item.name));
        connect(action, &QAction::triggered, this, [this, method = item.action] { (this->*method)(); });
    }
    connect(menu, &QMenu::aboutToShow, this, [this, menu] { menuNeedsUpdate(menu); });
}

void DSFileMenuDelegate::beginImport(const QString &className, const QList<QUrl> &urls)
{
    if (urls.isEmpty() || !m_document)
        return;
    std::shared_ptr<DSDataImporter> importer = DSDataImporter::importerForClassName(className, urls);
    if (auto *csv = dynamic_cast<DSDataImporterCSV *>(importer.get()))
        csv->setDelimiter(delimiterForDocument(m_document));
    m_document->beginImport(std::move(importer), 0);
}

void DSFileMenuDelegate::importCSV()
{
    beginImport(QStringLiteral("DSDataImporterMultiple"), chooseCSVForDocument(m_document, true));
}

void DSFileMenuDelegate::importOtherDelimited()
{
    beginImport(QStringLiteral("DSDataImporterCSV"), chooseOtherDelimitedForDocument(m_document, true));
}

void DSFileMenuDelegate::importSpreadsheet()
{
    beginImport(QStringLiteral("DSDataImporterMultiple"), chooseSpreadsheetForDocument(m_document, true));
}

void DSFileMenuDelegate::importRData()
{
    beginImport(QStringLiteral("DSDataImporterMultiple"), chooseRDataForDocument(m_document, true));
}

void DSFileMenuDelegate::importSQLite()
{
    beginImport(QStringLiteral("DSDataImporterSQLite"), chooseSQLiteForDocument(m_document, true));
}

void DSFileMenuDelegate::importDatabaseFile()
{
    beginImport(QStringLiteral("DSDataImporterMultiple"), chooseDatabaseFileForDocument(m_document, true));
}

void DSFileMenuDelegate::importBinaryData()
{
    beginImport(QStringLiteral("DSDataImporterMultiple"), chooseBinaryDataForDocument(m_document, true));
}

void DSFileMenuDelegate::showSheet(const QString &property)
{
    if (!m_document)
        return;
    if (DSStatDocumentSheetDelegate *sheet = m_document->sheetDelegate(property))
        sheet->showSheet(m_document->windowForSheet());
    else
        m_document->beep();
}

void DSFileMenuDelegate::importDatabase()
{
    showSheet(QStringLiteral("import_database_sheet_delegate"));
}

void DSFileMenuDelegate::importSAS7BDAT()
{
    showSheet(QStringLiteral("import_sas_binary_sheet_delegate"));
}

void DSFileMenuDelegate::importStataDictionary()
{
    showSheet(QStringLiteral("import_stata_dictionary_sheet_delegate"));
}

void DSFileMenuDelegate::importCommands()
{
    showSheet(QStringLiteral("import_spss_dictionary_sheet_delegate"));
}

void DSFileMenuDelegate::menuNeedsUpdate(QMenu *menu)
{
    const bool canImport = m_document && !m_document->attached_sheet() &&
                           !(m_document->host() && m_document->host()->tutorialRunsOn(m_document));
    for (QAction *item : menu->actions()) {
        const QString name = item->objectName();
        if (item->text().startsWith(QLatin1String("Import ")))
            item->setEnabled(canImport);
        if (name == QLatin1String("importDatabaseFile"))
            item->setText(
                QStringLiteral("Import %1 Database...").arg(joined({"DBF", "Access"}, QStringLiteral(" or "))));
        else if (name == QLatin1String("importDatabase"))
            item->setText(
                QStringLiteral("Import From %1 Server...").arg(joined({"MySQL", "PostgreSQL"}, QStringLiteral(" or "))));
        else if (name == QLatin1String("importBinaryData")) {
            item->setText(QStringLiteral("Import Stata or SPSS Data File..."));
            item->setToolTip(
                QStringLiteral("Supported formats: %1").arg(joined({"DTA", "SAV", "POR"}, QStringLiteral(", "))));
        } else if (name == QLatin1String("importCommands"))
            item->setText(QStringLiteral("Import Text Using SAS or SPSS Commands..."));
        const int tag = item->isSeparator() ? item->data().toInt() : 0;
        if (tag == k_firstSeparatorTag || tag == k_secondSeparatorTag ||
            item->text().compare(QLatin1String("Import From Recent Server"), Qt::CaseInsensitive) == 0 ||
            std::any_of(std::begin(k_alwaysShown), std::end(k_alwaysShown),
                        [&](const char *shown) { return name == QLatin1String(shown); }))
            item->setVisible(true);
    }
}
