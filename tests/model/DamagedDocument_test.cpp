// Damaged documents: a saved package whose store file was cut short, had
// bytes flipped, or had its data or row counts replaced through SQLite
// (fixtures/damage_store.py) opens intact, opens with one warning naming
// exactly what is damaged, or is refused with an error; never with other
// values. What is damaged is saved exactly as it was found.

#include "ColumnsTestSupport.h"

#include "model/DSDataRoot.h"
#include "model/DSTextDataColumn.h"
#include "model/ds_row_mask.h"
#include "platform/store/DSEntityDescription.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <cstring>
#include <set>

namespace {

const QString k_script = QStringLiteral(OSTREL_TEST_SOURCE_DIR "/fixtures/damage_store.py");
const QString k_store = QStringLiteral("Storage-006.sqlite");
constexpr qint64 k_rows = 20000;

// What the script printed; a test failure when it failed.
QString runScript(const QStringList &arguments)
{
    QProcess script;
    script.start(QStringLiteral("/usr/bin/python3"), QStringList{k_script} + arguments);
    EXPECT_TRUE(script.waitForFinished(120000));
    EXPECT_EQ(script.exitCode(), 0) << script.readAllStandardError().toStdString();
    return QString::fromUtf8(script.readAllStandardOutput());
}

DSNumericDataColumn *addNumeric(DSManagedObjectContext *context, DSDataTable *table, const QString &name,
                                QRandomGenerator &random)
{
    auto *column = context->insertNewObject<DSNumericDataColumn>(QStringLiteral("DSNumericDataColumn"));
    column->setName(name);
    table->insertNewColumns({column}, table->columns().size());
    for (qint64 row = 0; row < k_rows; ++row)
        column->appendValue(row % 97 == 0 ? NAN : random.generateDouble() * 1000 - 500);
    return column;
}

DSTextDataColumn *addText(DSManagedObjectContext *context, DSDataTable *table, const QString &name,
                          QRandomGenerator &random)
{
    auto *column = context->insertNewObject<DSTextDataColumn>(QStringLiteral("DSTextDataColumn"));
    column->setName(name);
    table->insertNewColumns({column}, table->columns().size());
    for (qint64 row = 0; row < k_rows; ++row)
        column->appendTextValue(row % 89 == 0 ? "" : QByteArray::number(random.bounded(100000), 36).constData());
    return column;
}

// A saved package of two tables, "A" (numeric x, text t) and "B" (numeric
// u and w), of 20,000 rows each; its path.
QString savePackage(const QString &folder)
{
    EditedDocument edited;
    DSStatDocument &document = edited.document;
    DSManagedObjectContext *context = document.managedObjectContext();
    DSDataRoot *root = document.data_root();
    QRandomGenerator random(27);
    auto *a = ds_object_cast<DSDataTable>(document.active_table());
    a->setName(QStringLiteral("A"));
    auto *b = context->insertNewObject<DSDataTable>(QStringLiteral("DSDataTable"));
    root->insertTable(b, 1);
    b->setData_root(root);
    b->makeDependencies();
    b->setName(QStringLiteral("B"));
    QList<DSDataColumn *> columns{addNumeric(context, a, QStringLiteral("x"), random),
                                  addText(context, a, QStringLiteral("t"), random),
                                  addNumeric(context, b, QStringLiteral("u"), random),
                                  addNumeric(context, b, QStringLiteral("w"), random)};
    a->setNum_records(k_rows);
    b->setNum_records(k_rows);
    EXPECT_TRUE(DSDataColumn::saveAfterImport(columns));
    context->processPendingChanges();
    const QString path = folder + QStringLiteral("/doc.ostrel");
    DSError error;
    EXPECT_TRUE(edited.save(path, DSSaveOperation::SaveAs, &error)) << error.localizedDescription.toStdString();
    return path;
}

// A column's values as bytes, row by row: a missing row as "-", a numeric
// row as its double's bytes, a text row as its text and a NUL.
QByteArray rowsOf(DSColumn *column)
{
    const qint64 rows = column->table()->num_records();
    const uint8_t *missing = nullptr;
    const qint64 maskBytes = column->getMissingMask(&missing);
    const auto isMissing = [&](qint64 row) { return missing && row / 8 < maskBytes && ds_mask_test(missing, row); };
    QByteArray bytes;
    if (auto *numeric = dynamic_cast<DSNumericColumn *>(column)) {
        const double *values = nullptr;
        const qint64 count = numeric->getValues(&values);
        for (qint64 row = 0; row < rows; ++row)
            bytes += isMissing(row) || row >= count ? QByteArray("-")
                                                    : QByteArray(reinterpret_cast<const char *>(values + row), 8);
    } else if (auto *text = dynamic_cast<DSTextColumn *>(column)) {
        const char *const *texts = nullptr;
        const qint64 count = text->getTextValues(&texts, 0, rows);
        for (qint64 row = 0; row < rows; ++row)
            bytes += isMissing(row) || row >= count || !texts[row] ? QByteArray("-") : QByteArray(texts[row]) + '\0';
    }
    return bytes;
}

// The stored bytes of a column's arrays, and of a table's row count.
QList<QByteArray> storedBytes(DSColumn *column)
{
    QList<QByteArray> stored;
    for (const char *key : {"values", "text_values", "text_offsets"})
        if (column->entity()->attributeNamed(QString::fromLatin1(key)))
            stored << column->dataForKey(QString::fromLatin1(key));
    return stored;
}

struct Place
{
    qsizetype table, column;
    auto operator<=>(const Place &) const = default;
};

QList<DSColumn *> columnsOf(DSStatDocument &document, qsizetype table)
{
    return document.data_root()->tableAtIndex(table)->sortedColumns();
}

// Every table's columns' rows, by place.
std::map<Place, QByteArray> rowsOfDocument(DSStatDocument &document)
{
    std::map<Place, QByteArray> rows;
    const QList<DSTable *> tables = document.data_root()->sortedTables();
    for (qsizetype t = 0; t < tables.size(); ++t) {
        const QList<DSColumn *> columns = tables[t]->sortedColumns();
        for (qsizetype c = 0; c < columns.size(); ++c)
            rows[{t, c}] = rowsOf(columns[c]);
    }
    return rows;
}

// Opens the package at path; null, with the error, when it is refused.
std::unique_ptr<DSStatDocument> open(const QString &path, DSError *error)
{
    auto document = std::make_unique<DSStatDocument>();
    if (!document->readFromURL(QUrl::fromLocalFile(path), DSStatDocument::nativeType, error)
        || !document->data_root())
        return nullptr;
    return document;
}

// The saved package of savePackage() in a folder of its own, as it reads.
struct Saved
{
    QTemporaryDir dir;
    QString package;
    std::map<Place, QByteArray> rows;
    // Object numbers of table "A" and its column "x".
    QString tableA, columnX;

