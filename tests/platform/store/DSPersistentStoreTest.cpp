#include "StoreTestSupport.h"

#include "platform/predicate/DSPredicate.h"
#include "platform/store/DSManagedObjectContext.h"
#include "platform/store/DSManagedObjectModel.h"
#include "platform/store/DSPersistentStore.h"
#include "platform/store/DSUndoManager.h"
#include "platform/store/DSValueTransformer.h"

#include <QCborMap>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <algorithm>
#include <sqlite3.h>

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Rows of a query on a store file, read with SQLite itself, each row's
// columns joined by "|": what a person sees with `sqlite3`.
QStringList query(const QString &path, const char *sql)
{
    sqlite3 *db = nullptr;
    QStringList rows;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return {QStringLiteral("cannot open")};
    }
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) {
        rows << QString::fromUtf8(sqlite3_errmsg(db));
    } else {
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            QStringList columns;
            for (int i = 0; i < sqlite3_column_count(stmt); ++i)
                columns << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, i)));
            rows << columns.join(QLatin1Char('|'));
        }
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return rows;
}

class DSPersistentStoreTest : public ::testing::Test
{
protected:
    QString path(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }

    // A store file holding the rich graph; answers its dump.
    QString makeStore(const QString &file, qint64 archiveSize = 1 << 20)
    {
        DSManagedObjectContext context(toyModel());
        buildRichGraph(context, archiveSize);
        DSStoreError error;
        EXPECT_TRUE(context.addPersistentStore(file, DSStoreOptions(), &error));
        EXPECT_TRUE(context.save(&error)) << error.message().toStdString();
        return dumpGraph(context);
    }

    QString dumpOf(const QString &file)
    {
        DSManagedObjectContext context(toyModel());
        DSStoreError error;
        EXPECT_TRUE(context.addPersistentStore(file, DSStoreOptions(), &error)) << error.message().toStdString();
        return dumpGraph(context);
    }

    QTemporaryDir dir;
};

// Starts the child in a mode that stops halfway through a save, waits until
// it says so, and kills it with SIGKILL.
void killChildHalfway(const QString &mode, const QStringList &arguments)
{
    QProcess child;
    startChild(&child, mode, arguments);
    QByteArray out;
    while (!out.contains("HALFWAY") && child.waitForReadyRead(60000))
        out += child.readAllStandardOutput();
    ASSERT_TRUE(out.contains("HALFWAY")) << out.toStdString();
    child.kill(); // SIGKILL
    ASSERT_TRUE(child.waitForFinished(10000));
    EXPECT_EQ(child.exitStatus(), QProcess::CrashExit);
}

} // namespace

TEST_F(DSPersistentStoreTest, EveryAttributeKindComesBackEqualInANewProcess)
{
    const QString file = path("rich.sqlite");
    DSManagedObjectContext context(toyModel());
    DSManagedObject *main = buildRichGraph(context, 80 << 20);
    const QUrl before = main->uri();
    DSStoreError error;
    ASSERT_TRUE(context.addPersistentStore(file, DSStoreOptions(), &error));
    ASSERT_TRUE(context.save(&error)) << error.message().toStdString();
    EXPECT_EQ(main->uri(), before) << "the identity given at insertion is the stored one";
    EXPECT_FALSE(main->isInserted() || main->hasChanges());
    const QString expected = dumpGraph(context);
    EXPECT_TRUE(expected.contains(QStringLiteral("archive = 83886080 bytes")));
    EXPECT_TRUE(expected.contains(QStringLiteral("{1: \"one\", 2.5: \"two and a half\", -3: \"minus three\"}")));
    EXPECT_TRUE(expected.contains(QStringLiteral("1330860114(")) ) << "the tagged predicate is in the dump";

    const ChildResult child = runChild(QStringLiteral("dump"), {file});
    EXPECT_EQ(child.exitCode, 0);
    EXPECT_EQ(child.output, expected);

    // What the store's own reader gives back is the same predicate tree.
    DSManagedObjectContext reopened(toyModel());
    ASSERT_TRUE(reopened.addPersistentStore(file, DSStoreOptions(), &error)) << error.message().toStdString();
    const QVariant rule = reopened.objectsOfEntity(QStringLiteral("Library"))[0]->primitiveValueForKey(QStringLiteral("rule"));
    QString why;
    const DSPredicatePtr predicate = DSPredicate::fromPropertyList(rule.value<QCborValue>(), &why);
    ASSERT_TRUE(predicate) << why.toStdString();
    EXPECT_EQ(*predicate, *DSPredicate::fromString(QString::fromUtf8(k_compoundPredicateText)));
    EXPECT_EQ(predicate->toString(), DSPredicate::fromString(QString::fromUtf8(k_compoundPredicateText))->toString());
}

