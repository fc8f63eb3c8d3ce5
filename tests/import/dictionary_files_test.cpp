// The describing files of the dictionary import sheets, read as the sheets
// read them: Stata dictionaries and SPSS and SAS command files (the record,
// value labels, missing values and the messages of a file that cannot be
// read or parsed), and SAS catalogues against R haven's reading of a
// catalogue written by ReadStat (fixtures/stat/make_sas_catalog.c).
#include "ImportTestSupport.h"

#include "import/DSDataImporterDTA.h"
#include "import/dictionary/ds_dictionary_file.h"
#include "import/dictionary/ds_stata_dct.h"
#include "import/ds_sas7bcat.h"
#include "model/DSColumn.h"
#include "model/DSDataTable.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

struct RecordFree
{
    void operator()(ds_stata_dct_s *dct) const { dct_dictionary_free(dct); }
};
using Record = std::unique_ptr<ds_stata_dct_s, RecordFree>;

// Eleven good lines of SPSS commands, then a bad twelfth.
QByteArray spsWithErrorOnLine12()
{
    QByteArray text = "DATA LIST FIXED\n /1 A 1-2 B 4-5.\n";
    for (int line = 3; line <= 11; ++line)
        text += "* comment line.\n";
    return text + "FREQUENCIES A.\n";
}

struct ParseCase
{
    const char *name;
    QByteArray text;
    // The message of the failure, or empty when the file parses.
    const char *failure;
    int entries;
    int linesPerObservation;
};

// Each file is parsed as the sheet parses the kind its extension names.
TEST(DictionaryFiles, RecordsAndParseFailuresByKind)
{
    const ParseCase cases[] = {
        {"people.dct", "dictionary {\n  str10 name\n  int age\n  junk junk junk\n}\n",
         "Failed to parse .dct file. Error on line 4. Please contact Ostrel support for help.", 0, 0},
        {"people.dct", "dictionary {\n  str10 name %10s\n  int age %3f\n}\n", nullptr, 2, 1},
        {"PEOPLE.SPS", spsWithErrorOnLine12(),
         "Failed to parse .SPS file. Error on line #12. Please contact Ostrel support for help.", 0, 0},
        {"people.sps", "", nullptr, 0, 1},
        {"records.sps", "DATA LIST FIXED /1 A 1 B 2 /3 C 1 D 2.", nullptr, 4, 3},
        {"people.sas", "data people;\n  infile 'p.txt';\n  input name $ 1-10 age 12-14;\nrun;\n", nullptr, 2, 1},
        {"broken.sas", "data people;\n  infile 'p.txt';\n  input name $ 1-10 age 12-14;\nrun;\n?\n",
         "Failed to parse .sas file. Error on line #5. Please contact Ostrel support for help.", 0, 0},
        {"people.txt", "anything at all", nullptr, 0, 1},
    };
    ImportFiles files;
    for (const ParseCase &c : cases) {
        SCOPED_TRACE(c.name);
        const QUrl url = files.write(QString::fromLatin1(c.name), c.text);
        DSError error;
        const bool stata = url.fileName().endsWith(QLatin1String(".dct"));
        Record dct(stata ? ds_parse_stata_dictionary_file(url, &error) : ds_parse_command_file(url, &error));
        if (c.failure) {
            EXPECT_FALSE(dct);
            EXPECT_EQ(error.code, 1);
            EXPECT_EQ(error.localizedDescription, QString::fromUtf8(c.failure));
            continue;
        }
        ASSERT_TRUE(dct) << error.localizedDescription.toStdString();
        EXPECT_EQ(dct->num_entries, c.entries);
        EXPECT_EQ(dct->lines_per_obs, c.linesPerObservation);
    }
}

TEST(DictionaryFiles, AFileThatIsGoneIsNamedWithItsReason)
{
    const QUrl url = QUrl::fromLocalFile(QStringLiteral("/nonexistent/folder/survey.sps"));
    DSError error;
    EXPECT_FALSE(Record(ds_parse_command_file(url, &error)));
    EXPECT_EQ(error.localizedDescription, "The file “survey.sps” could not be read: No such file or directory");
    ds_value_labels labels;
    EXPECT_FALSE(ds_command_file_value_labels(url, &labels, &error));
    ds_missing_values missing;
    EXPECT_FALSE(ds_command_file_missing_values(url, &missing, &error));
    EXPECT_FALSE(Record(ds_parse_stata_dictionary_file(QUrl::fromLocalFile("/nonexistent/p.dct"), &error)));
    EXPECT_EQ(error.localizedDescription, "The file “p.dct” could not be read: No such file or directory");
}

