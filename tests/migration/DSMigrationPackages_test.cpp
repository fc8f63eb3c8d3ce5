#include "MigrationTestSupport.h"

#include "ds_graph_dump.h"
#include "ds_store_recipe.h"
#include "model/DSDataRoot.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSStatDocument.h"
#include "platform/store/DSManagedObjectModel.h"
#include "platform/store/DSPersistentStore.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QUrl>

#include <gtest/gtest.h>

#include <cmath>

namespace {

QJsonObject expectedDump(const QString &name)
{
    QFile file(ds_fixture(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    EXPECT_TRUE(document.isObject()) << name.toStdString() << ": " << error.errorString().toStdString();
    return document.object();
}

// The differences of two dumps, one line per path, for a readable failure.
QStringList dumpDifferences(const QJsonObject &actual, const QJsonObject &expected)
{
    QStringList lines;
    QStringList paths = actual.keys() + expected.keys();
    paths.removeDuplicates();
    paths.sort();
    const auto text = [](const QJsonValue &v) {
        return v.isUndefined() ? QStringLiteral("(missing)")
                               : QString::fromUtf8(QJsonDocument(v.toObject()).toJson(QJsonDocument::Compact));
    };
    for (const QString &path : paths)
        if (actual.value(path) != expected.value(path))
            lines << QStringLiteral("%1\n  actual:   %2\n  expected: %3").arg(path, text(actual.value(path)), text(expected.value(path)));
    return lines;
}

// A copy of a fixture package in a folder of its own.
QString copyOfPackage(const QTemporaryDir &dir, const QString &fixture)
{
    const QString from = ds_fixture(fixture);
    const QString to = dir.filePath(fixture);
    QDir().mkpath(to);
    for (const QString &entry : QDir(from).entryList(QDir::Files))
        QFile::copy(QDir(from).filePath(entry), QDir(to).filePath(entry));
    return to;
}

} // namespace

// Both older packages reach version 3 and reopen as the graph the steps
// describe, written out by hand in the expected dumps.
TEST(DSMigrationPackages, OlderPackagesReachVersionThreeAsExpected)
{
    struct Case {
        const char *package;
        int version;
        const char *expected;
    };
    const Case cases[] = {
        {"v1.ostrel", 1, "v1_to_3.expected.json"},
        {"v2.ostrel", 2, "v2_to_3.expected.json"},
    };
    for (const Case &c : cases) {
        const DSMigrated migrated = ds_migrate_package(ds_fixture(QString::fromUtf8(c.package)), c.version, 3);
        ASSERT_TRUE(migrated.context) << c.package << ": " << migrated.error.localizedDescription.toStdString();
        EXPECT_EQ(migrated.context->model().name(), QStringLiteral("DSDataModel003"));
        const QJsonObject actual = ds_dump_graph(*migrated.context);
        const QStringList differences = dumpDifferences(actual, expectedDump(QString::fromUtf8(c.expected)));
        EXPECT_TRUE(differences.isEmpty()) << c.package << "\n" << differences.join(QLatin1Char('\n')).toStdString();
        if (!differences.isEmpty() && qEnvironmentVariableIsSet("OSTREL_WRITE_ACTUAL_DUMPS")) {
            QFile out(QDir::temp().filePath(QString::fromUtf8(c.expected) + QStringLiteral(".actual")));
            if (out.open(QIODevice::WriteOnly))
                out.write(QJsonDocument(actual).toJson());
        }
    }
}

// The recipes remake stores equal to the checked-in packages.
TEST(DSMigrationPackages, CheckedInPackagesAreTheirRecipes)
{
    for (const char *name : {"v1", "v2"}) {
        QTemporaryDir dir;
        QString error;
        const QJsonObject recipe = ds_recipe_from_file(ds_fixture(QStringLiteral("%1.recipe.json").arg(QLatin1String(name))), &error);
        const QString package = dir.filePath(QStringLiteral("made.ostrel"));
        ASSERT_TRUE(ds_write_store_from_recipe(recipe, package, &error)) << name << ": " << error.toStdString();
        const int version = QString::fromLatin1(name + 1).toInt();
        const DSMigrated made = ds_migrate_package(package, version, 3);
        const DSMigrated checkedIn =
            ds_migrate_package(ds_fixture(QStringLiteral("%1.ostrel").arg(QLatin1String(name))), version, 3);
        ASSERT_TRUE(made.context && checkedIn.context) << name;
        EXPECT_EQ(ds_dump_graph(*made.context), ds_dump_graph(*checkedIn.context)) << name;
    }
}

// A step that fails, at any version, leaves every file of the package as it
// was, and the read fails with the step's message.
TEST(DSMigrationPackages, FailedStepLeavesThePackageAsItWas)
{
    struct Case {
        const char *what;
        const char *recipe; // null: the fixture package of that name
        const char *fixture;
        const char *message;
    };
    const Case cases[] = {
        {"aggregation without a number formatter (step 4 to 5)", R"({"model": "DSDataModel004", "objects": [
            {"id": "root", "entity": "DSDataRoot"},
            {"id": "T", "entity": "DSDataTable", "data_root": "root", "name": "Fish"},
            {"id": "a", "entity": "DSColumnAggregation", "table": "T", "index": 2, "tag": 20}]})",
         nullptr, "up to store version 5: an aggregation (index 2) of the table DSDataTable “Fish” has no number formatter"},
        {"interaction over another model's variable (step 5 to 6)", R"({"model": "DSDataModel005", "objects": [
            {"id": "root", "entity": "DSDataRoot"},
            {"id": "T", "entity": "DSDataTable", "data_root": "root", "name": "Fish"},
            {"id": "M", "entity": "DSRegressionModel", "table": "T", "name": "First"},
            {"id": "N", "entity": "DSRegressionModel", "table": "T", "name": "Second", "index": 1},
            {"id": "v", "entity": "DSExplanatoryColumnVariable", "model": "N"},
            {"id": "x", "entity": "DSExplanatoryInteractionVariable", "model": "M", "index": 3, "inputs": ["v"]}]})",
         nullptr, "up to store version 6: an interaction variable (index 3) of the model DSRegressionModel “First”"},
        {"aggregate table over an aggregate table (step 1 to 2)", R"({"model": "DSDataModel", "objects": [
            {"id": "root", "entity": "DSDataRoot"},
            {"id": "T", "entity": "DSDataTable", "data_root": "root", "name": "T"},
            {"id": "A", "entity": "DSAggregateTable", "data_root": "root", "name": "Sums", "input": "T"},
            {"id": "B", "entity": "DSAggregateTable", "data_root": "root", "name": "Sums of sums", "input": "A"}]})",
         nullptr, "Sums of sums"},
        {"aggregation without a number formatter (step 2 to 3)", R"({"model": "DSDataModel002", "objects": [
            {"id": "root", "entity": "DSDataRoot"},
            {"id": "T", "entity": "DSDataTable", "data_root": "root", "name": "Fish"},
            {"id": "a", "entity": "DSColumnAggregation", "table": "T", "index": 3, "tag": 20}]})",
         nullptr, "no number formatter"},
    };
    for (const Case &c : cases) {
        QTemporaryDir dir;
        QString package;
        if (c.recipe) {
            package = dir.filePath(QStringLiteral("Made.ostrel"));
            QString why;
            ASSERT_TRUE(ds_write_store_from_recipe(ds_recipe_from_json(c.recipe, &why), package, &why)) << why.toStdString();
        } else {
            package = copyOfPackage(dir, QString::fromUtf8(c.fixture));
        }
        const QStringList before = ds_folder_hashes(package);
        for (const QString &type : {DSStatDocument::nativeType, DSStatDocument::readOnlyType}) {
            DSStatDocument document;
            DSError error;
            EXPECT_FALSE(document.readFromURL(QUrl::fromLocalFile(package), type, &error)) << c.what;
            EXPECT_TRUE(error.localizedDescription.contains(QString::fromUtf8(c.message)))
                << c.what << ": " << error.localizedDescription.toStdString();
            EXPECT_EQ(ds_folder_hashes(package), before) << c.what;
        }
    }
}