TEST_F(DSPersistentStoreTest, ReopenedBinaryDataWaitsInTheFileUntilRead)
{
    const QString file = path("lazy.sqlite");
    makeStore(file, 4 << 20);
    DSManagedObjectContext context(toyModel());
    ASSERT_TRUE(context.addPersistentStore(file, DSStoreOptions()));
    DSObjectList libraries = context.objectsOfEntity(QStringLiteral("Library"));
    ASSERT_EQ(libraries.size(), 2);
    DSManagedObject *main = libraries[0];
    EXPECT_FALSE(main->isValueLoaded(QStringLiteral("archive")));
    EXPECT_TRUE(libraries[1]->isValueLoaded(QStringLiteral("shelves")));
    // A save of other changes leaves it in the file.
    main->setPrimitiveValue(QStringLiteral("renamed"), QStringLiteral("name"));
    ASSERT_TRUE(context.save());
    EXPECT_FALSE(main->isValueLoaded(QStringLiteral("archive")));
    EXPECT_EQ(main->dataForKey(QStringLiteral("archive")), patternBytes(4 << 20, 7));
    EXPECT_TRUE(main->isValueLoaded(QStringLiteral("archive")));
    EXPECT_EQ(libraries[1]->dataForKey(QStringLiteral("archive")), QByteArray(""));
    EXPECT_FALSE(libraries[1]->dataForKey(QStringLiteral("archive")).isNull()) << "empty data is not none";
}

TEST_F(DSPersistentStoreTest, ASavedDeletionCanBeUndoneWithItsBinaryData)
{
    const QString file = path("undo.sqlite");
    makeStore(file, 2 << 20);
    const QString original = dumpOf(file);
    {
        DSManagedObjectContext context(toyModel());
        ASSERT_TRUE(context.addPersistentStore(file, DSStoreOptions()));
        DSManagedObject *main = context.objectsOfEntity(QStringLiteral("Library"))[0];
        ASSERT_FALSE(main->isValueLoaded(QStringLiteral("archive")));
        context.undoManager()->beginUndoGrouping();
        ASSERT_TRUE(context.deleteObject(main));
        context.undoManager()->endUndoGrouping();
        ASSERT_TRUE(context.save());
        EXPECT_TRUE(main->isFault());
        EXPECT_EQ(query(file, "SELECT count(*) FROM Library"), QStringList{QStringLiteral("1")});
        context.undoManager()->undo();
        EXPECT_FALSE(main->isFault() || main->isDeleted());
        ASSERT_TRUE(context.save());
    }
    EXPECT_EQ(dumpOf(file), original) << "the row and its data came back under the same identity";
}