// SAS: variables of one format share its labels; a format without a VALUE
// definition labels nothing. Files of other kinds have no labels.
TEST(DictionaryFiles, SasFormatsLabelTheirVariables)
{
    ImportFiles files;
    const QUrl url = files.write(QStringLiteral("shared.sas"),
                                 "proc format;\n  value yesno 0 = 'No' 1 = 'Yes';\nrun;\n"
                                 "data d;\n  infile 'd.txt';\n  input a 1-1 b 3-3 c 5-5;\n  format a yesno. b yesno. c other.;\nrun;\n");
    ds_value_labels labels;
    DSError error;
    ASSERT_TRUE(ds_command_file_value_labels(url, &labels, &error)) << error.localizedDescription.toStdString();
    EXPECT_EQ(labels.keys(), (QStringList{"a", "b"}));
    EXPECT_EQ(labels.value("a"), labels.value("b"));
    EXPECT_EQ(labels.value("a").value(QCborValue(1.0)), "Yes");
    ds_missing_values missing;
    ASSERT_TRUE(ds_command_file_missing_values(url, &missing, &error));
    EXPECT_TRUE(missing.isEmpty());
    const QUrl other = files.write(QStringLiteral("other.txt"), "VALUE LABELS A 1 'one'.");
    EXPECT_TRUE(ds_command_file_value_labels(other, &labels, &error));
    EXPECT_TRUE(labels.isEmpty());
}

// What haven read from the catalogue, as variable -> (value -> label).
ds_value_labels havenLabels()
{
    ds_value_labels labels;
    const auto rows = ds_read_csv_fixture(ds_import_fixture(QStringLiteral("stat/labelled.haven_labels.csv")));
    for (size_t r = 1; r < rows.size(); ++r)
        labels[QString::fromStdString(rows[r][0])][QCborValue(std::stod(rows[r][1]))] =
            QString::fromStdString(rows[r][2]);
    return labels;
}

// The catalogue's formats label the data file's variables that name them,
// as haven labels them; a variable whose format the catalogue lacks gets
// none.
TEST(DictionaryFiles, SasCatalogueLabelsAsHavenReadsIt)
{
    ds_import_test_model();
    ds_value_labels catalogue;
    DSError error;
    ASSERT_TRUE(ds_sas7bcat_value_labels(QUrl::fromLocalFile(ds_import_fixture(QStringLiteral("stat/labels.sas7bcat"))),
                                         &catalogue, &error))
        << error.localizedDescription.toStdString();
    EXPECT_EQ(catalogue.keys(), QStringList{"SEXF"});

    auto importer = std::make_shared<DSDataImporterDTA>(
        QList<QUrl>{QUrl::fromLocalFile(ds_import_fixture(QStringLiteral("stat/labelled.sas7bdat")))});
    importer->setValue_label_dict(catalogue);
    ImportRun run(importer);
    run.run();
    ASSERT_EQ(run.tables().size(), 1) << run.errorText().toStdString();
    DSDataTable *table = run.tables()[0];
    ds_expect_table_matches_csv(table, ds_import_fixture(QStringLiteral("stat/labelled.haven.csv")));
    const ds_value_labels haven = havenLabels();
    ASSERT_EQ(haven.size(), 1);
    for (DSColumn *column : table->sortedColumns()) {
        SCOPED_TRACE(column->name().toStdString());
        const auto expected = haven.constFind(column->name());
        EXPECT_EQ(column->category_labels(),
                  expected == haven.cend() ? QCborMap() : ds_category_labels(*expected));
    }
}

TEST(DictionaryFiles, ANonCatalogueFailsWithTheLibrarysCode)
{
    const QString notCatalogues[] = {ds_import_fixture(QStringLiteral("pspp/clinic.sps")),
                                     QStringLiteral("/nonexistent/labels.sas7bcat")};
    for (const QString &path : notCatalogues) {
        SCOPED_TRACE(path.toStdString());
        ds_value_labels labels;
        DSError error;
        EXPECT_FALSE(ds_sas7bcat_value_labels(QUrl::fromLocalFile(path), &labels, &error));
        EXPECT_EQ(error.localizedDescription, "Error parsing catalog file");
        EXPECT_NE(error.code, 0);
    }
}

} // namespace
