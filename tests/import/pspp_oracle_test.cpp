// The SPSS command-file import against PSPP: the command files of
// fixtures/pspp read by our parser, handlers and importer must give the
// values, variable labels and value labels that PSPP read from them
// (make_pspp_oracle.sh keeps its CSV of the values and its dictionary
// listing beside them).
#include "ImportTestSupport.h"

#include "import/DSDataImporterDCT.h"
#include "import/dictionary/ds_dictionary_file.h"
#include "import/dictionary/ds_stata_dct.h"
#include "import/dictionary/ds_value_labels.h"
#include "import/dictionary/sps_parse.h"
#include "model/DSColumn.h"
#include "model/DSDataTable.h"
#include "tests/support/ds_oracles.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace {

// What PSPP's DISPLAY DICTIONARY listed.
struct PsppDictionary
{
    QMap<QString, QString> labels;     // variable label by name, "" for none
    QMap<QString, bool> numeric;       // by name: an F format rather than A
    ds_value_labels valueLabels;       // by name, numbers for numeric variables
    QMap<QString, QString> missing;    // the "Missing Values" column by name, where PSPP lists it
};

// A value of PSPP's value-label listing without its footnote marks ("9[a]").
std::string withoutFootnotes(std::string value)
{
    while (value.size() > 3 && value.back() == ']' && value[value.size() - 3] == '[')
        value.resize(value.size() - 3);
    return value;
}

// Reads the "Variables" and "Value Labels" tables of PSPP's CSV listing;
// the latter names each variable by its label on its first row only.
PsppDictionary readPsppDictionary(const QString &path)
{
    PsppDictionary dictionary;
    QMap<QString, QString> nameOfLabel;
    std::string table;
    bool header = false;
    QString variable;
    for (const std::vector<std::string> &row : ds_read_csv_fixture(path)) {
        if (row.size() == 1 && row[0].rfind("Table: ", 0) == 0) {
            table = row[0].substr(7);
            header = true;
        } else if (row.size() < 3) {
            table.clear();
        } else if (header) {
            header = false;
        } else if (table == "Variables") {
            const QString name = QString::fromStdString(row[0]);
            dictionary.labels[name] = QString::fromStdString(row[2]);
            dictionary.numeric[name] = row[7].rfind('F', 0) == 0;
            nameOfLabel[QString::fromStdString(row[2])] = name;
            if (row.size() > 9)
                dictionary.missing[name] = QString::fromStdString(row[9]);
        } else if (table == "Value Labels") {
            if (!row[0].empty())
                variable = nameOfLabel.value(QString::fromStdString(row[0]));
            const std::string text = withoutFootnotes(row[1]);
            const QCborValue value = dictionary.numeric.value(variable) ? QCborValue(std::stod(text))
                                                                       : QCborValue(QString::fromStdString(text));
            dictionary.valueLabels[variable][value] = QString::fromStdString(row[2]);
        }
    }
    return dictionary;
}

// The record the command-file sheet hands the importer: the variables and
// their labels, one observation spanning the records the variables name.
ds_stata_dct_s *parseLayout(const QByteArray &text)
{
    ds_stata_dct_s *dct = dct_dictionary_new();
    EXPECT_EQ(sps_parse(text.constData(), size_t(text.size()), dct, dct_add_variable, dct_set_variable_label,
                        nullptr, nullptr),
              0);
    for (int32_t k = 0; k < dct->num_entries; ++k)
        dct->lines_per_obs = std::max(dct->lines_per_obs, dct->entries[k].line + 1);
    return dct;
}

ds_value_labels parseValueLabels(const QByteArray &text)
{
    ds_value_labels labels;
    EXPECT_EQ(sps_parse(text.constData(), size_t(text.size()), &labels, nullptr, nullptr, value_labels_add, nullptr),
              0);
    return labels;
}

// PSPP writes the system-missing value of a numeric variable as a blank.
std::vector<std::vector<std::string>> readPsppValues(const QString &path, const PsppDictionary &dictionary)
{
    std::vector<std::vector<std::string>> rows = ds_read_csv_fixture(path);
    for (size_t r = 1; r < rows.size(); ++r)
        for (size_t c = 0; c < rows[r].size(); ++c)
            if (rows[r][c] == " " && dictionary.numeric.value(QString::fromStdString(rows[0][c])))
                rows[r][c].clear();
    return rows;
}

