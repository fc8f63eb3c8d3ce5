// Stata, SPSS and SAS data files written by R haven and PSPP, and haven's
// and foreign's own example files, against what foreign, pandas and haven
// read from them (tests/import/fixtures/stat/make_stat_files.R).
#include "ImportTestSupport.h"

#include "import/DSDataImporterDTA.h"
#include "model/DSDataTable.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSTextDataColumn.h"
#include "model/DSTimeDataColumn.h"
#include "platform/store/DSEntityDescription.h"

#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMutex>

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

QString fixture(const char *name)
{
    return QStringLiteral(OSTREL_TEST_SOURCE_DIR "/fixtures/stat/") + QLatin1String(name);
}

std::unique_ptr<ImportRun> importFiles(const QList<QUrl> &urls)
{
    ds_import_test_model();
    auto run = std::make_unique<ImportRun>(std::make_shared<DSDataImporterDTA>(urls));
    run->run();
    return run;
}

// The one table of the fixture, or null (with a failure).
DSDataTable *importFixture(const char *name, std::unique_ptr<ImportRun> *run)
{
    *run = importFiles({QUrl::fromLocalFile(fixture(name))});
    const QList<DSDataTable *> tables = (*run)->tables();
    EXPECT_EQ(tables.size(), 1) << name << ": " << (*run)->errorText().toStdString();
    return tables.size() == 1 ? tables[0] : nullptr;
}

struct OracleCase
{
    const char *file;
    const char *oracle;
    QStringList skip;
};

// pandas leaves SAS dates as numbers, keeps dates before 1677 as objects
// and does not floor Stata's milliseconds: those columns are left to the
// other oracles.
const OracleCase k_oracleCases[] = {
    {"stata8.dta", "stata8_dta.pandas.csv", {"day", "yr", "tc", "txt"}},
    {"stata12.dta", "stata12.foreign.csv", {}},
    {"spss.sav", "spss.foreign.csv", {}},
    {"pspp.sav", "pspp_sav.foreign.csv", {}},
    {"pspp.por", "pspp_por.foreign.csv", {}},
    {"sas.sas7bdat", "sas.haven.csv", {}},
    {"sas.sas7bdat", "sas_sas7bdat.pandas.csv", {"day", "when"}},
    {"stata15.dta", "stata15.haven.csv", {}},
    {"iris.dta", "iris_dta.pandas.csv", {"species"}},
    {"iris.sas7bdat", "iris_sas7bdat.pandas.csv", {}},
    {"electric.sav", "electric.foreign.csv", {}},
    {"personnel.sav", "personnel.foreign.csv", {}},
    {"physiology.sav", "physiology.foreign.csv", {}},
};

TEST(DTAImport, FilesEqualOtherReaders)
{
    for (const OracleCase &c : k_oracleCases) {
        SCOPED_TRACE(c.file);
        std::unique_ptr<ImportRun> run;
        if (DSDataTable *table = importFixture(c.file, &run))
            ds_expect_table_matches_csv(table, fixture(c.oracle), c.skip);
    }
}

struct TimeCase
{
    const char *file;
    const char *column;
    qint64 row;
    double time;     // seconds since 2001-01-01 GMT
    double interval; // the period's length
};

const TimeCase k_timeCases[] = {
    {"stata12.dta", "day", 0, 599529600, 86400},            // %td 21915: 2020-01-01
    {"stata12.dta", "day", 1, -1293926400, 86400},          // %td 0: 1960-01-01
    {"stata12.dta", "mon", 0, -1291248000, 29 * 86400},     // %tm 1: 1960-02-01, 29 days
    {"stata12.dta", "qtr", 0, -1286064000, 91 * 86400},     // %tq 1: 1960-04-01
    {"stata12.dta", "yr", 0, 599529600, 366 * 86400},       // %ty 2020
    {"stata12.dta", "tc", 0, -1293926399, 1},               // %tc 1500: floored to the second
    {"spss.sav", "day", 0, 599529600, 86400},               // DATE11
    {"spss.sav", "when", 0, 599574615, 1},                  // DATETIME20
    {"sas.sas7bdat", "day", 0, 599529600, 86400},           // DATE9.
    {"sas.sas7bdat", "when", 0, 599574615, 1},              // DATETIME
    {"pspp.por", "D", 1, -13197600000, 86400},              // 1582-10-15
};