TEST_F(DSPersistentStoreTest, TheFileIsReadableWithSqlite)
{
    const QString file = path("schema.sqlite");
    makeStore(file);
    EXPECT_EQ(query(file, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name"),
              (QStringList{"Item", "Library", "Loan", "Part", "Person", "Seal", "Tag", "Z_DATA_Item_scan",
                           "Z_DATA_Library_archive", "Z_ENTITY", "Z_Library_tags", "Z_METADATA"}));
    EXPECT_EQ(query(file, "SELECT name FROM pragma_table_info('Item')"),
              (QStringList{"Z_PK", "Z_ENT", "name", "index", "library", "pages", "scan", "minutes"}))
        << "one table for an entity tree";
    EXPECT_EQ(query(file, "SELECT scan FROM Item ORDER BY Z_PK"), (QStringList{"", "65536", "65536", ""}))
        << "a binary column holds the length";
    EXPECT_EQ(query(file, "SELECT Z_PK, length(data) FROM Z_DATA_Item_scan ORDER BY Z_PK"), (QStringList{"2|65536", "3|65536"}));
    EXPECT_EQ(query(file, "SELECT Z_PK, length(data) FROM Z_DATA_Library_archive ORDER BY Z_PK"), (QStringList{"1|1048576", "2|0"}));
    EXPECT_EQ(query(file, "SELECT Z_ENT, name, pages, minutes FROM Item ORDER BY Z_PK"),
              (QStringList{"Book|Book 0|100|", "Book|Book 1|101|", "Book|Book 2|102|", "Film|||121.75"}));
    EXPECT_EQ(query(file, "SELECT Library.name FROM Item JOIN Library ON Item.library = Library.Z_PK WHERE Item.Z_ENT = 'Film'"),
              QStringList{QString()});
    EXPECT_EQ(query(file, "SELECT count(*) FROM Part WHERE item IN (SELECT Z_PK FROM Item WHERE name = 'Book 2')"),
              QStringList{QStringLiteral("2")});
    EXPECT_EQ(query(file, "SELECT Tag.name FROM Z_Library_tags JOIN Tag ON Tag.Z_PK = Z_MEMBER ORDER BY Z_OWNER, Tag.name"),
              (QStringList{"own", "shared", "shared"}));
    EXPECT_EQ(query(file, "SELECT manager FROM Library ORDER BY Z_PK"), (QStringList{"1", ""}));
    EXPECT_EQ(query(file, "SELECT key, value FROM Z_METADATA WHERE key IN ('model_name', 'store_version') ORDER BY key"),
              (QStringList{"model_name|DSToyModel", "store_version|1"}));
    EXPECT_EQ(query(file, "SELECT max_pk FROM Z_ENTITY WHERE name = 'Item'"), QStringList{QStringLiteral("4")});
    EXPECT_EQ(query(file, "PRAGMA user_version"), QStringList{QStringLiteral("1")});

    DSStoreMetadata metadata;
    ASSERT_TRUE(DSPersistentStore::metadataForStoreAtPath(file, &metadata));
    EXPECT_EQ(metadata.modelName, QStringLiteral("DSToyModel"));
    EXPECT_EQ(metadata.storeVersion, 1);
    EXPECT_EQ(metadata.entityVersionHashes, toyModel()->entityVersionHashesByName());
}

TEST_F(DSPersistentStoreTest, ChangesSaveInPlaceAndNumbersContinue)
{
    const QString file = path("edit.sqlite");
    makeStore(file);
    QString expected;
    {
        DSManagedObjectContext context(toyModel());
        ASSERT_TRUE(context.addPersistentStore(file, DSStoreOptions()));
        const DSObjectList libraries = context.objectsOfEntity(QStringLiteral("Library"));
        DSManagedObject *main = libraries[0], *branch = libraries[1];
        DSManagedObject *book = context.insertNewObject(QStringLiteral("Book"));
        EXPECT_EQ(book->objectID().number(), 5) << "numbers go on after the stored ones";
        book->setObject(branch, QStringLiteral("library"));
        context.deleteObject(context.objectsOfEntity(QStringLiteral("Tag"))[1]);
        main->setObject(nullptr, QStringLiteral("manager"));
        branch->setPrimitiveValue(QVariant::fromValue(QCborMap{{7, QStringLiteral("seven")}}), QStringLiteral("labels"));
        main->setPrimitiveValue(qlonglong(11), QStringLiteral("temp_visits"));
        ASSERT_TRUE(context.save());
        EXPECT_EQ(main->integerForKey(QStringLiteral("temp_visits")), 11);
        expected = dumpGraph(context);
    }
    EXPECT_EQ(dumpOf(file), expected);
    EXPECT_EQ(query(file, "SELECT count(*) FROM Z_Library_tags"), QStringList{QStringLiteral("2")});
    DSManagedObjectContext reopened(toyModel());
    ASSERT_TRUE(reopened.addPersistentStore(file, DSStoreOptions()));
    EXPECT_EQ(reopened.objectsOfEntity(QStringLiteral("Library"))[0]->integerForKey(QStringLiteral("temp_visits")), 0)
        << "transient values are not stored";
}

TEST_F(DSPersistentStoreTest, AReadOnlyStoreRefusesToSaveAndStaysByteIdentical)
{
    const QString file = path("readonly.sqlite");
    makeStore(file, 2 << 20);
    const QByteArray bytes = fileBytes(file);
    const QStringList entries = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    DSManagedObjectContext context(toyModel());
    DSStoreOptions options;
    options.readOnly = true;
    options.pragmas = {{QStringLiteral("journal_mode"), QStringLiteral("DELETE")}};
    DSStoreError error;
    ASSERT_TRUE(context.addPersistentStore(file, options, &error)) << error.message().toStdString();
    DSManagedObject *main = context.objectsOfEntity(QStringLiteral("Library"))[0];
    EXPECT_EQ(main->dataForKey(QStringLiteral("archive")).size(), 2 << 20);
    main->setPrimitiveValue(QStringLiteral("changed"), QStringLiteral("name"));
    context.deleteObject(context.objectsOfEntity(QStringLiteral("Book"))[0]);
    EXPECT_FALSE(context.save(&error));
    EXPECT_EQ(error.code(), DSStoreError::ReadOnlyStore);
    EXPECT_TRUE(error.message().contains(QStringLiteral("read-only")));
    EXPECT_TRUE(context.hasChanges());
    EXPECT_EQ(fileBytes(file), bytes);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), entries) << "no journal, no side file";
}

