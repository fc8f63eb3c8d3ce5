#include "window_test_support.h"

#include "model/DSDataRoot.h"
#include "model/DSDataTable.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSTable.h"
#include "platform/store/DSManagedObjectContext.h"
#include "ui/panes/DSRecordsTableView.h"
#include "ui/panes/DSRecordsViewDelegate.h"
#include "ui/window/DSDocumentController.h"
#include "ui/window/DSStatDocumentWindow.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <iostream>

namespace {

// Every file of a package by relative path, with a digest of its bytes.
QMap<QString, QByteArray> packageDigest(const QString &path)
{
    QMap<QString, QByteArray> digest;
    QDirIterator it(path, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        QFile f(file);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        digest.insert(QDir(path).relativeFilePath(file), QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256));
    }
    return digest;
}

class DocumentControllerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ensureWindowTestApplication();
        ASSERT_TRUE(dir.isValid());
    }

    // A saved package with one table named "First".
    QString makePackage(const QString &name)
    {
        const QString path = dir.filePath(name);
        DSStatDocument document;
        EXPECT_TRUE(document.initWithType(DSStatDocument::nativeType));
        document.active_table()->setName(QStringLiteral("First"));
        DSError error;
        EXPECT_TRUE(document.writeSafelyToURL(QUrl::fromLocalFile(path), DSStatDocument::nativeType,
                                              DSSaveOperation::SaveAs, &error))
            << error.localizedDescription.toStdString();
        return path;
    }

    DSStatDocumentWindow *openEdited(const QString &path, const QString &newName)
    {
        DSStatDocumentWindow *document = controller.openDocumentWithContentsOfURL(QUrl::fromLocalFile(path));
        EXPECT_NE(document, nullptr);
        if (!document)
            return nullptr;
        EXPECT_TRUE(QTest::qWaitForWindowExposed(document->document_window()));
        document->active_table()->setName(newName);
        QCoreApplication::processEvents();
        EXPECT_TRUE(document->isDocumentEdited());
        EXPECT_TRUE(document->document_window()->isWindowModified());
        return document;
    }

    // Starts the application as it ships, offscreen, with its settings in
    // the scratch folder.
    void launch(QProcess &ostrel, const QStringList &arguments) const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
        environment.insert(QStringLiteral("POCL_CACHE_DIR"), QStringLiteral(OSTREL_TEST_POCL_CACHE_DIR));
        ostrel.setProcessEnvironment(environment);
        ostrel.start(QStringLiteral(OSTREL_TEST_EXECUTABLE), arguments);
    }

    // The save alert shown on the window, once it is there.
    static QMessageBox *alertOn(QWidget *window)
    {
        QMessageBox *alert = nullptr;
        EXPECT_TRUE(QTest::qWaitFor([&] {
            alert = window ? window->findChild<QMessageBox *>(QStringLiteral("save_changes_alert")) : nullptr;
            return alert && alert->isVisible();
        }));
        return alert;
    }

    static void answer(QMessageBox *alert, const QString &button)
    {
        ASSERT_NE(alert, nullptr);
        EXPECT_EQ(alert->windowModality(), Qt::WindowModal);
        auto *b = alert->findChild<QPushButton *>(button);
        ASSERT_NE(b, nullptr) << button.toStdString();
        QSignalSpy finished(alert, &QDialog::finished);
        QTest::mouseClick(b, Qt::LeftButton);
        EXPECT_EQ(finished.size(), 1);
        QCoreApplication::processEvents();
    }

    QTemporaryDir dir;
    FakeHost host;
    DSDocumentController controller{&host};
};