TEST(DTAImport, TimeColumnsOnTheirEpochs)
{
    for (const TimeCase &c : k_timeCases) {
        SCOPED_TRACE(std::string(c.file) + " " + c.column);
        std::unique_ptr<ImportRun> run;
        DSDataTable *table = importFixture(c.file, &run);
        ASSERT_NE(table, nullptr);
        auto *time = ds_object_cast<DSTimeDataColumn>(ds_column_named(table, c.column));
        ASSERT_NE(time, nullptr);
        EXPECT_EQ(ds_time_values(time)[size_t(c.row)], c.time);
        EXPECT_EQ(ds_time_intervals(time)[size_t(c.row)], c.interval);
    }
}

TEST(DTAImport, KindsLabelsAndMissingValues)
{
    std::unique_ptr<ImportRun> run;
    DSDataTable *stata = importFixture("stata15.dta", &run);
    ASSERT_NE(stata, nullptr);
    auto *big = ds_object_cast<DSNumericDataColumn>(ds_column_named(stata, "big"));
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(ds_column_values(big)[0], 16777217.0);
    DSColumn *sex = ds_column_named(stata, "sex");
    EXPECT_TRUE(sex->treat_as_categories());
    EXPECT_EQ(sex->category_labels().value(QCborValue(2.0)).toString(), QStringLiteral("Female"));
    auto *tagged = ds_object_cast<DSNumericDataColumn>(ds_column_named(stata, "tagged"));
    EXPECT_TRUE(std::isnan(ds_column_values(tagged)[1])) << "a tagged missing value";
    auto *longText = ds_object_cast<DSTextDataColumn>(ds_column_named(stata, "longtext"));
    ASSERT_NE(longText, nullptr) << "strL is text";
    EXPECT_EQ(ds_text_values(longText)[0].size(), 3000u);
    EXPECT_NE(ds_object_cast<DSTextDataColumn>(ds_column_named(stata, "txt")), nullptr);

    DSDataTable *spss = importFixture("spss.sav", &run);
    ASSERT_NE(spss, nullptr);
    EXPECT_EQ(ds_text_values(ds_object_cast<DSTextDataColumn>(ds_column_named(spss, "longtext")))[0].size(), 3000u);
    DSColumn *answer = ds_column_named(spss, "answer");
    QFile labels(fixture("spss.foreign_labels.txt"));
    ASSERT_TRUE(labels.open(QIODevice::ReadOnly));
    for (const QByteArray &line : labels.readAll().trimmed().split('\n')) {
        const QList<QByteArray> parts = line.split('=');
        EXPECT_EQ(answer->category_labels().value(QCborValue(parts[0].toDouble())).toString(),
                  QString::fromUtf8(parts[1]));
    }
    auto *clock = ds_object_cast<DSTimeDataColumn>(ds_column_named(spss, "clock"));
    ASSERT_NE(clock, nullptr);
    EXPECT_TRUE(clock->isTimeOfDay());

    DSDataTable *sas = importFixture("sas.sas7bdat", &run);
    ASSERT_NE(sas, nullptr);
    EXPECT_EQ(ds_text_values(ds_object_cast<DSTextDataColumn>(ds_column_named(sas, "longtext")))[0].size(), 3000u);
    EXPECT_FALSE(ds_column_named(sas, "xval")->treat_as_categories()) << "SAS's own formats name no labels";
}

TEST(DTAImport, PortableFileEqualsItsSystemFile)
{
    std::unique_ptr<ImportRun> porRun, savRun;
    DSDataTable *por = importFixture("pspp.por", &porRun);
    DSDataTable *sav = importFixture("pspp.sav", &savRun);
    ASSERT_TRUE(por && sav);
    EXPECT_EQ(por->num_records(), 3);
    EXPECT_EQ(por->num_records(), sav->num_records());
    EXPECT_TRUE(porRun->importer->asyncProgressIsIndeterminate());
    const QList<DSColumn *> porColumns = por->sortedColumns(), savColumns = sav->sortedColumns();
    ASSERT_EQ(porColumns.size(), savColumns.size());
    for (qsizetype c = 0; c < porColumns.size(); ++c) {
        EXPECT_EQ(porColumns[c]->name().toLower(), savColumns[c]->name().toLower());
        EXPECT_EQ(porColumns[c]->entity()->name(), savColumns[c]->entity()->name());
        EXPECT_EQ(porColumns[c]->category_labels(), savColumns[c]->category_labels());
        if (auto *n = ds_object_cast<DSNumericDataColumn>(porColumns[c])) {
            EXPECT_EQ(ds_column_values(n).size(), ds_column_values(ds_object_cast<DSNumericDataColumn>(savColumns[c])).size());
        }
    }
}

