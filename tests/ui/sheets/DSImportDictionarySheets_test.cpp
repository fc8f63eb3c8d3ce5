// The dictionary, command-file and SAS import sheets, opened from the File
// menu of a real document window and driven offscreen: the files a user
// chooses (through a chooser the test answers, and once through Qt's own
// file panel), the errors of files that cannot be read or parsed, and the
// tables an import adds, with their labels and missing values. The
// command file and data are PSPP's (tests/import/fixtures/pspp), the SAS
// data and catalogue ReadStat's (tests/import/fixtures/stat).
#include "../window/window_test_support.h"

#include "model/DSColumn.h"
#include "model/DSDataRoot.h"
#include "model/DSDataTable.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSTable.h"
#include "model/DSTextDataColumn.h"
#include "ui/sheets/DSImportCommandsSheetDelegate.h"
#include "ui/sheets/DSImportSASBinarySheetDelegate.h"
#include "ui/sheets/DSImportStataDictionarySheetDelegate.h"
#include "ui/window/DSDocumentController.h"
#include "ui/window/DSStatDocumentWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <deque>

namespace {

QString fixture(const QString &relative)
{
    return QStringLiteral(OSTREL_IMPORT_FIXTURES "/") + relative;
}

// What a sheet asked its chooser.
struct Asked
{
    bool multiple;
    std::optional<QStringList> types;
    QString title;
};

class ImportSheetTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ensureWindowTestApplication();
        ASSERT_TRUE(dir.isValid());
        document = controller.openUntitledDocument();
        ASSERT_TRUE(document);
        fileMenu = fileMenuOf(document);
        ASSERT_TRUE(fileMenu);
        errors = std::make_unique<QSignalSpy>(document, &DSStatDocument::errorPresented);
    }
    void TearDown() override
    {
        if (document)
            document->close();
    }

    // Opens the File menu (which updates its items) and chooses the item.
    void chooseMenuItem(const char *name)
    {
        QMetaObject::invokeMethod(fileMenu, "aboutToShow");
        for (QAction *action : fileMenu->actions())
            if (action->objectName() == QLatin1String(name)) {
                ASSERT_TRUE(action->isEnabled()) << name;
                action->trigger();
                return;
            }
        FAIL() << "no item " << name;
    }

    // Answers the sheet's next choices in order, recording what it asked.
    void answerChoices(DSImportFilesSheetDelegate *sheet)
    {
        sheet->setChooser([this](QWidget *, bool multiple, const std::optional<QStringList> &types,
                                 const QString &title) {
            asked.push_back({multiple, types, title});
            if (answers.empty())
                return QList<QUrl>();
            QList<QUrl> next = answers.front();
            answers.pop_front();
            return next;
        });
    }

    QUrl copy(const QString &from, const QString &name)
    {
        const QString to = dir.filePath(name);
        QFile::remove(to);
        EXPECT_TRUE(QFile::copy(from, to)) << to.toStdString();
        return QUrl::fromLocalFile(to);
    }
    QUrl write(const QString &name, const QByteArray &text)
    {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
        return QUrl::fromLocalFile(file.fileName());
    }

    static void click(QWidget *sheet, const char *button)
    {
        auto *found = sheet->findChild<QPushButton *>(QString::fromLatin1(button));
        ASSERT_TRUE(found) << button;
        QTest::mouseClick(found, Qt::LeftButton);
    }

    // The message of the last error presented, after its alert was kept as
    // a picture (when named) and dismissed.
    QString lastError(const QString &picture = {})
    {
        if (errors->isEmpty())
            return QString();
        if (auto *alert = document->document_window()->findChild<QMessageBox *>(QStringLiteral("error_alert"))) {
            if (!picture.isEmpty())
                keepPicture(alert, picture);
            alert->accept();
        }
        QCoreApplication::processEvents();
        return errors->takeLast().at(0).value<DSError>().localizedDescription;
    }

    void finishImport()
    {
        document->waitForBackgroundRuns();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
    QList<DSTable *> tables() const { return document->data_root()->sortedTables(); }
    // Keeps a picture of the window with the records showing their labels.
    void keepLabelledRecords(const QString &picture)
    {
        auto *labels = document->document_window()->findChild<QCheckBox *>(QStringLiteral("show_category_labels_button"));
        ASSERT_TRUE(labels);
        if (!labels->isChecked())
            QTest::mouseClick(labels, Qt::LeftButton, {}, QPoint(4, labels->height() / 2));
        QCoreApplication::processEvents();
        EXPECT_TRUE(labels->isChecked());
        keepPicture(document->document_window(), picture);
    }

    FakeHost host;
    DSDocumentController controller{&host};
    DSStatDocumentWindow *document = nullptr;
    QMenu *fileMenu = nullptr;
    QTemporaryDir dir;
    std::unique_ptr<QSignalSpy> errors;
    std::deque<QList<QUrl>> answers;
    std::vector<Asked> asked;
};