// Bytes flipped in a copy of an older store: the chain ends with an error
// or a graph, never a crash (this program also runs under the address
// sanitizer), and a flipped file header always ends with an error.
TEST(DSMigrationPackages, CorruptedOlderStoresEndWithAnErrorNeverACrash)
{
    struct Case {
        const char *fixture;
        const char *file;
        int version;
    };
    const Case cases[] = {
        {"v1.ostrel", "Storage.innerostrel", 1},
        {"v2.ostrel", "Storage-002.sqlite", 2},
    };
    for (const Case &c : cases) {
        QFile original(QDir(ds_fixture(QString::fromUtf8(c.fixture))).filePath(QString::fromUtf8(c.file)));
        ASSERT_TRUE(original.open(QIODevice::ReadOnly));
        const QByteArray bytes = original.readAll();
        // The header, then a spread of places over every page of the file.
        QList<qsizetype> offsets{0, 5, 16, 18, 28, 40, 56};
        for (qsizetype at = 100; at < bytes.size(); at += bytes.size() / 61 + 1)
            offsets << at;
        int failures = 0;
        for (qsizetype at : offsets) {
            QTemporaryDir dir;
            const QString package = dir.filePath(QStringLiteral("Broken.ostrel"));
            QDir().mkpath(package);
            QByteArray broken = bytes;
            for (qsizetype k = at; k < std::min(at + 4, broken.size()); ++k)
                broken[k] = char(~broken[k]);
            QFile file(QDir(package).filePath(QString::fromUtf8(c.file)));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(broken);
            file.close();

            const DSMigrated migrated = ds_migrate_package(package, c.version, 3);
            if (!migrated.context) {
                ++failures;
                EXPECT_FALSE(migrated.error.localizedDescription.isEmpty()) << c.file << " at " << at;
            } else {
                ds_dump_graph(*migrated.context);
            }
            if (at < 20) {
                EXPECT_FALSE(migrated.context) << c.file << ": a damaged header at " << at << " must end with an error";
            }
            DSStatDocument document;
            DSError error;
            // The whole chain to the current version: a document, or an
            // error with a message.
            const bool read = document.readFromURL(QUrl::fromLocalFile(package), DSStatDocument::nativeType, &error);
            EXPECT_EQ(read, error.localizedDescription.isEmpty()) << c.file << " at " << at;
            if (at < 20) {
                EXPECT_FALSE(read) << c.file << " at " << at;
            }
        }
        EXPECT_GT(failures, 0) << c.file;
    }
}