TEST_F(DocumentControllerTest, ClosingAnEditedDocumentAsksToSave)
{
    const QString path = makePackage(QStringLiteral("doc.ostrel"));
    const auto saved = packageDigest(path);
    DSStatDocumentWindow *document = openEdited(path, QStringLiteral("Edited"));
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(controller.documents().size(), 1);
    EXPECT_EQ(host.splashOrderedOut, 1);
    QPointer<QMainWindow> window = document->document_window();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("doc.ostrel[*]"));
    EXPECT_EQ(controller.openDocumentWithContentsOfURL(QUrl::fromLocalFile(path)), document)
        << "one window a document";

    // Cancel keeps the window and the edit.
    window->close();
    answer(alertOn(window), QStringLiteral("cancel_button"));
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(document->active_table()->name(), QStringLiteral("Edited"));

    // Don't Save closes it and leaves the package as it was.
    QPointer<DSStatDocumentWindow> alive = document;
    window->close();
    answer(alertOn(window), QStringLiteral("dont_save_button"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !alive; }));
    EXPECT_TRUE(controller.documents().isEmpty());
    EXPECT_EQ(packageDigest(path), saved);

    // Save writes it.
    document = openEdited(path, QStringLiteral("Saved"));
    ASSERT_NE(document, nullptr);
    window = document->document_window();
    keepPicture(window, QStringLiteral("document_window_edited.png"));
    alive = document;
    window->close();
    answer(alertOn(window), QStringLiteral("save_button"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !alive; }));
    EXPECT_NE(packageDigest(path), saved);
    DSStatDocument reopened;
    ASSERT_TRUE(reopened.readFromURL(QUrl::fromLocalFile(path), DSStatDocument::nativeType));
    EXPECT_EQ(reopened.active_table() ? reopened.active_table()->name() : QString(), QString())
        << "the active table is the window's choice";
    EXPECT_EQ(reopened.data_root()->tableAtIndex(0)->name(), QStringLiteral("Saved"));
}

TEST_F(DocumentControllerTest, QuittingReviewsEveryEditedDocument)
{
    DSStatDocumentWindow *first = openEdited(makePackage(QStringLiteral("a.ostrel")), QStringLiteral("A"));
    DSStatDocumentWindow *second = openEdited(makePackage(QStringLiteral("b.ostrel")), QStringLiteral("B"));
    ASSERT_TRUE(first && second);
    QSignalSpy terminated(&controller, &DSDocumentController::didTerminate);

    // Cancel stops the quit: nothing closes.
    controller.terminate();
    answer(alertOn(first->document_window()), QStringLiteral("cancel_button"));
    EXPECT_EQ(terminated.size(), 0);
    EXPECT_EQ(controller.documents().size(), 2);

    controller.terminate();
    answer(alertOn(first->document_window()), QStringLiteral("dont_save_button"));
    EXPECT_EQ(terminated.size(), 0) << "the second document is asked next";
    answer(alertOn(second->document_window()), QStringLiteral("dont_save_button"));
    EXPECT_EQ(terminated.size(), 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return controller.documents().isEmpty(); }));
}

TEST_F(DocumentControllerTest, ReadOnlyAndCleanDocumentsNeverAsk)
{
    const QString path = makePackage(QStringLiteral("clean.ostrel"));
    DSStatDocumentWindow *clean = controller.openDocumentWithContentsOfURL(QUrl::fromLocalFile(path));
    ASSERT_NE(clean, nullptr);
    const QString readOnlyPath = makePackage(QStringLiteral("sample.ostrel-ro"));
    const auto saved = packageDigest(readOnlyPath);
    DSStatDocumentWindow *readOnly = controller.openDocumentWithContentsOfURL(QUrl::fromLocalFile(readOnlyPath));
    ASSERT_NE(readOnly, nullptr);
    readOnly->active_table()->setName(QStringLiteral("Scribbled"));
    QCoreApplication::processEvents();
    EXPECT_FALSE(readOnly->isDocumentEdited());

    QSignalSpy terminated(&controller, &DSDocumentController::didTerminate);
    controller.terminate();
    EXPECT_EQ(terminated.size(), 1) << "nothing to ask";
    EXPECT_EQ(clean->document_window(), nullptr);
    EXPECT_EQ(readOnly->document_window(), nullptr);
    EXPECT_TRUE(QTest::qWaitFor([&] { return controller.documents().isEmpty(); }));
    EXPECT_EQ(packageDigest(readOnlyPath), saved);
}