DSColumn *columnNamed(DSTable *table, const QString &name)
{
    for (DSColumn *column : table->sortedColumns())
        if (column->name() == name)
            return column;
    return nullptr;
}

std::vector<double> numbers(DSColumn *column)
{
    auto *numeric = dynamic_cast<DSNumericDataColumn *>(column);
    const double *values = nullptr;
    const qint64 n = numeric ? numeric->getValues(&values) : 0;
    return std::vector<double>(values, values + n);
}

MATCHER_P(SameNumbers, expected, "")
{
    if (arg.size() != expected.size())
        return false;
    for (size_t i = 0; i < arg.size(); ++i)
        if (!(arg[i] == expected[i] || (std::isnan(arg[i]) && std::isnan(expected[i]))))
            return false;
    return true;
}

// Three data files laid out by PSPP's command file: the sheet asks for the
// data and the command file, refuses a command file with an error, and
// imports three tables at the top with PSPP's labels and missing values.
TEST_F(ImportSheetTest, CommandFileSheetImportsThreeFilesWithLabelsAndMissingValues)
{
    chooseMenuItem("importCommands");
    auto *sheet = dynamic_cast<DSImportCommandsSheetDelegate *>(
        document->sheetDelegate(QStringLiteral("import_spss_dictionary_sheet_delegate")));
    ASSERT_TRUE(sheet);
    ASSERT_TRUE(sheet->isShown());
    ASSERT_TRUE(sheet->sheet()->isVisible());
    answerChoices(sheet);
    EXPECT_EQ(sheet->step2_label()->text(), "Step 2: SPSS or SAS commands");
    EXPECT_EQ(sheet->step2_instructions()->text(), "Choose a .sps or .sas file to describe the data:");
    EXPECT_FALSE(sheet->begin_import_button()->isEnabled());

    const QList<QUrl> data{copy(fixture("pspp/clinic.dat"), "north.dat"), copy(fixture("pspp/clinic.dat"), "south.dat"),
                           copy(fixture("pspp/clinic.dat"), "east.dat")};
    answers.push_back(data);
    click(sheet->sheet(), "choose_data_button");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_TRUE(asked[0].multiple);
    EXPECT_FALSE(asked[0].types);
    EXPECT_EQ(asked[0].title, "Choose data file(s)");
    EXPECT_EQ(sheet->data_file_text_field()->text(), data[0].toString() + " and 2 more");
    EXPECT_FALSE(sheet->begin_import_button()->isEnabled()) << "no command file yet";

    // A cancelled panel keeps the earlier choice.
    click(sheet->sheet(), "choose_data_button");
    EXPECT_EQ(sheet->dataURLArray(), data);
    EXPECT_EQ(sheet->data_file_text_field()->text(), data[0].toString() + " and 2 more");

    QByteArray broken = "DATA LIST FIXED\n /1 ID 1-3 SITE 5 (A).\n";
    for (int line = 3; line <= 11; ++line)
        broken += "* a comment.\n";
    broken += "FREQUENCIES ID.\n";
    answers.push_back({write("CLINIC.SPS", broken)});
    click(sheet->sheet(), "choose_dictionary_button");
    EXPECT_EQ(asked.back().title, "Choose dictionary file (.sps or .sas)");
    EXPECT_EQ(asked.back().types, (QStringList{"sps", "SPS", "sas", "SAS"}));
    EXPECT_FALSE(asked.back().multiple);
    EXPECT_EQ(lastError("import_commands_parse_error.png"),
              "Failed to parse .SPS file. Error on line #12. Please contact Ostrel support for help.");
    EXPECT_TRUE(sheet->dct_file_text_field()->text().isEmpty());
    EXPECT_FALSE(sheet->begin_import_button()->isEnabled());
    EXPECT_TRUE(sheet->isShown());

    const QUrl commands = copy(fixture("pspp/clinic.sps"), "clinic.sps");
    answers.push_back({commands});
    click(sheet->sheet(), "choose_dictionary_button");
    EXPECT_EQ(errors->count(), 0);
    EXPECT_EQ(sheet->dct_file_text_field()->text(), commands.toString());
    EXPECT_TRUE(sheet->begin_import_button()->isEnabled());
    keepPicture(sheet->sheet(), QStringLiteral("import_commands_sheet.png"));

    click(sheet->sheet(), "begin_import_button");
    EXPECT_FALSE(sheet->isShown());
    finishImport();
    EXPECT_EQ(lastError(), QString());
    const QList<DSTable *> imported = tables();
    ASSERT_EQ(imported.size(), 3);
    EXPECT_EQ(imported[0]->name(), "north");
    EXPECT_EQ(imported[1]->name(), "south");
    EXPECT_EQ(imported[2]->name(), "east");
    for (qsizetype i = 0; i < imported.size(); ++i)
        EXPECT_EQ(imported[i]->index(), i);

    DSTable *table = imported[0];
    EXPECT_EQ(table->num_records(), 7);
    DSColumn *pain = columnNamed(table, "PAIN");
    ASSERT_TRUE(pain);
    EXPECT_EQ(pain->title(), "Pain rating");
    EXPECT_TRUE(pain->treat_as_categories());
    EXPECT_EQ(pain->category_labels().value(QCborValue(3.0)).toString(), "Severe");
    // 99 is declared missing; the short last line has no rating.
    EXPECT_THAT(numbers(pain), SameNumbers(std::vector<double>{0, 3, NAN, 1, 2, 3, NAN}));
    EXPECT_THAT(numbers(columnNamed(table, "SCORE")),
                SameNumbers(std::vector<double>{12.5, NAN, NAN, 45, 0, NAN, 7}));
    EXPECT_THAT(numbers(columnNamed(table, "WEIGHT")),
                SameNumbers(std::vector<double>{61.5, 80, NAN, NAN, 72.5, 149.9, NAN}));
    auto *site = dynamic_cast<DSTextDataColumn *>(columnNamed(table, "SITE"));
    ASSERT_TRUE(site);
    EXPECT_EQ(site->category_labels().value(QCborValue(QStringLiteral("S"))).toString(), "South");

    // Undo takes the whole import back as one step.
    document->undo();
    QCoreApplication::processEvents();
    EXPECT_EQ(tables().size(), 1);
    document->redo();
    QCoreApplication::processEvents();
    ASSERT_EQ(tables().size(), 3);
    keepLabelledRecords(QStringLiteral("import_commands_result.png"));
}