TEST_F(DSPersistentStoreTest, AKilledSaveLeavesThePreviousFileIntactAndOpenable)
{
    const QString file = path("killed.sqlite");
    {
        DSManagedObjectContext context(toyModel());
        buildRichGraph(context, 1 << 20);
        for (int i = 0; i < 16; ++i) {
            DSManagedObject *book = context.insertNewObject(QStringLiteral("Book"));
            book->setPrimitiveValue(patternBytes(1 << 20, quint32(i)), QStringLiteral("scan"));
        }
        ASSERT_TRUE(context.addPersistentStore(file, DSStoreOptions()));
        ASSERT_TRUE(context.save());
    }
    const QString before = dumpOf(file);
    const QByteArray bytes = fileBytes(file);
    killChildHalfway(QStringLiteral("hang-in-save"), {file});
    EXPECT_TRUE(QFile::exists(file + QStringLiteral("-journal"))) << "the kill came inside the transaction";
    EXPECT_NE(fileBytes(file), bytes) << "and the file itself was half rewritten";
    EXPECT_EQ(dumpOf(file), before) << "opening rolls the half-written save back";
    EXPECT_EQ(fileBytes(file), bytes);
}

TEST_F(DSPersistentStoreTest, AKilledWriteOfANewFileLeavesNothingAtItsPath)
{
    const QString file = path("first.sqlite");
    killChildHalfway(QStringLiteral("hang-in-first-save"), {file});
    EXPECT_FALSE(QFile::exists(file)) << "a first save appears whole or not at all";
    // The side file a crash left behind is no obstacle to the next save.
    const QString expected = makeStore(file);
    EXPECT_EQ(dumpOf(file), expected);

    const QString target = path("target.sqlite");
    {
        DSManagedObjectContext context(toyModel());
        context.insertNewObject(QStringLiteral("Tag"))->setPrimitiveValue(QStringLiteral("old"), QStringLiteral("name"));
        ASSERT_TRUE(context.addPersistentStore(target, DSStoreOptions()));
        ASSERT_TRUE(context.save());
    }
    const QByteArray targetBytes = fileBytes(target);
    // Grow the source so copying it takes several steps.
    {
        DSManagedObjectContext context(toyModel());
        ASSERT_TRUE(context.addPersistentStore(file, DSStoreOptions()));
        for (int i = 0; i < 12; ++i)
            context.insertNewObject(QStringLiteral("Book"))->setPrimitiveValue(patternBytes(1 << 20, quint32(i)), QStringLiteral("scan"));
        ASSERT_TRUE(context.save());
    }
    killChildHalfway(QStringLiteral("hang-in-move"), {file, target});
    EXPECT_EQ(fileBytes(target), targetBytes) << "a replaced file stays whole until the new one is";
    EXPECT_TRUE(dumpOf(target).contains(QStringLiteral("name = old")));
}