TEST_F(DocumentControllerTest, TheOpenPanelOpensAPackageWithoutEnteringIt)
{
    const QString path = makePackage(QStringLiteral("panel.ostrel"));
    controller.openDocument();
    QFileDialog *panel = controller.openPanel();
    ASSERT_NE(panel, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel));
    panel->setDirectory(dir.path());
    auto *name = panel->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(name, nullptr);
    name->setText(QStringLiteral("panel.ostrel"));
    QTest::keyClick(name, Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !controller.documents().isEmpty(); }));
    EXPECT_EQ(controller.documents().first()->fileURL(), QUrl::fromLocalFile(path));
    EXPECT_EQ(controller.documents().first()->document_window()->windowTitle(), QStringLiteral("panel.ostrel[*]"));
}

TEST_F(DocumentControllerTest, TheApplicationOpensTheFileItIsGiven)
{
    const QString path = makePackage(QStringLiteral("doc.ostrel"));
    QProcess ostrel;
    launch(ostrel, {QStringLiteral("--quit-after-launch"), path});
    ASSERT_TRUE(ostrel.waitForFinished(60000));
    EXPECT_EQ(ostrel.exitCode(), 0) << ostrel.readAllStandardError().toStdString();
    const QString out = QString::fromUtf8(ostrel.readAllStandardOutput());
    EXPECT_EQ(out.count(QStringLiteral("window: ")), 1) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("window: doc.ostrel"))) << out.toStdString();
}

// One file of each importable family (written by the tool named in its
// fixture folder's script), with the tables its import must end with,
// first the active one; a damaged file ends with one error naming it.
struct ImportCase
{
    const char *file;  // beside this folder, or written by the test
    QStringList tables;  // "name records R columns C"
};

const QString kDamagedCSV = QStringLiteral("damaged.csv");

QList<ImportCase> importCases()
{
    return {
        {"small.csv", {QStringLiteral("small records 3 columns 2")}},
        {"../../import/fixtures/excel/openpyxl.xlsx",
         {QStringLiteral("Data records 5 columns 8"), QStringLiteral("Sparse records 2 columns 3")}},
        {"../../import/fixtures/stat/pspp.sav", {QStringLiteral("pspp records 3 columns 4")}},
        {"../../import/fixtures/sqlite/tables.sqlite",
         {QStringLiteral("a\"b records 2 columns 2"), QStringLiteral("allnull records 3 columns 0"),
          QStringLiteral("blobs records 4 columns 3"), QStringLiteral("mixed records 4 columns 2"),
          QStringLiteral("zeta records 5 columns 4")}},
        {"damaged.csv", {}},
    };
}