    Saved() : package(savePackage(dir.path()))
    {
        DSError error;
        std::unique_ptr<DSStatDocument> original = open(package, &error);
        EXPECT_TRUE(original) << error.localizedDescription.toStdString();
        if (!original)
            return;
        rows = rowsOfDocument(*original);
        tableA = QString::number(original->data_root()->tableAtIndex(0)->objectID().number());
        columnX = QString::number(columnsOf(*original, 0)[0]->objectID().number());
    }
    QString store() const { return package + QLatin1Char('/') + k_store; }
};

// A package at path holding store as its store file.
QString packageOf(const QString &store, const QString &path)
{
    QDir().mkpath(path);
    QFile::remove(path + QLatin1Char('/') + k_store);
    EXPECT_TRUE(QFile::copy(store, path + QLatin1Char('/') + k_store));
    return path;
}

// Edits a cell of the first sound numeric column in a sound table (the edit
// "elsewhere") and saves; whether there was such a column.
bool editElsewhereAndSave(DSStatDocument &document, const QString &path, bool *saved)
{
    bool edited = false;
    for (DSTable *table : document.data_root()->sortedTables()) {
        auto *data = ds_object_cast<DSDataTable>(table);
        for (DSColumn *column : table->sortedColumns()) {
            auto *numeric = ds_object_cast<DSNumericDataColumn>(column);
            if (!edited && numeric && !data->isDamaged() && !numeric->isDamaged())
                edited = numeric->replaceNumericValueAtIndex(7, 42.5);
        }
    }
    document.managedObjectContext()->processPendingChanges();
    DSError error;
    *saved = document.writeSafelyToURL(QUrl::fromLocalFile(path), DSStatDocument::nativeType, DSSaveOperation::Save,
                                       &error);
    return edited;
}

} // namespace