// Cut short anywhere, a file fails the whole list with the library's code;
// the good file before it leaves no table behind.
TEST(DTAImport, DamagedFilesFailWithoutTables)
{
    ImportFiles files;
    const QUrl good = QUrl::fromLocalFile(fixture("pspp.sav"));
    // A portable file ends in padding, which may go.
    const struct { const char *name; bool endMatters; } k_files[] = {
        {"stata15.dta", true}, {"spss.sav", true}, {"sas.sas7bdat", true}, {"pspp.por", false}};
    for (const auto &f : k_files) {
        QFile whole(fixture(f.name));
        ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
        const QByteArray bytes = whole.readAll();
        const QString cutName = QStringLiteral("x.") + QFileInfo(QLatin1String(f.name)).suffix();
        QList<qsizetype> cuts{0, 10, bytes.size() / 2};
        if (f.endMatters)
            cuts << bytes.size() - 3;
        for (const qsizetype cut : cuts) {
            SCOPED_TRACE(std::string(f.name) + " cut at " + std::to_string(cut));
            auto run = importFiles({good, files.write(cutName, bytes.left(cut))});
            EXPECT_EQ(run->importer->asyncResult(), nullptr);
            ASSERT_TRUE(run->importer->asyncError());
            EXPECT_EQ(run->importer->asyncError()->localizedDescription,
                      QStringLiteral("Error parsing data file: ") + cutName);
            EXPECT_NE(run->importer->asyncError()->code, 0);
        }
    }
    auto unknown = importFiles({files.write(QStringLiteral("x.foo"), "data")});
    EXPECT_EQ(unknown->importer->asyncResult(), nullptr);
    EXPECT_TRUE(unknown->importer->asyncError()) << "an unread extension is an error";
}

// What the importers' threads log, kept by the message handler.
struct LoggedMessage
{
    QtMsgType type;
    QString category;
    QString text;
};
QMutex g_loggedLock;
std::vector<LoggedMessage> g_logged;

void keepMessage(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    const QMutexLocker locker(&g_loggedLock);
    g_logged.push_back({type, QString::fromLatin1(context.category), text});
}

// ReadStat's complaints about a damaged file reach the user as the import's
// error; they go to the import log, quiet unless its info is turned on.
TEST(DTAImport, LibraryMessagesGoToTheImportLogQuietly)
{
    ImportFiles files;
    QFile whole(fixture("sas.sas7bdat"));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray bytes = whole.readAll();
    const QUrl cut = files.write(QStringLiteral("x.sas7bdat"), bytes.left(bytes.size() / 2));
    const QtMessageHandler previous = qInstallMessageHandler(keepMessage);
    for (const bool shown : {false, true}) {
        SCOPED_TRACE(shown ? "info shown" : "by default");
        QLoggingCategory::setFilterRules(shown ? QStringLiteral("ostrel.import.info=true") : QString());
        {
            const QMutexLocker locker(&g_loggedLock);
            g_logged.clear();
        }
        auto run = importFiles({cut});
        EXPECT_TRUE(run->importer->asyncError());
        const QMutexLocker locker(&g_loggedLock);
        if (!shown) {
            EXPECT_TRUE(g_logged.empty()) << g_logged.front().text.toStdString();
            continue;
        }
        ASSERT_FALSE(g_logged.empty());
        for (const LoggedMessage &message : g_logged) {
            EXPECT_EQ(message.type, QtInfoMsg);
            EXPECT_EQ(message.category, QStringLiteral("ostrel.import"));
            EXPECT_TRUE(message.text.startsWith(QStringLiteral("ReadStat: "))) << message.text.toStdString();
        }
    }
    QLoggingCategory::setFilterRules(QString());
    qInstallMessageHandler(previous);
}

TEST(DTAImport, StoppingGivesNoResultAndNoError)
{
    auto importer = std::make_shared<DSDataImporterDTA>(QList<QUrl>{QUrl::fromLocalFile(fixture("electric.sav"))});
    ds_import_test_model();
    ImportRun run(importer);
    importer->setProgressObserver([&](double p) {
        if (p > 0 && p < 1)
            importer->setAsyncAbort(true);
    });
    run.run();
    EXPECT_EQ(importer->asyncResult(), nullptr);
    EXPECT_FALSE(importer->asyncError());
}

} // namespace