// The file of the case: the test's own CSV files are written into dir.
QString importFile(const ImportCase &c, const QTemporaryDir &dir)
{
    const QString name = QString::fromLatin1(c.file);
    if (name.contains(QLatin1Char('/')))
        return QFileInfo(name).absoluteFilePath();
    QFile file(dir.filePath(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    // A quote opened in the middle of an unquoted field.
    file.write(name == kDamagedCSV ? "a,b\n1,2\"\n3,4\n" : "a,b\n1,2\n3,4\n5,6\n");
    return file.fileName();
}

// The document's tables as the application reports them.
QStringList tableLines(DSStatDocumentWindow *document)
{
    QStringList lines;
    for (const DSTable *table : document->data_root()->sortedTables())
        lines << QStringLiteral("%1 records %2 columns %3")
                     .arg(table->name())
                     .arg(table->num_records())
                     .arg(table->columns().size());
    return lines;
}

TEST_F(DocumentControllerTest, TheApplicationImportsTheDataFileItIsGiven)
{
    for (const ImportCase &c : importCases()) {
        SCOPED_TRACE(c.file);
        const QString path = importFile(c, dir);
        const QString picture =
            QDir(QCoreApplication::applicationDirPath()).filePath(QFileInfo(path).completeBaseName() + "_launched.png");
        QProcess ostrel;
        launch(ostrel, {QStringLiteral("--quit-after-launch"), QStringLiteral("--window-picture"), picture, path});
        ASSERT_TRUE(ostrel.waitForFinished(60000));
        EXPECT_EQ(ostrel.exitCode(), 0) << ostrel.readAllStandardError().toStdString();
        const QStringList out = QString::fromUtf8(ostrel.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QStringList tables, errors;
        for (const QString &line : out) {
            if (line.startsWith(QStringLiteral("table: ")))
                tables << line.mid(7);
            if (line.startsWith(QStringLiteral("error: ")))
                errors << line.mid(7);
        }
        EXPECT_EQ(out.filter(QStringLiteral("window: ")), QStringList{QStringLiteral("window: Untitled")});
        EXPECT_TRUE(out.contains(QStringLiteral("edited: no"))) << out.join('\n').toStdString();
        QStringList expected = c.tables;
        if (!expected.isEmpty())
            expected.first() += QStringLiteral(" active");
        EXPECT_EQ(tables, expected);
        if (c.tables.isEmpty()) {
            ASSERT_EQ(errors.size(), 1) << out.join('\n').toStdString();
            EXPECT_TRUE(errors.first().contains(QFileInfo(path).fileName())) << errors.first().toStdString();
        } else {
            EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
        }
        EXPECT_TRUE(QFileInfo::exists(picture));
        std::cout << "window picture: " << picture.toStdString() << std::endl;
    }
}

TEST_F(DocumentControllerTest, TheOpenPanelImportsADataFile)
{
    for (const ImportCase &c : importCases()) {
        SCOPED_TRACE(c.file);
        const QString path = importFile(c, dir);
        controller.openDocument();
        QFileDialog *panel = controller.openPanel();
        ASSERT_NE(panel, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(panel));
        panel->setDirectory(QFileInfo(path).absolutePath());
        auto *name = panel->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setText(QFileInfo(path).fileName());
        QTest::keyClick(name, Qt::Key_Return);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !controller.documents().isEmpty(); }));
        DSStatDocumentWindow *document = controller.documents().last();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !document->isImporting(); }, 20000));
        QCoreApplication::processEvents();

        EXPECT_TRUE(document->fileURL().isEmpty()) << "an import makes an untitled document";
        EXPECT_EQ(document->document_window()->windowTitle(), QStringLiteral("Untitled[*]"));
        EXPECT_EQ(tableLines(document), c.tables);
        EXPECT_FALSE(document->isDocumentEdited());
        EXPECT_FALSE(document->document_window()->isWindowModified());
        const QList<QMessageBox *> alerts = document->document_window()->findChildren<QMessageBox *>();
        if (c.tables.isEmpty()) {
            ASSERT_EQ(alerts.size(), 1);
            EXPECT_TRUE(alerts.first()->text().contains(QFileInfo(path).fileName()))
                << alerts.first()->text().toStdString();
            keepPicture(document->document_window(), QStringLiteral("import_failed_window.png"));
            alerts.first()->accept();
        } else {
            EXPECT_TRUE(alerts.isEmpty());
            DSTable *active = document->active_table();
            ASSERT_NE(active, nullptr);
            EXPECT_EQ(tableLines(document).indexOf(c.tables.first()), active->index()) << "the first table is active";
            EXPECT_TRUE(active->showTable() && active->showRecords()) << "on its records pane";
            auto *records = dynamic_cast<DSRecordsViewDelegate *>(document->records_delegate());
            ASSERT_NE(records, nullptr);
            EXPECT_TRUE(records->records_table()->isVisible());
            EXPECT_EQ(records->records_table()->model()->rowCount(), active->num_records());
        }
        document->document_window()->close();
        ASSERT_TRUE(QTest::qWaitFor([&] { return controller.documents().isEmpty(); }));
    }
}

} // namespace