// Twelve truncations and fifty seeded byte flips of a saved store: each
// copy opens intact, opens with the warning naming exactly the columns
// whose values differ, or is refused with an error. For each that opens,
// an edit elsewhere and a save leave every damaged column's stored bytes,
// and every damaged table's row count, as they were.
TEST(DamagedDocument, DrillOpensIntactWarnsOrRefuses)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString package = savePackage(dir.path());
    DSError error;
    std::unique_ptr<DSStatDocument> original = open(package, &error);
    ASSERT_TRUE(original) << error.localizedDescription.toStdString();
    const std::map<Place, QByteArray> expected = rowsOfDocument(*original);
    ASSERT_EQ(expected.size(), 4u);

    const QString copies = dir.filePath(QStringLiteral("copies"));
    const QStringList lines = runScript({QStringLiteral("drill"), package + QLatin1Char('/') + k_store, copies})
                                  .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 62);
    int intact = 0, warned = 0, refused = 0, unsaved = 0;
    for (const QString &line : lines) {
        const QString file = line.section(QLatin1Char(' '), 0, 0);
        const std::string what = line.toStdString();
        const QString path = packageOf(copies + QLatin1Char('/') + file, dir.filePath(file + QStringLiteral(".ostrel")));
        DSError failure;
        std::unique_ptr<DSStatDocument> document = open(path, &failure);
        if (!document) {
            EXPECT_FALSE(failure.localizedDescription.isEmpty()) << what;
            ++refused;
            continue;
        }
        const std::map<Place, QByteArray> found = rowsOfDocument(*document);
        ASSERT_EQ(found.size(), expected.size()) << what;
        std::set<Place> differing, named;
        std::set<qsizetype> damagedTables;
        std::map<Place, QList<QByteArray>> damagedBytes;
        std::map<qsizetype, qint64> damagedCounts;
        for (const auto &[place, rows] : found) {
            DSColumn *column = columnsOf(*document, place.table)[place.column];
            if (rows != expected.at(place))
                differing.insert(place);
            if (column->isDamaged()) {
                named.insert(place);
                damagedBytes[place] = storedBytes(column);
                EXPECT_TRUE(document->damageReport().contains(QStringLiteral("“%1”").arg(column->name()))) << what;
            }
            auto *table = ds_object_cast<DSDataTable>(column->table());
            if (table->isDamaged()) {
                damagedTables.insert(place.table);
                damagedCounts[place.table] = table->storedRowCount();
            }
        }
        EXPECT_EQ(named, differing) << what;
        EXPECT_EQ(document->damageReport().isEmpty(), named.empty() && damagedTables.empty()) << what;
        (named.empty() && damagedTables.empty() ? intact : warned)++;

        bool saved = false;
        const bool edited = editElsewhereAndSave(*document, path, &saved);
        unsaved += !saved;
        document.reset();
        std::unique_ptr<DSStatDocument> reopened = open(path, &failure);
        ASSERT_TRUE(reopened) << what << ": " << failure.localizedDescription.toStdString();
        for (const auto &[place, bytes] : damagedBytes)
            EXPECT_EQ(storedBytes(columnsOf(*reopened, place.table)[place.column]), bytes) << what;
        for (const auto &[table, count] : damagedCounts)
            EXPECT_EQ(ds_object_cast<DSDataTable>(reopened->data_root()->tableAtIndex(table))->storedRowCount(), count)
                << what;
        if (saved && edited) {
            EXPECT_EQ(rowsOfDocument(*reopened) != found, true) << what << ": the edit was saved";
        }
    }
    std::printf("drill: %d intact, %d warned, %d refused (%d of those opened could not save)\n", intact, warned,
                refused, unsaved);
    EXPECT_GT(warned, 0);
    EXPECT_EQ(intact + warned + refused, 62);
}

// The reproducers: byte 5,001 of a column's stored data replaced, or all of
// it random bytes. The column is damaged (not 19,990 values and an
// infinity, nor 20,001 missing values after the next save): every row
// missing, the rest of the document as it was, and rows added to its table
// and a save leave its stored bytes as they were.
TEST(DamagedDocument, ABadByteInAColumnMakesItDamaged)
{
    const Saved saved;
    ASSERT_EQ(saved.rows.size(), 4u);
    const QTemporaryDir &dir = saved.dir;
    const std::map<Place, QByteArray> &expected = saved.rows;
    const QString store = saved.store(), xNumber = saved.columnX;
    DSError error;
    struct Case {
        const char *what;
        QStringList arguments;
    };
    const Case cases[] = {
        {"byte 5,001 replaced", {QStringLiteral("replace-byte"), store, xNumber, QStringLiteral("values"), QStringLiteral("5000")}},
        {"random bytes", {QStringLiteral("random-data"), store, xNumber, QStringLiteral("values")}},
    };
    const QString pristine = dir.filePath(QStringLiteral("pristine.sqlite"));
    ASSERT_TRUE(QFile::copy(store, pristine));
    for (const Case &c : cases) {
        const QString path = packageOf(pristine, dir.filePath(QString::fromLatin1(c.what) + QStringLiteral(".ostrel")));
        QStringList arguments = c.arguments;
        arguments[1] = path + QLatin1Char('/') + k_store;
        runScript(arguments);
        std::unique_ptr<DSStatDocument> document = open(path, &error);
        ASSERT_TRUE(document) << c.what;
        DSColumn *x = columnsOf(*document, 0)[0];
        EXPECT_TRUE(x->isDamaged()) << c.what;
        EXPECT_FALSE(x->isEditable()) << c.what;
        EXPECT_EQ(rowsOf(x), QByteArray(k_rows, '-')) << c.what;
        EXPECT_EQ(document->damageReport(),
                  QStringLiteral("Part of this document is damaged. It reads as missing values, cannot be edited, and "
                                 "is saved exactly as it was found:\nThe column “x” of the table “A”."))
            << c.what;
        std::map<Place, QByteArray> rows = rowsOfDocument(*document);
        rows.erase({0, 0});
        std::map<Place, QByteArray> others = expected;
        others.erase({0, 0});
        EXPECT_EQ(rows, others) << c.what;
        EXPECT_FALSE(ds_object_cast<DSNumericDataColumn>(x)->replaceNumericValueAtIndex(3, 1)) << c.what;

        const QList<QByteArray> damaged = storedBytes(x);
        document->data_root()->tableAtIndex(0)->addRows(1);
        document->managedObjectContext()->processPendingChanges();
        ASSERT_TRUE(document->writeSafelyToURL(QUrl::fromLocalFile(path), DSStatDocument::nativeType,
                                               DSSaveOperation::Save, &error))
            << error.localizedDescription.toStdString();
        document.reset();
        std::unique_ptr<DSStatDocument> reopened = open(path, &error);
        ASSERT_TRUE(reopened) << c.what;
        EXPECT_EQ(reopened->data_root()->tableAtIndex(0)->num_records(), k_rows + 1) << c.what;
        EXPECT_EQ(storedBytes(columnsOf(*reopened, 0)[0]), damaged) << c.what;
        EXPECT_TRUE(columnsOf(*reopened, 0)[0]->isDamaged()) << c.what;
    }
}

