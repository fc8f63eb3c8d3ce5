// The File menu's import commands, driven offscreen through the document
// window's real menu bar and Qt's own file panels: titles and accepted
// types of every panel, the delimiter accessory, an SQLite file and a
// space-separated file imported through their items, and the items' state
// while a sheet is up or the tutorial runs.
#include "window_test_support.h"

#include "model/DSDataRoot.h"
#include "model/DSDataTable.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSTable.h"
#include "model/DSTextDataColumn.h"
#include "ui/DSFileMenuDelegate.h"
#include "ui/sheets/DSStatDocumentSheetDelegate.h"
#include "ui/window/DSDocumentController.h"
#include "ui/window/DSStatDocumentWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

struct PanelSeen
{
    QString title;
    QStringList filters;
    QFileDialog::FileMode mode = QFileDialog::AnyFile;
};

class FileMenuTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ensureWindowTestApplication();
        document = controller.openUntitledDocument();
        ASSERT_TRUE(document);
        fileMenu = fileMenuOf(document);
        ASSERT_TRUE(fileMenu);
    }
    void TearDown() override
    {
        if (document)
            document->close();
    }

    QAction *item(const char *name) const
    {
        return fileMenu->findChild<QAction *>(QString::fromLatin1(name));
    }
    QAction *itemNamed(const char *name) const
    {
        for (QAction *action : fileMenu->actions())
            if (action->objectName() == QLatin1String(name))
                return action;
        return nullptr;
    }
    // Triggers the item, answering its panel with respond.
    void trigger(const char *name, std::function<void(QFileDialog *)> respond)
    {
        QAction *action = itemNamed(name);
        ASSERT_TRUE(action) << name;
        whenPanelShows(document->document_window(), std::move(respond));
        action->trigger();
    }
    // Triggers the item and cancels its panel; what the panel showed.
    PanelSeen cancelledPanel(const char *name)
    {
        PanelSeen seen;
        trigger(name, [&seen](QFileDialog *panel) {
            seen = {panel->windowTitle(), panel->nameFilters(), panel->fileMode()};
            panel->reject();
        });
        return seen;
    }
    // Chooses the file in the panel.
    // Enters the file's full path as the panel's file name and closes the
    // panel as its Open button does. The name is entered last, with no event
    // in between: the panel's background listing of a folder clears it.
    static void choose(QFileDialog *panel, const QString &path)
    {
        auto *name = panel->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        ASSERT_TRUE(name);
        name->setText(QFileInfo(path).canonicalFilePath());
        panel->QDialog::accept();
    }
    void finishImport()
    {
        document->waitForBackgroundRuns();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
    QStringList tableNames() const
    {
        QStringList names;
        for (DSTable *table : document->data_root()->sortedTables())
            names << table->name();
        return names;
    }

    FakeHost host;
    DSDocumentController controller{&host};
    DSStatDocumentWindow *document = nullptr;
    QMenu *fileMenu = nullptr;
    QTemporaryDir dir;
};