// The version-1 package opens through the document as the current version:
// every step's store is written into the package, the graph is the one the
// steps describe (written out by make_v1_to_6_expected.py from the hand-made
// version-3 dump), and the widened values read back. A read-only open of
// the same package leaves every file as it was.
TEST(DSMigrationPackages, VersionOnePackageOpensAsTheCurrentVersion)
{
    QTemporaryDir dir;
    const QString package = copyOfPackage(dir, QStringLiteral("v1.ostrel"));
    const QStringList before = ds_folder_hashes(package);
    {
        DSStatDocument document;
        DSError error;
        ASSERT_TRUE(document.readFromURL(QUrl::fromLocalFile(package), DSStatDocument::readOnlyType, &error))
            << error.localizedDescription.toStdString();
        EXPECT_EQ(ds_folder_hashes(package), before);
    }
    DSStatDocument document;
    DSError error;
    ASSERT_TRUE(document.readFromURL(QUrl::fromLocalFile(package), DSStatDocument::nativeType, &error))
        << error.localizedDescription.toStdString();
    EXPECT_EQ(document.managedObjectContext()->model().version(), 6);
    EXPECT_EQ(QDir(package).entryList(QDir::Files),
              (QStringList{"Storage-002.sqlite", "Storage-003.sqlite", "Storage-004.sqlite", "Storage-005.sqlite",
                           "Storage-006.sqlite", "Storage.innerostrel"}));
    const QJsonObject actual = ds_dump_graph(*document.managedObjectContext());
    const QStringList differences = dumpDifferences(actual, expectedDump(QStringLiteral("v1_to_6.expected.json")));
    EXPECT_TRUE(differences.isEmpty()) << differences.join(QLatin1Char('\n')).toStdString();

    DSManagedObject *trees = ds_sorted(document.data_root(), QStringLiteral("tables")).value(1);
    ASSERT_TRUE(trees);
    auto *height = ds_object_cast<DSNumericDataColumn>(ds_sorted(trees, QStringLiteral("columns")).value(0));
    ASSERT_TRUE(height);
    const double *values = nullptr;
    ASSERT_EQ(height->getValues(&values), 3);
    EXPECT_EQ(values[0], 1.5);
    EXPECT_TRUE(std::isnan(values[1]));
    EXPECT_EQ(values[2], 3.25);
}