namespace {

TEST_F(DocumentControllerTest, AFolderWithoutAStoreIsRefusedWithAnError)
{
    const QString path = dir.filePath(QStringLiteral("empty.ostrel"));
    ASSERT_TRUE(QDir().mkpath(path));
    DSError error;
    EXPECT_EQ(controller.openDocumentWithContentsOfURL(QUrl::fromLocalFile(path), &error), nullptr);
    EXPECT_EQ(error.localizedDescription,
              QStringLiteral("The document “empty.ostrel” holds no store file, so it cannot be opened."));
    EXPECT_TRUE(controller.documents().isEmpty());
}

// A document whose column "Damaged" holds random bytes in place of its data
// (put there by the sqlite3 shell) opens, and its window shows one warning
// naming that column; the window stays usable behind it, the column reads
// as missing and takes no edit, and the other column keeps its values.
TEST_F(DocumentControllerTest, ADamagedDocumentOpensWithOneWarning)
{
    const QString path = dir.filePath(QStringLiteral("damaged.ostrel"));
    {
        DSStatDocument document;
        ASSERT_TRUE(document.initWithType(DSStatDocument::nativeType));
        DSTable *table = document.active_table();
        table->setName(QStringLiteral("Survey"));
        auto *damaged = ds_object_cast<DSNumericDataColumn>(addTestColumn(table, QStringLiteral("Damaged")));
        auto *sound = ds_object_cast<DSNumericDataColumn>(addTestColumn(table, QStringLiteral("Sound")));
        for (int row = 0; row < 500; ++row) {
            damaged->appendValue(row * 0.5);
            sound->appendValue(row);
        }
        ds_object_cast<DSDataTable>(table)->setNum_records(500);
        ASSERT_TRUE(DSDataColumn::saveAfterImport({damaged, sound}));
        DSError error;
        ASSERT_TRUE(document.writeSafelyToURL(QUrl::fromLocalFile(path), DSStatDocument::nativeType,
                                              DSSaveOperation::SaveAs, &error))
            << error.localizedDescription.toStdString();
    }
    QProcess sqlite;
    sqlite.start(QStringLiteral("sqlite3"),
                 {path + QStringLiteral("/Storage-006.sqlite"),
                  QStringLiteral("UPDATE Z_DATA_DSColumn_values SET data = randomblob(length(data)) WHERE Z_PK = "
                                 "(SELECT Z_PK FROM DSColumn WHERE name = 'Damaged')")});
    ASSERT_TRUE(sqlite.waitForFinished());
    ASSERT_EQ(sqlite.exitCode(), 0) << sqlite.readAllStandardError().toStdString();

    DSStatDocumentWindow *document = controller.openDocumentWithContentsOfURL(QUrl::fromLocalFile(path));
    ASSERT_NE(document, nullptr);
    QWidget *window = document->document_window();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    QMessageBox *alert = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        alert = window->findChild<QMessageBox *>(QStringLiteral("damage_alert"));
        return alert && alert->isVisible();
    }));
    EXPECT_EQ(window->findChildren<QMessageBox *>().size(), 1) << "one warning";
    EXPECT_EQ(alert->icon(), QMessageBox::Warning);
    EXPECT_EQ(alert->windowModality(), Qt::WindowModal);
    EXPECT_EQ(alert->text(), QStringLiteral("Part of this document is damaged. It reads as missing values, cannot be "
                                            "edited, and is saved exactly as it was found:\nThe column “Damaged” of "
                                            "the table “Survey”."));
    keepPicture(alert, QStringLiteral("damage_alert.png"));
    keepPicture(window, QStringLiteral("damage_alert_window.png"));
    const QList<DSColumn *> columns = document->active_table()->sortedColumns();
    ASSERT_EQ(columns.size(), 2);
    EXPECT_TRUE(columns[0]->isDamaged());
    EXPECT_FALSE(columns[0]->isEditable());
    const uint8_t *missing = nullptr;
    EXPECT_EQ(columns[0]->getMissingMask(&missing), qint64((500 + 7) / 8));
    EXPECT_FALSE(columns[1]->isDamaged());
    const double *values = nullptr;
    ASSERT_EQ(ds_object_cast<DSNumericDataColumn>(columns[1])->getValues(&values), 500);
    EXPECT_EQ(values[499], 499);

    QSignalSpy finished(alert, &QDialog::finished);
    QTest::mouseClick(alert->button(QMessageBox::Ok), Qt::LeftButton);
    EXPECT_EQ(finished.size(), 1);
    QCoreApplication::processEvents();
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(document->isDocumentEdited());
}

} // namespace