// A Stata dictionary: begin stays off until both files are chosen; an
// error on line 4 is named when the file is chosen and again at the start
// of the import when the file was broken in between; a data file gone
// since it was chosen is named, and the sheet keeps every choice.
TEST_F(ImportSheetTest, StataDictionarySheetNamesEveryFailureAndKeepsTheChoices)
{
    chooseMenuItem("importStataDictionary");
    auto *sheet = dynamic_cast<DSImportStataDictionarySheetDelegate *>(
        document->sheetDelegate(QStringLiteral("import_stata_dictionary_sheet_delegate")));
    ASSERT_TRUE(sheet);
    ASSERT_TRUE(sheet->isShown());
    answerChoices(sheet);

    const QByteArray good = "dictionary {\n  _column(1) str10 name %10s \"Given name\"\n"
                            "  _column(12) int age %3f \"Age in years\"\n}\n";
    const QByteArray bad = "dictionary {\n  str10 name\n  int age\n  what is this\n}\n";
    const QUrl dictionary = write("people.dct", bad);
    answers.push_back({dictionary});
    click(sheet->sheet(), "choose_dictionary_button");
    EXPECT_EQ(asked.back().title, "Choose dictionary file (.dct)");
    EXPECT_EQ(asked.back().types, (QStringList{"dct", "DCT"}));
    EXPECT_EQ(lastError(), "Failed to parse .dct file. Error on line 4. Please contact Ostrel support for help.");
    EXPECT_TRUE(sheet->dct_file_text_field()->text().isEmpty());

    write("people.dct", good);
    answers.push_back({dictionary});
    click(sheet->sheet(), "choose_dictionary_button");
    EXPECT_EQ(sheet->dct_file_text_field()->text(), dictionary.toString());
    EXPECT_FALSE(sheet->begin_import_button()->isEnabled()) << "no data yet";

    const QUrl data = write("people.txt", "Ada        36\nGrace      85\n");
    answers.push_back({data});
    click(sheet->sheet(), "choose_data_button");
    EXPECT_EQ(sheet->data_file_text_field()->text(), data.toString());
    EXPECT_TRUE(sheet->begin_import_button()->isEnabled());
    keepPicture(sheet->sheet(), QStringLiteral("import_stata_dictionary_sheet.png"));

    write("people.dct", bad);
    click(sheet->sheet(), "begin_import_button");
    EXPECT_EQ(lastError(), "Failed to parse .dct file. Error on line 4. Please contact Ostrel support for help.");
    EXPECT_TRUE(sheet->isShown());
    EXPECT_EQ(sheet->dct_file_text_field()->text(), dictionary.toString());

    write("people.dct", good);
    QFile::rename(data.toLocalFile(), dir.filePath("moved.txt"));
    click(sheet->sheet(), "begin_import_button");
    EXPECT_EQ(lastError("import_missing_data_file.png"), "The data file “people.txt” could not be found.");
    EXPECT_TRUE(sheet->isShown());
    EXPECT_EQ(sheet->data_file_text_field()->text(), data.toString());

    QFile::rename(dir.filePath("moved.txt"), data.toLocalFile());
    click(sheet->sheet(), "begin_import_button");
    EXPECT_FALSE(sheet->isShown());
    finishImport();
    EXPECT_EQ(lastError(), QString());
    ASSERT_EQ(tables().size(), 1);
    DSTable *table = tables()[0];
    EXPECT_EQ(table->name(), "people");
    EXPECT_EQ(table->num_records(), 2);
    EXPECT_EQ(columnNamed(table, "age")->title(), "Age in years");
    EXPECT_THAT(numbers(columnNamed(table, "age")), SameNumbers(std::vector<double>{36, 85}));

    // Showing the sheet again starts afresh.
    chooseMenuItem("importStataDictionary");
    ASSERT_TRUE(sheet->isShown());
    EXPECT_TRUE(sheet->data_file_text_field()->text().isEmpty());
    EXPECT_TRUE(sheet->dct_file_text_field()->text().isEmpty());
    EXPECT_TRUE(sheet->dataURLArray().isEmpty());
    EXPECT_FALSE(sheet->begin_import_button()->isEnabled());
    click(sheet->sheet(), "cancel_button");
    EXPECT_FALSE(sheet->isShown());
}