// A document saved by the build before version-6 stores learned to open
// under a later form of their model (fixtures/saved_v6.md) opens with
// every value it was saved with, and so does its store under a copy of
// today's model that gained an attribute with a default and an entity.
TEST(DSMigrationPackages, SavedVersionSixDocumentOpensUnderLaterFormsOfItsModel)
{
    QTemporaryDir dir;
    const QString package = copyOfPackage(dir, QStringLiteral("saved_v6.ostrel"));
    const QJsonObject expected = expectedDump(QStringLiteral("saved_v6.expected.json"));
    ASSERT_FALSE(expected.isEmpty());
    {
        DSStatDocument document;
        DSError error;
        ASSERT_TRUE(document.readFromURL(QUrl::fromLocalFile(package), DSStatDocument::nativeType, &error))
            << error.localizedDescription.toStdString();
        const QStringList differences = dumpDifferences(ds_dump_graph(*document.managedObjectContext()), expected);
        EXPECT_TRUE(differences.isEmpty()) << differences.join(QLatin1Char('\n')).toStdString();
    }

    QFile modelFile(QStringLiteral(":/models/DSDataModel006.json"));
    ASSERT_TRUE(modelFile.open(QIODevice::ReadOnly));
    QJsonObject model = QJsonDocument::fromJson(modelFile.readAll()).object();
    QJsonArray entities = model.value(QStringLiteral("entities")).toArray();
    for (qsizetype i = 0; i < entities.size(); ++i) {
        QJsonObject entity = entities[i].toObject();
        if (entity.value(QStringLiteral("name")) != QLatin1String("DSDataTable"))
            continue;
        QJsonArray attributes = entity.value(QStringLiteral("attributes")).toArray();
        attributes.append(QJsonObject{{QStringLiteral("name"), QStringLiteral("added_later")},
                                      {QStringLiteral("type"), QStringLiteral("integer32")},
                                      {QStringLiteral("default"), 7}});
        entity.insert(QStringLiteral("attributes"), attributes);
        entities[i] = entity;
    }
    entities.append(QJsonObject{{QStringLiteral("name"), QStringLiteral("DSAddedLater")},
                                {QStringLiteral("attributes"),
                                 QJsonArray{QJsonObject{{QStringLiteral("name"), QStringLiteral("note")},
                                                        {QStringLiteral("type"), QStringLiteral("string")}}}}});
    model.insert(QStringLiteral("entities"), entities);
    DSStoreError storeError;
    const auto later = DSManagedObjectModel::fromJson(QJsonDocument(model).toJson(), &storeError);
    ASSERT_TRUE(later) << storeError.message().toStdString();

    const QString store = QDir(package).filePath(QStringLiteral("Storage-006.sqlite"));
    const QByteArray before = ds_file_sha256(store);
    DSManagedObjectContext context(later);
    ASSERT_TRUE(context.addPersistentStore(store, DSStoreOptions(), &storeError)) << storeError.message().toStdString();
    EXPECT_EQ(ds_file_sha256(store), before) << "opening writes nothing";
    const DSObjectList tables = context.objectsOfEntity(QStringLiteral("DSDataTable"));
    ASSERT_EQ(tables.size(), 2);
    for (const DSManagedObject *table : tables)
        EXPECT_EQ(table->valueForKey(QStringLiteral("added_later")).toInt(), 7);
    EXPECT_TRUE(context.objectsOfEntity(QStringLiteral("DSAddedLater")).isEmpty());
    const QStringList differences = dumpDifferences(ds_dump_graph(context), expected);
    EXPECT_TRUE(differences.isEmpty()) << differences.join(QLatin1Char('\n')).toStdString();
}