// survey_range.sps labels "1 - 3" where survey.sps, for PSPP, which has no
// ranges, lists 1, 2 and 3: both must give what PSPP read from survey.sps.
TEST(PsppOracle, CommandFileImportMatchesPspp)
{
    ds_import_test_model();
    const PsppDictionary pspp = readPsppDictionary(ds_import_fixture(QStringLiteral("pspp/survey.dictionary.csv")));
    ASSERT_EQ(pspp.labels.size(), 6);
    ASSERT_EQ(pspp.valueLabels.size(), 2);
    const auto values = readPsppValues(ds_import_fixture(QStringLiteral("pspp/survey.values.csv")), pspp);
    for (const char *commands : {"pspp/survey.sps", "pspp/survey_range.sps"}) {
        SCOPED_TRACE(commands);
        const QByteArray text = ds_file_bytes(ds_import_fixture(QString::fromUtf8(commands)));
        ASSERT_FALSE(text.isEmpty());
        const ds_value_labels labels = parseValueLabels(text);
        EXPECT_EQ(labels, pspp.valueLabels);

        auto importer = std::make_shared<DSDataImporterDCT>(
            QList<QUrl>{QUrl::fromLocalFile(ds_import_fixture(QStringLiteral("pspp/survey.dat")))});
        importer->setDct(parseLayout(text));
        importer->setValue_labels(labels);
        ImportRun run(importer);
        run.run();
        ASSERT_EQ(run.tables().size(), 1) << run.errorText().toStdString();
        DSDataTable *table = run.tables()[0];
        ds_expect_table_equals_csv(table, values, nullptr);
        for (DSColumn *column : table->sortedColumns()) {
            SCOPED_TRACE(column->name().toStdString());
            EXPECT_EQ(column->title(), pspp.labels.value(column->name()));
            const auto expected = pspp.valueLabels.constFind(column->name());
            EXPECT_EQ(column->category_labels(),
                      expected == pspp.valueLabels.cend() ? QCborMap() : ds_category_labels(*expected));
        }
    }
}

// Whether PSPP's listing of a variable's missing values ("LOWEST THRU -1;
// 999.5", "150 THRU HIGHEST", "\"X\"") holds the cell's text.
bool psppListsAsMissing(const QString &listing, const std::string &cell, bool numeric)
{
    if (listing.isEmpty() || cell.empty())
        return false;
    for (const QString &item : listing.split(QStringLiteral("; "))) {
        if (!numeric) {
            if (item == QStringLiteral("\"%1\"").arg(QString::fromStdString(cell)))
                return true;
            continue;
        }
        const QStringList ends = item.split(QStringLiteral(" THRU "));
        const auto bound = [](const QString &text, double open) {
            return text == QLatin1String("LOWEST") || text == QLatin1String("HIGHEST") ? open : text.toDouble();
        };
        const double x = std::stod(cell);
        const double low = bound(ends.first(), -INFINITY), high = bound(ends.last(), INFINITY);
        if (low <= x && x <= high)
            return true;
    }
    return false;
}

// Imports the command file's data as the command-file sheet does (its
// layout, labels and missing values read from the file) and expects what
// PSPP listed: its values, each value PSPP lists as missing read as
// missing, its variable labels and its value labels.
void expectImportAsPspp(const QString &commands, const QString &data, const QString &dictionaryListing,
                        const QString &valuesListing)
{
    const PsppDictionary pspp = readPsppDictionary(dictionaryListing);
    ASSERT_FALSE(pspp.labels.isEmpty());
    std::vector<std::vector<std::string>> values = readPsppValues(valuesListing, pspp);
    ASSERT_GT(values.size(), 1u);
    int declared = 0;
    for (size_t r = 1; r < values.size(); ++r)
        for (size_t c = 0; c < values[r].size(); ++c) {
            const QString name = QString::fromStdString(values[0][c]);
            if (psppListsAsMissing(pspp.missing.value(name), values[r][c], pspp.numeric.value(name))) {
                values[r][c].clear();
                ++declared;
            }
        }
    EXPECT_GE(declared, 6) << "the fixture declares values of every kind missing";

    const QUrl url = QUrl::fromLocalFile(commands);
    DSError error;
    ds_value_labels labels;
    ds_missing_values missing;
    ds_stata_dct_s *dct = ds_parse_command_file(url, &error);
    ASSERT_TRUE(dct) << error.localizedDescription.toStdString();
    ASSERT_TRUE(ds_command_file_value_labels(url, &labels, &error));
    ASSERT_TRUE(ds_command_file_missing_values(url, &missing, &error));
    EXPECT_EQ(labels, pspp.valueLabels);
    auto importer = std::make_shared<DSDataImporterDCT>(QList<QUrl>{QUrl::fromLocalFile(data)});
    importer->setDct(dct);
    importer->setValue_labels(labels);
    importer->setMissing_values(missing);
    ImportRun run(importer);
    run.run();
    ASSERT_EQ(run.tables().size(), 1) << run.errorText().toStdString();
    ds_expect_table_equals_csv(run.tables()[0], values, nullptr);
    for (DSColumn *column : run.tables()[0]->sortedColumns()) {
        SCOPED_TRACE(column->name().toStdString());
        EXPECT_EQ(column->title(), pspp.labels.value(column->name()));
    }
}