TEST(FileMenuPhrases, PhrasesTitlesAndAcceptedTypes)
{
    const struct
    {
        QStringList extensions;
        const char *phrase;
    } cases[] = {
        {{}, ""},
        {{"csv"}, ".csv"},
        {{"xls", "xlsx"}, ".xls or .xlsx"},
        {{"csv", "tab", "tsv", "txt"}, ".csv, .tab, .tsv, or .txt"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(DSFileMenuDelegate::phraseForExtensions(c.extensions), QString::fromUtf8(c.phrase));
    EXPECT_EQ(DSFileMenuDelegate::titleForImporting("SQLite Database", {}), "Import SQLite Database");
    EXPECT_EQ(DSFileMenuDelegate::allExtensionsForExtensions(DSFileMenuDelegate::rExtensions()),
              (QStringList{"rdata", "RDATA", "RData", "rda", "RDA", "rds", "RDS"}));
    EXPECT_FALSE(DSFileMenuDelegate::allExtensionsForExtensions(std::nullopt));
    EXPECT_EQ(DSFileMenuDelegate::supportedFileExtensions().size(), 21);
    EXPECT_EQ(DSFileMenuDelegate::allSupportedFileExtensions().size(), 43);
}

// Every chooser's panel as its menu item opens it: the title, the types it
// accepts (any file for SQLite and other delimiters), several files at once.
TEST_F(FileMenuTest, EveryPanelHasItsTitleAndTypes)
{
    const QStringList before = tableNames();
    const struct
    {
        const char *item;
        const char *title;
        const char *filter;  // null: any file
    } cases[] = {
        {"importCSV", "Import Comma- or Tab-Separated Values (.csv, .tab, .tsv, or .txt)",
         "Importable files (*.csv *.CSV *.tab *.TAB *.tsv *.TSV *.txt *.TXT)"},
        {"importDatabaseFile", "Import DBF or Microsoft Access Database (.dbf, .mdb, or .accdb)",
         "Importable files (*.dbf *.DBF *.mdb *.MDB *.accdb *.ACCDB)"},
        {"importSpreadsheet", "Import Excel or Numbers Spreadsheet (.xls, .xlsx, or .numbers)", nullptr},
        {"importRData", "Import R Workspace or Single Object (.rdata, .rda, or .rds)",
         "Importable files (*.rdata *.RDATA *.RData *.rda *.RDA *.rds *.RDS)"},
        {"importBinaryData", "Import Stata or SPSS Data File (.sav, .por, or .dta)", nullptr},
        {"importSQLite", "Import SQLite Database", nullptr},
        {"importOtherDelimited", "Import Delimiter-Separated File", nullptr},
        {"importData",
         "Import .csv, .tab, .txt, .tsv, .xls, .xlsx, .numbers, .rdata, .rda, .rds, .sqlite, .sqlite3, .sl3, .db, "
         ".mdb, .accdb, .dbf, .dta, .sav, .por, or .sas7bdat",
         nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.item);
        const PanelSeen seen = cancelledPanel(c.item);
        EXPECT_EQ(seen.title, QString::fromUtf8(c.title));
        EXPECT_EQ(seen.mode, QFileDialog::ExistingFiles);
        const bool anyFile = std::string(c.item) == "importSQLite" || std::string(c.item) == "importOtherDelimited";
        if (c.filter) {
            EXPECT_EQ(seen.filters, QStringList{QString::fromUtf8(c.filter)});
        } else if (anyFile) {
            EXPECT_TRUE(seen.filters.isEmpty() || seen.filters == QStringList{QStringLiteral("All Files (*)")})
                << seen.filters.join(';').toStdString();
        }
    }
    EXPECT_EQ(tableNames(), before) << "a cancelled panel imports nothing";
}

// The SQLite item imports every table of the chosen file at the top of the
// table list; the empty table of the new document goes.
TEST_F(FileMenuTest, SQLiteItemImportsEveryTable)
{
    const QString database = QStringLiteral(OSTREL_TEST_SOURCE_DIR "/../../import/fixtures/sqlite/tables.sqlite");
    trigger("importSQLite", [&](QFileDialog *panel) { choose(panel, database); });
    finishImport();
    EXPECT_EQ(tableNames(), (QStringList{"a\"b", "allnull", "blobs", "mixed", "zeta"}));
    keepPicture(document->document_window(), QStringLiteral("file_menu_sqlite_import.png"));
}

// The delimiter accessory under the panel: the typed choice with an empty
// field splits the file at spaces.
TEST_F(FileMenuTest, OtherDelimiterWithEmptyFieldSplitsAtSpaces)
{
    QFile file(dir.filePath(QStringLiteral("spaced.txt")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("height weight name\n1.5 60 ann\n1.75 72.5 bob\n");
    file.close();
    trigger("importOtherDelimited", [&](QFileDialog *panel) {
        auto *accessory = panel->findChild<QWidget *>(QStringLiteral("delimited_text_import_accessory"));
        ASSERT_TRUE(accessory && accessory->isVisible());
        for (QAbstractButton *cell : accessory->findChildren<QAbstractButton *>())
            if (cell->property("tag").toInt() == -1)
                QTest::mouseClick(cell, Qt::LeftButton);
        keepPicture(panel, QStringLiteral("file_menu_delimited_panel.png"));
        choose(panel, file.fileName());
    });
    finishImport();
    EXPECT_EQ(DSFileMenuDelegate::delimiterForDocument(document), 32);
    ASSERT_EQ(tableNames(), QStringList{QStringLiteral("spaced")});
    DSTable *table = document->data_root()->sortedTables().first();
    QStringList columns;
    for (DSColumn *column : table->sortedColumns())
        columns << column->name();
    EXPECT_EQ(columns, (QStringList{"height", "weight", "name"}));
    // The accessory went back to the window, hidden.
    auto *accessory = document->outlet(QStringLiteral("delimited_text_import_accessory"));
    ASSERT_TRUE(accessory);
    EXPECT_EQ(accessory->window(), document->document_window());
    EXPECT_FALSE(accessory->isVisible());

    // A typed character is the delimiter.
    auto *field = qobject_cast<QLineEdit *>(document->outlet(QStringLiteral("delimited_text_import_field")));
    ASSERT_TRUE(field);
    QTest::keyClicks(field, QStringLiteral(";x"));
    EXPECT_EQ(field->text(), QStringLiteral(";"));
    EXPECT_EQ(DSFileMenuDelegate::delimiterForDocument(document), ';');
}

// Titles set by the update, and every "Import " item disabled while a sheet
// is up or the tutorial runs on the document.
TEST_F(FileMenuTest, UpdateSetsTitlesAndDisablesWhileBusy)
{
    auto *delegate = document->findChild<DSFileMenuDelegate *>(QStringLiteral("file_menu_delegate"));
    ASSERT_TRUE(delegate);
    const auto importItems = [this] {
        QList<QAction *> items;
        for (QAction *action : fileMenu->actions())
            if (action->text().startsWith(QLatin1String("Import ")))
                items << action;
        return items;
    };
    delegate->menuNeedsUpdate(fileMenu);
    EXPECT_EQ(itemNamed("importDatabaseFile")->text(), "Import DBF or Access Database...");
    EXPECT_EQ(itemNamed("importDatabase")->text(), "Import From MySQL or PostgreSQL Server...");
    EXPECT_EQ(itemNamed("importBinaryData")->toolTip(), "Supported formats: DTA, SAV, POR");
    EXPECT_EQ(itemNamed("importCommands")->text(), "Import Text Using SAS or SPSS Commands...");
    ASSERT_GE(importItems().size(), 12);
    for (QAction *action : importItems())
        EXPECT_TRUE(action->isEnabled() && action->isVisible()) << action->text().toStdString();
    keepPicture(fileMenu, QStringLiteral("file_menu.png"));

    document->setAttached_sheet(document->data_importer_sheet_delegate());
    delegate->menuNeedsUpdate(fileMenu);
    for (QAction *action : importItems())
        EXPECT_FALSE(action->isEnabled()) << "sheet up: " << action->text().toStdString();
    EXPECT_TRUE(fileMenu->actions().first()->isEnabled()) << "New stays enabled";
    document->setAttached_sheet(nullptr);

    host.tutorialDocument = document;
    delegate->menuNeedsUpdate(fileMenu);
    for (QAction *action : importItems())
        EXPECT_FALSE(action->isEnabled()) << "tutorial: " << action->text().toStdString();
    host.tutorialDocument = nullptr;
    delegate->menuNeedsUpdate(fileMenu);
    for (QAction *action : importItems())
        EXPECT_TRUE(action->isEnabled());
}

} // namespace