TEST_F(DSPersistentStoreTest, AStoreMovesToANewFileAndFollowsARename)
{
    const QString first = path("first.sqlite"), second = path("second.sqlite"), third = path("third.sqlite");
    makeStore(first, 1 << 20);
    const QByteArray firstBytes = fileBytes(first);
    DSManagedObjectContext context(toyModel());
    ASSERT_TRUE(context.addPersistentStore(first, DSStoreOptions()));
    DSManagedObject *main = context.objectsOfEntity(QStringLiteral("Library"))[0];
    const QUrl uri = main->uri();
    main->setPrimitiveValue(QStringLiteral("unsaved"), QStringLiteral("name"));
    DSStoreError error;
    ASSERT_TRUE(context.migratePersistentStore(second, &error)) << error.message().toStdString();
    EXPECT_EQ(context.persistentStore()->path(), second);
    EXPECT_TRUE(context.hasChanges()) << "the move copies what was saved";
    ASSERT_TRUE(context.save());
    EXPECT_EQ(fileBytes(first), firstBytes) << "the old file is left as it was";
    EXPECT_EQ(query(second, "SELECT name FROM Library ORDER BY Z_PK").first(), QStringLiteral("unsaved"));

    ASSERT_TRUE(QFile::rename(second, third));
    ASSERT_TRUE(context.setPersistentStorePath(third, &error)) << error.message().toStdString();
    EXPECT_FALSE(main->isValueLoaded(QStringLiteral("archive")));
    EXPECT_EQ(main->dataForKey(QStringLiteral("archive")), patternBytes(1 << 20, 7)) << "read from the renamed file";
    EXPECT_EQ(main->uri(), uri);

    ASSERT_TRUE(context.removePersistentStore(&error));
    EXPECT_TRUE(main->isFault());
    EXPECT_TRUE(context.objectsOfEntity(QStringLiteral("Library")).isEmpty());
    EXPECT_FALSE(context.save(&error));
    EXPECT_EQ(error.code(), DSStoreError::StoreNotFound);
    ASSERT_TRUE(context.addPersistentStore(first, DSStoreOptions(), &error)) << "a reset context loads another store";
    EXPECT_EQ(context.objectsOfEntity(QStringLiteral("Library")).size(), 2);
}