// clinic.sps declares missing values of every form PSPP lists: single
// numbers, a text, a range open below with a number beside it, a range
// open above; make_pspp_oracle.sh kept what PSPP read.
TEST(PsppOracle, MissingValuesMatchKeptPsppListing)
{
    ds_import_test_model();
    expectImportAsPspp(ds_import_fixture(QStringLiteral("pspp/clinic.sps")),
                       ds_import_fixture(QStringLiteral("pspp/clinic.dat")),
                       ds_import_fixture(QStringLiteral("pspp/clinic.dictionary.csv")),
                       ds_import_fixture(QStringLiteral("pspp/clinic.values.csv")));
}

// The same against PSPP itself, run now on a copy of the files.
TEST(PsppOracle, MissingValuesMatchPsppRunNow)
{
#if defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "ThreadSanitizer cannot follow a threaded process into a child; the kept listing is checked";
#endif
    DS_FIND_ORACLE(pspp, "pspp");
    ds_import_test_model();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const char *name : {"clinic.sps", "clinic.dat", "oracle.sps"})
        ASSERT_TRUE(QFile::copy(ds_import_fixture(QStringLiteral("pspp/") + QLatin1String(name)), dir.filePath(QLatin1String(name))));
    QProcess run;
    run.setWorkingDirectory(dir.path());
    run.setStandardOutputFile(dir.filePath(QStringLiteral("dictionary.csv")));
    run.start(pspp, {QStringLiteral("-O"), QStringLiteral("format=csv"), QStringLiteral("clinic.sps"),
                     QStringLiteral("oracle.sps")});
    if (!run.waitForFinished(60000) || run.exitStatus() != QProcess::NormalExit || run.exitCode() != 0)
        DS_ORACLE_FAILED("PSPP did not read clinic.sps");
    expectImportAsPspp(dir.filePath(QStringLiteral("clinic.sps")), dir.filePath(QStringLiteral("clinic.dat")),
                       dir.filePath(QStringLiteral("dictionary.csv")), dir.filePath(QStringLiteral("values.csv")));
}

} // namespace

// Implied decimals ("INCOME 5-13 (2)"): a number written without a period
// takes its last digits as the fraction, one with a period stands as
// written, as PSPP read implied.dat (make_implied_oracle.sh).
TEST(PsppOracle, ImpliedDecimalsMatchPspp)
{
    ds_import_test_model();
    const QByteArray text = ds_file_bytes(ds_import_fixture(QStringLiteral("pspp/implied.sps")));
    ASSERT_FALSE(text.isEmpty());
    auto importer = std::make_shared<DSDataImporterDCT>(
        QList<QUrl>{QUrl::fromLocalFile(ds_import_fixture(QStringLiteral("pspp/implied.dat")))});
    importer->setDct(parseLayout(text));
    ImportRun run(importer);
    run.run();
    ASSERT_EQ(run.tables().size(), 1) << run.errorText().toStdString();
    std::vector<std::vector<std::string>> values =
        ds_read_csv_fixture(ds_import_fixture(QStringLiteral("pspp/implied.values.csv")));
    ASSERT_EQ(values.size(), 6u);
    // PSPP writes the system-missing value as a blank.
    for (auto &row : values)
        for (std::string &cell : row)
            if (cell == " ")
                cell.clear();
    ds_expect_table_equals_csv(run.tables()[0], values, nullptr);
}