// A stored row count out of reach (2^40, -5) or past what the columns hold
// opens at once as damage of the table: it reads as the 20,000 rows its
// columns hold (the masks cover those rows, not two billion), takes no row
// change, and keeps its stored count through an edit elsewhere and a save.
TEST(DamagedDocument, ARowCountOutOfReachOpensAsDamagedAtOnce)
{
    const Saved saved;
    ASSERT_EQ(saved.rows.size(), 4u);
    const QTemporaryDir &dir = saved.dir;
    const std::map<Place, QByteArray> &expected = saved.rows;
    const QString package = saved.package, aNumber = saved.tableA;
    DSError error;
    const qint64 counts[] = {qint64(1) << 40, -5, k_rows + 16};
    for (qint64 count : counts) {
        const QString path = packageOf(package + QLatin1Char('/') + k_store,
                                       dir.filePath(QStringLiteral("rows%1.ostrel").arg(count)));
        runScript({QStringLiteral("set-rows"), path + QLatin1Char('/') + k_store, aNumber, QString::number(count)});
        QElapsedTimer timer;
        timer.start();
        std::unique_ptr<DSStatDocument> document = open(path, &error);
        ASSERT_TRUE(document) << count;
        const std::map<Place, QByteArray> rows = rowsOfDocument(*document);
        const qint64 elapsed = timer.elapsed();
        std::printf("row count %lld: opened and read in %lld ms\n", qlonglong(count), qlonglong(elapsed));
        EXPECT_LT(elapsed, 10000) << "walking two billion rows takes minutes";
        auto *a = ds_object_cast<DSDataTable>(document->data_root()->tableAtIndex(0));
        EXPECT_TRUE(a->isDamaged()) << count;
        EXPECT_EQ(a->num_records(), k_rows) << count;
        EXPECT_EQ(rows, expected) << count;
        const uint8_t *mask = nullptr;
        EXPECT_EQ(columnsOf(*document, 0)[0]->getMissingMask(&mask), ds_mask_bytes(k_rows)) << count;
        EXPECT_TRUE(document->damageReport().contains(
            QStringLiteral("The table “A” says it holds %1 rows; its columns hold 20000.").arg(count)))
            << count;
        a->addRows(3);
        EXPECT_EQ(a->num_records(), k_rows) << count;

        bool saved = false;
        EXPECT_TRUE(editElsewhereAndSave(*document, path, &saved)) << count;
        EXPECT_TRUE(saved) << count;
        document.reset();
        std::unique_ptr<DSStatDocument> reopened = open(path, &error);
        ASSERT_TRUE(reopened) << count;
        EXPECT_EQ(ds_object_cast<DSDataTable>(reopened->data_root()->tableAtIndex(0))->storedRowCount(), count);
        EXPECT_EQ(ds_object_cast<DSDataTable>(reopened->data_root()->tableAtIndex(1))->num_records(), k_rows);
        EXPECT_EQ(ds_object_cast<DSNumericDataColumn>(columnsOf(*reopened, 1)[0])->isDamaged(), false);
    }
}