TEST_F(DSPersistentStoreTest, OpeningRefusesWhatItCannotRead)
{
    const QString good = path("good.sqlite");
    makeStore(good);
    DSStoreError error;

    QFile junk(path("junk.sqlite"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(patternBytes(10000, 3));
    junk.close();
    struct Case {
        QString file;
        QByteArray model; // empty: the toy model
        DSStoreOptions options;
        DSStoreError::Code code;
        const char *message;
    };
    QByteArray otherModel = fileBytes(QStringLiteral(OSTREL_TEST_SOURCE_DIR "/models/toy.json"));
    otherModel.replace(R"({"name": "days", "type": "integer32"})", R"({"name": "days", "type": "double"})");
    DSStoreOptions badPragma;
    badPragma.pragmas = {{QStringLiteral("cache size"), QStringLiteral("1")}};
    DSStoreOptions ignoring;
    ignoring.ignoreVersioning = true;
    const Case cases[] = {
        {junk.fileName(), {}, {}, DSStoreError::StoreOpenFailed, "junk.sqlite"},
        {good, otherModel, {}, DSStoreError::IncompatibleModel, "“Loan” differs"},
        {good, otherModel, ignoring, DSStoreError::NoError, ""},
        {good, {}, badPragma, DSStoreError::StoreOpenFailed, "not a pragma name"},
        {path("missing.sqlite"), {}, [] { DSStoreOptions o; o.readOnly = true; return o; }(), DSStoreError::StoreNotFound, "missing.sqlite"},
    };
    for (const Case &c : cases) {
        auto model = c.model.isEmpty() ? toyModel() : DSManagedObjectModel::fromJson(c.model);
        DSManagedObjectContext context(model);
        error = DSStoreError();
        EXPECT_EQ(context.addPersistentStore(c.file, c.options, &error), c.code == DSStoreError::NoError) << c.message;
        EXPECT_EQ(error.code(), c.code) << error.message().toStdString();
        EXPECT_TRUE(error.message().contains(QString::fromUtf8(c.message))) << error.message().toStdString();
    }

    DSManagedObjectContext busy(toyModel());
    busy.insertNewObject(QStringLiteral("Tag"));
    EXPECT_FALSE(busy.addPersistentStore(good, DSStoreOptions(), &error));
    EXPECT_EQ(error.code(), DSStoreError::InvalidArgument);
}

// A store version's model only gains attributes (with their defaults),
// entities and relationships. A file saved under an earlier form of it
// opens under the current one with the defaults, is not written by the
// opening, and takes the current form with the first save; a file holding
// what the model no longer has is refused.
TEST_F(DSPersistentStoreTest, AStoreOfAnEarlierFormOfItsModelOpensWithTheDefaults)
{
    const QByteArray current = fileBytes(QStringLiteral(OSTREL_TEST_SOURCE_DIR "/models/toy.json"));
    QByteArray earlier = current;
    // Without Library.shelves (default 4), Film.minutes (no default) and
    // the many-to-many Library.tags with its Tag entity.
    const struct
    {
        const char *from;
        const char *to;
    } removals[] = {
        {R"({"name": "shelves", "type": "integer16", "default": 4},)", ""},
        {R"({"name": "minutes", "type": "double"} ] },)", R"(] },)"},
        {R"({"name": "tags", "destination": "Tag", "toMany": true, "inverse": "libraries"},)", ""},
        {R"({ "name": "Tag",
      "attributes": [
        {"name": "name", "type": "string"} ],
      "relationships": [
        {"name": "libraries", "destination": "Library", "toMany": true, "inverse": "tags"} ] },)", ""},
    };
    for (const auto &r : removals) {
        ASSERT_TRUE(earlier.contains(r.from)) << r.from;
        earlier.replace(r.from, r.to);
    }
    const auto earlierModel = DSManagedObjectModel::fromJson(earlier);
    ASSERT_TRUE(earlierModel);
    const QString file = path("earlier.sqlite");
    DSStoreError error;
    {
        DSManagedObjectContext context(earlierModel);
        DSManagedObject *library = context.insertNewObject(QStringLiteral("Library"));
        library->setPrimitiveValue(QStringLiteral("main"), QStringLiteral("name"));
        library->setPrimitiveValue(0.25, QStringLiteral("ratio"));
        DSManagedObject *film = context.insertNewObject(QStringLiteral("Film"));
        film->setPrimitiveValue(QStringLiteral("f"), QStringLiteral("name"));
        film->setObject(library, QStringLiteral("library"));
        ASSERT_TRUE(context.addPersistentStore(file, DSStoreOptions(), &error));
        ASSERT_TRUE(context.save(&error)) << error.message().toStdString();
    }
    const QByteArray saved = fileBytes(file);
    {
        DSManagedObjectContext context(toyModel());
        ASSERT_TRUE(context.addPersistentStore(file, DSStoreOptions(), &error)) << error.message().toStdString();
        ASSERT_EQ(context.objectsOfEntity(QStringLiteral("Library")).size(), 1);
        DSManagedObject *library = context.objectsOfEntity(QStringLiteral("Library"))[0];
        EXPECT_EQ(library->valueForKey(QStringLiteral("shelves")).toLongLong(), 4);
        EXPECT_EQ(library->valueForKey(QStringLiteral("ratio")).toDouble(), 0.25);
        EXPECT_EQ(library->valueForKey(QStringLiteral("name")).toString(), QStringLiteral("main"));
        EXPECT_TRUE(library->objectsForKey(QStringLiteral("tags")).isEmpty());
        DSManagedObject *film = context.objectsOfEntity(QStringLiteral("Film"))[0];
        EXPECT_FALSE(film->valueForKey(QStringLiteral("minutes")).isValid());
        EXPECT_EQ(film->objectForKey(QStringLiteral("library")), library);
        EXPECT_EQ(fileBytes(file), saved) << "opening writes nothing";

        library->setPrimitiveValue(QStringLiteral("renamed"), QStringLiteral("name"));
        DSManagedObject *tag = context.insertNewObject(QStringLiteral("Tag"));
        tag->setPrimitiveValue(QStringLiteral("new"), QStringLiteral("name"));
        library->setObjects({tag}, QStringLiteral("tags"));
        ASSERT_TRUE(context.save(&error)) << error.message().toStdString();
    }
    EXPECT_EQ(query(file, "SELECT name, shelves FROM Library"), QStringList{QStringLiteral("renamed|4")});
    DSStoreMetadata metadata;
    ASSERT_TRUE(DSPersistentStore::metadataForStoreAtPath(file, &metadata, &error));
    EXPECT_EQ(metadata.entityVersionHashes, toyModel()->entityVersionHashesByName()) << "the current form is recorded";
    {
        DSManagedObjectContext context(toyModel());
        ASSERT_TRUE(context.addPersistentStore(file, DSStoreOptions(), &error)) << error.message().toStdString();
        DSManagedObject *library = context.objectsOfEntity(QStringLiteral("Library"))[0];
        EXPECT_EQ(library->valueForKey(QStringLiteral("shelves")).toLongLong(), 4);
        EXPECT_EQ(library->valueForKey(QStringLiteral("name")).toString(), QStringLiteral("renamed"));
        ASSERT_EQ(library->objectsForKey(QStringLiteral("tags")).size(), 1);
    }

    // The other way round the file holds a column the model lacks.
    const QString full = path("full.sqlite");
    makeStore(full);
    DSManagedObjectContext older(earlierModel);
    EXPECT_FALSE(older.addPersistentStore(full, DSStoreOptions(), &error));
    EXPECT_EQ(error.code(), DSStoreError::IncompatibleModel);
    EXPECT_TRUE(error.message().contains(QStringLiteral("another entity model"))) << error.message().toStdString();
}

TEST_F(DSPersistentStoreTest, ADamagedValueNamesItsObject)
{
    const QString file = path("damaged.sqlite");
    makeStore(file);
    query(file, "UPDATE Library SET labels = x'bf61' WHERE Z_PK = 2");
    DSManagedObjectContext context(toyModel());
    DSStoreError error;
    EXPECT_FALSE(context.addPersistentStore(file, DSStoreOptions(), &error));
    EXPECT_EQ(error.code(), DSStoreError::StoreOpenFailed);
    EXPECT_TRUE(error.message().contains(QStringLiteral("Library 2, attribute “labels”"))) << error.message().toStdString();
    EXPECT_TRUE(context.objectsOfEntity(QStringLiteral("Library")).isEmpty()) << "no object was made";

    query(file, "UPDATE Library SET labels = NULL");
    query(file, "UPDATE Item SET Z_ENT = 'Item' WHERE Z_PK = 1");
    EXPECT_FALSE(context.addPersistentStore(file, DSStoreOptions(), &error));
    EXPECT_TRUE(error.message().contains(QStringLiteral("names the entity “Item”"))) << error.message().toStdString();
}

TEST_F(DSPersistentStoreTest, AFailedSaveSaysWhatFailedAndWritesNothing)
{
    const QString file = path("failing.sqlite");
    makeStore(file);
    DSManagedObjectContext context(toyModel());
    ASSERT_TRUE(context.addPersistentStore(file, DSStoreOptions()));
    context.objectsOfEntity(QStringLiteral("Library"))[0]->setPrimitiveValue(QStringLiteral("never saved"), QStringLiteral("name"));
    context.objectsOfEntity(QStringLiteral("Tag"))[0]->setPrimitiveValue(QStringLiteral("x"), QStringLiteral("name"));
    query(file, "DROP TABLE Tag");
    DSStoreError error;
    EXPECT_FALSE(context.save(&error));
    EXPECT_EQ(error.code(), DSStoreError::SaveFailed);
    EXPECT_TRUE(error.message().contains(QStringLiteral("failing.sqlite"))) << error.message().toStdString();
    EXPECT_TRUE(error.message().contains(QStringLiteral("Tag"))) << error.message().toStdString();
    EXPECT_TRUE(error.message().contains(QStringLiteral("no such table"))) << error.message().toStdString();
    EXPECT_TRUE(context.hasChanges());
    EXPECT_NE(query(file, "SELECT name FROM Library ORDER BY Z_PK").first(), QStringLiteral("never saved"));
}

namespace {

// Stores the bytes reversed; refuses a value that starts with "!" and
// stored bytes that start with "?", so both directions can fail.
class ReversedBytes : public DSValueTransformer
{
    static QByteArray reversed(const QByteArray &bytes)
    {
        QByteArray copy = bytes;
        std::reverse(copy.begin(), copy.end());
        return copy;
    }

public:
    std::optional<QByteArray> transformedValue(const QByteArray &value) const override
    {
        if (value.startsWith('!'))
            return std::nullopt;
        return reversed(value);
    }
    std::optional<QByteArray> reverseTransformedValue(const QByteArray &stored) const override
    {
        if (stored.startsWith('?'))
            return std::nullopt;
        return reversed(stored);
    }
};

std::shared_ptr<const DSManagedObjectModel> transformedModel(const char *transformer, const char *type = "binary")
{
    return DSManagedObjectModel::fromJson(QStringLiteral(R"({"name": "DSTransformed", "version": 1, "entities": [
        {"name": "Blob", "attributes": [{"name": "data", "type": "%1", "valueTransformerName": "%2"}]}]})")
                                              .arg(QLatin1String(type), QLatin1String(transformer))
                                              .toUtf8());
}

} // namespace