// A SAS data file through Qt's file panel: begin is on at once, a file
// that is no catalogue is refused, and the catalogue's formats label the
// variable that names one.
TEST_F(ImportSheetTest, SasSheetImportsWithTheCataloguesLabels)
{
    chooseMenuItem("importSAS7BDAT");
    auto *sheet = dynamic_cast<DSImportSASBinarySheetDelegate *>(
        document->sheetDelegate(QStringLiteral("import_sas_binary_sheet_delegate")));
    ASSERT_TRUE(sheet);
    ASSERT_TRUE(sheet->isShown());
    EXPECT_FALSE(sheet->begin_import_button()->isEnabled());

    const QUrl data = copy(fixture("stat/labelled.sas7bdat"), "labelled.sas7bdat");
    whenPanelShows(document->document_window(), [path = data.toLocalFile()](QFileDialog *panel) {
        // The name is entered last, with no event in between: the panel's
        // background listing of a folder clears it.
        if (auto *name = panel->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
            name->setText(QFileInfo(path).canonicalFilePath());
        panel->QDialog::accept();
    });
    click(sheet->sheet(), "choose_data_button");
    EXPECT_EQ(sheet->dataURLArray(), QList<QUrl>{data});
    EXPECT_TRUE(sheet->begin_import_button()->isEnabled()) << "the catalogue is optional";

    answerChoices(sheet);
    answers.push_back({copy(fixture("pspp/clinic.sps"), "broken.sas7bcat")});
    click(sheet->sheet(), "choose_dictionary_button");
    EXPECT_EQ(asked.back().title, "Choose catalog file (.sas7bcat)");
    EXPECT_EQ(asked.back().types, (QStringList{"sas7bcat", "SAS7BCAT"}));
    EXPECT_EQ(lastError(), "Error parsing catalog file");
    EXPECT_TRUE(sheet->catalog_file_text_field()->text().isEmpty());

    const QUrl catalog = copy(fixture("stat/labels.sas7bcat"), "labels.sas7bcat");
    answers.push_back({catalog});
    click(sheet->sheet(), "choose_dictionary_button");
    EXPECT_EQ(sheet->catalog_file_text_field()->text(), catalog.toString());
    keepPicture(sheet->sheet(), QStringLiteral("import_sas_sheet.png"));

    click(sheet->sheet(), "begin_import_button");
    finishImport();
    EXPECT_EQ(lastError(), QString());
    ASSERT_EQ(tables().size(), 1);
    DSTable *table = tables()[0];
    EXPECT_EQ(table->name(), "labelled");
    EXPECT_EQ(table->num_records(), 4);
    DSColumn *sex = columnNamed(table, "SEX");
    ASSERT_TRUE(sex);
    EXPECT_EQ(sex->category_labels().value(QCborValue(9.0)).toString(), "Not stated");
    EXPECT_EQ(sex->category_labels().size(), 3);
    EXPECT_TRUE(columnNamed(table, "SITE")->category_labels().isEmpty());
    keepLabelledRecords(QStringLiteral("import_sas_result.png"));
}

} // namespace