// A binary attribute whose model names a value transformer is stored in its
// transformed form and reads back as it was; a transformer that is missing
// or fails ends the save with an error, and stored bytes it refuses read as
// none.
TEST_F(DSPersistentStoreTest, BinaryDataPassesThroughItsValueTransformer)
{
    DSValueTransformer::setValueTransformer(QStringLiteral("TestReversedBytes"), std::make_shared<ReversedBytes>());
    const QString file = path("transformed.sqlite");
    {
        DSManagedObjectContext context(transformedModel("TestReversedBytes"));
        DSManagedObject *blob = context.insertNewObject(QStringLiteral("Blob"));
        blob->setPrimitiveValue(QByteArray("abc"), QStringLiteral("data"));
        DSStoreError error;
        ASSERT_TRUE(context.addPersistentStore(file, DSStoreOptions(), &error) && context.save(&error))
            << error.message().toStdString();
        EXPECT_EQ(query(file, "SELECT data FROM Z_DATA_Blob_data"), QStringList{QStringLiteral("cba")});

        blob->setPrimitiveValue(QByteArray("!refused"), QStringLiteral("data"));
        EXPECT_FALSE(context.save(&error));
        EXPECT_TRUE(error.isError());
        EXPECT_EQ(query(file, "SELECT data FROM Z_DATA_Blob_data"), QStringList{QStringLiteral("cba")})
            << "the failed save wrote nothing";
    }
    {
        DSManagedObjectContext context(transformedModel("TestReversedBytes"));
        ASSERT_TRUE(context.addPersistentStore(file, DSStoreOptions()));
        EXPECT_EQ(context.objectsOfEntity(QStringLiteral("Blob")).value(0)->dataForKey(QStringLiteral("data")),
                  QByteArray("abc"));
    }
    query(file, "UPDATE Z_DATA_Blob_data SET data = CAST('?xy' AS BLOB)");
    {
        DSManagedObjectContext context(transformedModel("TestReversedBytes"));
        ASSERT_TRUE(context.addPersistentStore(file, DSStoreOptions()));
        EXPECT_TRUE(context.objectsOfEntity(QStringLiteral("Blob")).value(0)->valueForKey(QStringLiteral("data")).isNull());
    }

    DSManagedObjectContext unregistered(transformedModel("TestNoSuchTransformer"));
    unregistered.insertNewObject(QStringLiteral("Blob"))->setPrimitiveValue(QByteArray("abc"), QStringLiteral("data"));
    DSStoreError error;
    EXPECT_FALSE(unregistered.addPersistentStore(path("unregistered.sqlite"), DSStoreOptions(), &error)
                 && unregistered.save(&error));

    DSStoreError modelError;
    EXPECT_FALSE(DSManagedObjectModel::fromJson(QByteArray(R"({"name": "M", "version": 1, "entities": [
        {"name": "E", "attributes": [{"name": "a", "type": "string", "valueTransformerName": "TestReversedBytes"}]}]})"),
                                                &modelError));
    EXPECT_TRUE(modelError.message().contains(QStringLiteral("E.a"))) << modelError.message().toStdString();
}
