#include "ModelTestSupport.h"

#include "migration/DSPendingDataMigrator.h"
#include "model/DSDataImporter.h"
#include "model/DSDataRoot.h"
#include "model/DSDataTable.h"
#include "model/DSSmallNumberFormatter.h"
#include "model/DSStatDocument.h"
#include "platform/store/DSEntityDescription.h"
#include "platform/store/DSEntityMigrationPolicy.h"
#include "platform/store/DSManagedObjectContext.h"
#include "platform/store/DSManagedObjectModel.h"
#include "platform/store/DSMigrationManager.h"
#include "platform/store/DSObjectPool.h"
#include "platform/store/DSPersistentStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

const QString k_current = QStringLiteral("Storage-006.sqlite");

QUrl fileUrl(const QString &path)
{
    return QUrl::fromLocalFile(path);
}

ino_t inodeOf(const QString &path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

// Writes a store file of a toy older version with one root and the named tables.
void writeToyStore(const QString &path, const QString &modelName, const QStringList &tables, bool withRoot = true)
{
    DSManagedObjectContext context(DSManagedObjectModel::modelNamed(modelName));
    DSManagedObject *root = withRoot ? context.insertNewObject(QStringLiteral("DSDataRoot")) : nullptr;
    qint64 index = 0;
    for (const QString &name : tables) {
        DSManagedObject *table = context.insertNewObject(QStringLiteral("DSDataTable"));
        table->setPrimitiveValue(name, QStringLiteral("name"));
        table->setPrimitiveValue(index++, QStringLiteral("index"));
        table->setPrimitiveValue(qlonglong(10 * index), QStringLiteral("num_records"));
        table->setObject(root, QStringLiteral("data_root"));
    }
    DSStoreError error;
    ASSERT_TRUE(context.addPersistentStore(path, DSStoreOptions(), &error)) << error.message().toStdString();
    ASSERT_TRUE(context.save(&error)) << error.message().toStdString();
}

// Stands in for the version 5 to 6 step: rebuilds the toy tables as tables
// of the current model, or fails when asked to.
class ToyMigrator006 : public DSEntityMigrationPolicy
{
public:
    static inline bool fail = false;

    bool createDestinationInstancesForSourceInstance(DSManagedObject *sourceRoot, const DSEntityMapping &mapping,
                                                     DSMigrationManager &manager, DSStoreError *error) override
    {
        DSManagedObjectContext *destination = manager.destinationContext();
        auto *root = destination->insertNewObject<DSDataRoot>(QStringLiteral("DSDataRoot"));
        for (DSManagedObject *source : sourceRoot->objectsForKey(QStringLiteral("tables"))) {
            if (fail)
                return ds_store_fail(error, DSStoreError::MigrationFailed, QStringLiteral("a table is unreadable"));
            auto *table = destination->insertNewObject<DSDataTable>(QStringLiteral("DSDataTable"));
            table->setName(source->stringForKey(QStringLiteral("name")));
            table->setIndex(source->integerForKey(QStringLiteral("index")));
            table->setNum_records(source->integerForKey(QStringLiteral("num_records")));
            table->setData_root(root);
        }
        manager.associateSourceInstance(sourceRoot, root, mapping);
        return true;
    }
};

class DSStatDocumentTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ToyMigrator006::fail = false;
        DSEntityMigrationPolicy::registerPolicyClass<ToyMigrator006>(QStringLiteral("DSDataMigrator006"));
    }
    void TearDown() override { DSPendingDataMigrator::registerPendingMigrators(); }

    QString path(const QString &name) const { return dir.filePath(name); }

    // A new document saved as a package, with one more table "Second".
    QString savedPackage()
    {
        DSStatDocument document;
        document.initWithType(DSStatDocument::nativeType);
        auto *table = document.managedObjectContext()->insertNewObject<DSDataTable>(QStringLiteral("DSDataTable"));
        table->setName(QStringLiteral("Second"));
        table->setIndex(1);
        table->setNum_records(12);
        table->setData_root(document.data_root());
        const QString package = path(QStringLiteral("Saved.ostrel"));
        DSError error;
        EXPECT_TRUE(document.writeSafelyToURL(fileUrl(package), DSStatDocument::nativeType, DSSaveOperation::SaveAs,
                                              &error))
            << error.localizedDescription.toStdString();
        return package;
    }

    QTemporaryDir dir;
};

TEST_F(DSStatDocumentTest, NewDocumentHasOneEmptyActiveUnlockedTableAndNothingToUndo)
{
    DSStatDocument document;
    ASSERT_TRUE(document.initWithType(DSStatDocument::nativeType));
    DSDataRoot *root = document.data_root();
    ASSERT_TRUE(root);
    const QList<DSTable *> tables = root->sortedTables();
    ASSERT_EQ(tables.size(), 1);
    DSTable *table = tables.first();
    EXPECT_EQ(table->entity()->name(), QStringLiteral("DSDataTable"));
    EXPECT_EQ(table->name(), QStringLiteral("New Table"));
    EXPECT_EQ(table->index(), 0);
    EXPECT_EQ(table->num_records(), 0);
    EXPECT_EQ(table->data_root(), root);
    EXPECT_EQ(document.active_table(), table);
    EXPECT_TRUE(table->edit_data_unlocked());
    EXPECT_FALSE(document.managedObjectContext()->undoManager()->canUndo());
    EXPECT_FALSE(document.isDocumentEdited());
    EXPECT_TRUE(document.fileURL().isEmpty());
    EXPECT_EQ(document.decimal_formatter()->numberStyle(), DSPlatformNumberFormatter::DecimalStyle);
    EXPECT_TRUE(document.small_decimal_formatter()->usesScientificFormatter());
}

TEST_F(DSStatDocumentTest, SavingAnUntitledDocumentCreatesAPackageWithTheCurrentStoreOnly)
{
    const QString package = savedPackage();
    EXPECT_EQ(ds_folder_entries(package), QStringList{k_current});
    EXPECT_EQ(ds_folder_entries(dir.path()), QStringList{QStringLiteral("Saved.ostrel")});
}

TEST_F(DSStatDocumentTest, ReopeningInANewProcessGivesTheSameRootAndTables)
{
    const QString package = savedPackage();
    DSStatDocument reopened;
    ASSERT_TRUE(reopened.readFromURL(fileUrl(package), DSStatDocument::nativeType));
    const QString here = ds_describe_document(reopened);
    EXPECT_TRUE(here.contains(QStringLiteral("“New Table” index 0 rows 0"))) << here.toStdString();
    EXPECT_TRUE(here.contains(QStringLiteral("“Second” index 1 rows 12"))) << here.toStdString();

    const ChildResult child = ds_run_child(QStringLiteral("describe"), {package, DSStatDocument::nativeType});
    ASSERT_EQ(child.exitCode, 0);
    EXPECT_EQ(child.output, here);
}

TEST_F(DSStatDocumentTest, SaveAsOntoItsOwnLocationMovesNothing)
{
    const QString package = savedPackage();
    const QString store = QDir(package).filePath(k_current);
    const ino_t before = inodeOf(store);
    ASSERT_NE(before, ino_t(0));

    DSStatDocument document;
    ASSERT_TRUE(document.readFromURL(fileUrl(package), DSStatDocument::nativeType));
    document.data_root()->sortedTables().first()->setName(QStringLiteral("Renamed"));
    document.managedObjectContext()->processPendingChanges();
    EXPECT_TRUE(document.isDocumentEdited());
    DSError error;
    ASSERT_TRUE(document.writeSafelyToURL(fileUrl(package + QStringLiteral("/")), DSStatDocument::nativeType,
                                          DSSaveOperation::SaveAs, &error))
        << error.localizedDescription.toStdString();
    EXPECT_FALSE(document.isDocumentEdited());
    EXPECT_EQ(inodeOf(store), before) << "the store was rewritten elsewhere and moved";
    EXPECT_EQ(ds_folder_entries(package), QStringList{k_current});
    EXPECT_EQ(ds_folder_entries(dir.path()), QStringList{QStringLiteral("Saved.ostrel")});

    DSStatDocument reopened;
    ASSERT_TRUE(reopened.readFromURL(fileUrl(package), DSStatDocument::nativeType));
    EXPECT_EQ(reopened.data_root()->sortedTables().first()->name(), QStringLiteral("Renamed"));
}

// Save as elsewhere: the new package gets the unsaved change, the old one
// keeps its last saved state, and the document continues in the new one.
TEST_F(DSStatDocumentTest, SaveAsElsewhereLeavesTheOldPackageAtItsLastSave)
{
    const QString package = savedPackage();
    const QByteArray oldBytes = ds_file_sha256(QDir(package).filePath(k_current));
    DSStatDocument document;
    ASSERT_TRUE(document.readFromURL(fileUrl(package), DSStatDocument::nativeType));
    document.data_root()->sortedTables().first()->setName(QStringLiteral("Copy"));
    const QString copy = path(QStringLiteral("Copy.ostrel"));
    ASSERT_TRUE(document.writeSafelyToURL(fileUrl(copy), DSStatDocument::nativeType, DSSaveOperation::SaveAs));
    EXPECT_EQ(document.fileURL(), fileUrl(copy));
    EXPECT_EQ(ds_file_sha256(QDir(package).filePath(k_current)), oldBytes);
    EXPECT_EQ(ds_folder_entries(copy), QStringList{k_current});

    document.data_root()->sortedTables().first()->setName(QStringLiteral("Copy again"));
    ASSERT_TRUE(document.writeSafelyToURL(fileUrl(copy), DSStatDocument::nativeType, DSSaveOperation::Save));
    DSStatDocument reopened;
    ASSERT_TRUE(reopened.readFromURL(fileUrl(copy), DSStatDocument::nativeType));
    EXPECT_EQ(reopened.data_root()->sortedTables().first()->name(), QStringLiteral("Copy again"));
    EXPECT_EQ(ds_file_sha256(QDir(package).filePath(k_current)), oldBytes);
}

// Saving as onto another package replaces it only once the save succeeded.
TEST_F(DSStatDocumentTest, SaveAsReplacesAnotherPackage)
{
    const QString target = path(QStringLiteral("Target.ostrel"));
    QDir().mkpath(target);
    QFile stale(QDir(target).filePath(QStringLiteral("Storage-005.sqlite")));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write("an older document");
    stale.close();

    DSStatDocument document;
    document.initWithType(DSStatDocument::nativeType);
    ASSERT_TRUE(document.writeSafelyToURL(fileUrl(target + QStringLiteral("/")), DSStatDocument::nativeType,
                                          DSSaveOperation::SaveAs));
    EXPECT_EQ(ds_folder_entries(target), QStringList{k_current});
    EXPECT_EQ(ds_folder_entries(dir.path()), QStringList{QStringLiteral("Target.ostrel")});
}

TEST_F(DSStatDocumentTest, OpensFromVersionFiveAndLeavesOlderFilesAsTheyWere)
{
    const QString package = path(QStringLiteral("Old.ostrel"));
    QDir().mkpath(package);
    const QString v3 = QDir(package).filePath(QStringLiteral("Storage-003.sqlite"));
    const QString v5 = QDir(package).filePath(QStringLiteral("Storage-005.sqlite"));
    writeToyStore(v3, QStringLiteral("DSDataModel003"), {QStringLiteral("From three")});
    writeToyStore(v5, QStringLiteral("DSDataModel005"), {QStringLiteral("Alpha"), QStringLiteral("Beta")});
    const QByteArray v3Bytes = ds_file_sha256(v3), v5Bytes = ds_file_sha256(v5);

    DSStatDocument document;
    DSError error;
    ASSERT_TRUE(document.readFromURL(fileUrl(package), DSStatDocument::nativeType, &error))
        << error.localizedDescription.toStdString();
    EXPECT_EQ(ds_folder_entries(package),
              (QStringList{QStringLiteral("Storage-003.sqlite"), QStringLiteral("Storage-005.sqlite"), k_current}));
    EXPECT_EQ(ds_file_sha256(v3), v3Bytes);
    EXPECT_EQ(ds_file_sha256(v5), v5Bytes);
    const QList<DSTable *> tables = document.data_root()->sortedTables();
    ASSERT_EQ(tables.size(), 2);
    EXPECT_EQ(tables[0]->name(), QStringLiteral("Alpha"));
    EXPECT_EQ(tables[1]->name(), QStringLiteral("Beta"));
    EXPECT_EQ(tables[1]->num_records(), 20);

    // The next open reads the migrated file without migrating again.
    ToyMigrator006::fail = true;
    DSStatDocument again;
    ASSERT_TRUE(again.readFromURL(fileUrl(package), DSStatDocument::nativeType));
    EXPECT_EQ(again.data_root()->sortedTables().size(), 2);
}

// Read-only, an older package is brought up to date in a folder of the
// document's own: the package keeps its entries and bytes, a revert takes a
// new folder, and the folder goes with the document.
TEST_F(DSStatDocumentTest, ReadOnlyOpenOfAnOlderPackageWritesNothingIntoIt)
{
    const QString package = path(QStringLiteral("Old.ostrel"));
    QDir().mkpath(package);
    writeToyStore(QDir(package).filePath(QStringLiteral("Storage-005.sqlite")), QStringLiteral("DSDataModel005"),
                  {QStringLiteral("Alpha"), QStringLiteral("Beta")});
    const auto snapshot = [&] {
        QStringList files;
        for (const QString &entry : ds_folder_entries(package))
            files << entry + QLatin1Char(' ') + QString::fromLatin1(ds_file_sha256(QDir(package).filePath(entry)));
        return files;
    };
    const QStringList before = snapshot();
    ASSERT_EQ(before.size(), 1);

    QString firstFolder, secondFolder;
    {
        DSStatDocument document;
        DSError error;
        ASSERT_TRUE(document.readFromURL(fileUrl(package), DSStatDocument::readOnlyType, &error))
            << error.localizedDescription.toStdString();
        EXPECT_EQ(snapshot(), before);
        const QList<DSTable *> tables = document.data_root()->sortedTables();
        ASSERT_EQ(tables.size(), 2);
        EXPECT_EQ(tables[1]->name(), QStringLiteral("Beta"));
        EXPECT_EQ(tables[1]->num_records(), 20);
        DSPersistentStore *store = document.managedObjectContext()->persistentStore();
        EXPECT_TRUE(store->isReadOnly());
        firstFolder = QFileInfo(store->path()).absolutePath();
        EXPECT_EQ(QFileInfo(store->path()).fileName(), k_current);
        EXPECT_FALSE(firstFolder.startsWith(package));

        ASSERT_TRUE(document.revertToContentsOfURL(fileUrl(package), DSStatDocument::readOnlyType));
        EXPECT_EQ(document.data_root()->sortedTables().size(), 2);
        secondFolder = QFileInfo(document.managedObjectContext()->persistentStore()->path()).absolutePath();
        EXPECT_NE(secondFolder, firstFolder);
        EXPECT_FALSE(QFileInfo::exists(firstFolder)) << "the folder of the first open went with its store";
        EXPECT_EQ(snapshot(), before);
    }
    EXPECT_FALSE(QFileInfo::exists(secondFolder)) << "the folder goes with the document";
    EXPECT_EQ(snapshot(), before);
}

// A failed step leaves nothing at the destination name (or beside it under a
// side name) that a later open would take for the document.
TEST_F(DSStatDocumentTest, FailedMigrationLeavesNoPartialStore)
{
    struct Case {
        const char *what;
        bool policyFails;
        bool withRoot;
        const char *policy;
    };
    const Case cases[] = {
        {"policy error", true, true, nullptr},
        {"source without a root", false, false, nullptr},
        {"no policy for the step yet", false, true, "pending"},
    };
    for (const Case &c : cases) {
        QTemporaryDir scratch;
        const QString package = scratch.filePath(QStringLiteral("Old.ostrel"));
        QDir().mkpath(package);
        const QString v5 = QDir(package).filePath(QStringLiteral("Storage-005.sqlite"));
        writeToyStore(v5, QStringLiteral("DSDataModel005"), {QStringLiteral("Alpha")}, c.withRoot);
        const QByteArray before = ds_file_sha256(v5);
        ToyMigrator006::fail = c.policyFails;
        if (c.policy)
            DSPendingDataMigrator::registerPendingMigrators();

        DSStatDocument document;
        DSError error;
        EXPECT_FALSE(document.readFromURL(fileUrl(package), DSStatDocument::nativeType, &error)) << c.what;
        EXPECT_FALSE(error.localizedDescription.isEmpty()) << c.what;
        EXPECT_EQ(ds_folder_entries(package), QStringList{QStringLiteral("Storage-005.sqlite")}) << c.what;
        EXPECT_EQ(ds_file_sha256(v5), before) << c.what;
        DSEntityMigrationPolicy::registerPolicyClass<ToyMigrator006>(QStringLiteral("DSDataMigrator006"));
    }
}

// A store file whose tables are not those of its version's model (a
// version-5 store under the version-4 name) fails with an error naming it.
TEST_F(DSStatDocumentTest, OlderStoreOfAnotherModelFailsWithAnError)
{
    const QString package = path(QStringLiteral("Ancient.ostrel"));
    QDir().mkpath(package);
    const QString v4 = QDir(package).filePath(QStringLiteral("Storage-004.sqlite"));
    writeToyStore(v4, QStringLiteral("DSDataModel005"), {QStringLiteral("Alpha")});
    DSStatDocument document;
    DSError error;
    EXPECT_FALSE(document.readFromURL(fileUrl(package), DSStatDocument::nativeType, &error));
    EXPECT_TRUE(error.localizedDescription.contains(QStringLiteral("Storage-004.sqlite"))) << error.localizedDescription.toStdString();
    EXPECT_EQ(ds_folder_entries(package), QStringList{QStringLiteral("Storage-004.sqlite")});
}

// A package whose store is missing (only a file of a version this program
// does not know), or a folder in the store's place, fails to open with a
// message that says so.
TEST_F(DSStatDocumentTest, PackageWithoutStoreFileFailsWithAMessage)
{
    struct Case {
        const char *package;
        bool folder;
        const char *message;
    };
    const Case cases[] = {
        {"Empty.ostrel", false, "The document “Empty.ostrel” holds no store file, so it cannot be opened."},
        {"Folder.ostrel", true,
         "The document “Folder.ostrel” cannot be opened: its store “Storage-006.sqlite” is a folder, not a file."},
    };
    for (const Case &c : cases) {
        const QString package = path(QString::fromUtf8(c.package));
        QDir().mkpath(package);
        QFile other(QDir(package).filePath(QStringLiteral("Storage-007.sqlite")));
        ASSERT_TRUE(other.open(QIODevice::WriteOnly));
        other.close();
        if (c.folder)
            QDir().mkpath(QDir(package).filePath(QStringLiteral("Storage-006.sqlite")));
        DSStatDocument document;
        DSError error;
        EXPECT_FALSE(document.readFromURL(fileUrl(package), DSStatDocument::nativeType, &error)) << c.package;
        EXPECT_EQ(error.code, 1) << c.package;
        EXPECT_EQ(error.localizedDescription, QString::fromUtf8(c.message)) << c.package;
    }
}

TEST_F(DSStatDocumentTest, ImportableFileOpensAsUntitledDocumentWithPendingImporter)
{
    // How the importer meets the file's text "a,b\n1,2\n".
    enum Outcome { Reads, Refuses, NotBuilt };
    struct Case {
        const char *file;
        const char *importer;
        Outcome outcome = NotBuilt;
    };
    const Case cases[] = {
        {"data.csv", "DSDataImporterCSV", Reads},      {"data.TSV", "DSDataImporterCSV", Reads},
        {"book.numbers", "DSDataImporterNumbers", Refuses}, {"survey.sav", "DSDataImporterDTA", Refuses},
        {"ws.RData", "DSDataImporterRData", Refuses}, {"base.sqlite3", "DSDataImporterSQLite", Refuses},
    };
    for (const Case &c : cases) {
        const QString file = path(QString::fromLatin1(c.file));
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("a,b\n1,2\n");
        f.close();

        DSStatDocument document;
        const QString type = DSStatDocument::typeForURL(fileUrl(file));
        ASSERT_TRUE(document.readFromURL(fileUrl(file), type)) << c.file;
        EXPECT_TRUE(document.fileURL().isEmpty()) << c.file;
        EXPECT_EQ(document.fileType(), DSStatDocument::nativeType) << c.file;
        ASSERT_TRUE(document.data_root()) << c.file;
        EXPECT_TRUE(document.data_root()->tables().isEmpty()) << c.file;
        EXPECT_EQ(document.active_table(), nullptr) << c.file;
        ASSERT_TRUE(document.initial_importer()) << c.file;
        EXPECT_EQ(document.initial_importer()->className(), QString::fromLatin1(c.importer)) << c.file;
        EXPECT_EQ(document.initial_importer()->urls(), QList<QUrl>{fileUrl(file)}) << c.file;

        // A registered reader makes the file's table, or refuses text that
        // is not its kind of file with an error naming it; a reader not
        // built into this program yet says so instead of handing back an
        // empty table.
        DSObjectPool pool(document.managedObjectModel());
        DSError error;
        if (c.outcome == Reads) {
            EXPECT_TRUE(document.initial_importer()->parseIntoPool(pool, &error)) << c.file;
            EXPECT_EQ(pool.objectsOfEntity(QStringLiteral("DSDataTable")).size(), 1) << c.file;
            continue;
        }
        EXPECT_FALSE(document.initial_importer()->parseIntoPool(pool, &error)) << c.file;
        EXPECT_TRUE(error.localizedDescription.contains(QString::fromLatin1(c.file))) << c.file;
        if (c.outcome == NotBuilt) {
            EXPECT_TRUE(pool.objects().isEmpty()) << c.file;
        }
    }
}

TEST_F(DSStatDocumentTest, ReadOnlyDocumentRefusesChangesAndNeverAsksToSave)
{
    const QString package = savedPackage();
    const QByteArray before = ds_file_sha256(QDir(package).filePath(k_current));
    DSStatDocument document;
    ASSERT_TRUE(document.readFromURL(fileUrl(package), DSStatDocument::readOnlyType));
    EXPECT_TRUE(document.isReadOnly());
    EXPECT_TRUE(document.managedObjectContext()->persistentStore()->isReadOnly());
    document.data_root()->sortedTables().first()->setName(QStringLiteral("Changed"));
    EXPECT_FALSE(document.isDocumentEdited());
    DSError error;
    EXPECT_FALSE(document.writeSafelyToURL(fileUrl(package), DSStatDocument::readOnlyType, DSSaveOperation::Save, &error));
    EXPECT_FALSE(error.localizedDescription.isEmpty());
    EXPECT_EQ(ds_file_sha256(QDir(package).filePath(k_current)), before);
    EXPECT_EQ(ds_folder_entries(package), QStringList{k_current});
}

TEST_F(DSStatDocumentTest, EditedUntilSavedOrReverted)
{
    const QString package = savedPackage();
    DSStatDocument document;
    QSignalSpy edited(&document, &DSStatDocument::documentEditedChanged);
    ASSERT_TRUE(document.readFromURL(fileUrl(package), DSStatDocument::nativeType));
    EXPECT_FALSE(document.isDocumentEdited());
    DSTable *table = document.data_root()->sortedTables().first();
    table->setName(QStringLiteral("Changed"));
    document.managedObjectContext()->processPendingChanges();
    EXPECT_TRUE(document.isDocumentEdited());
    EXPECT_EQ(edited.count(), 1);

    ASSERT_TRUE(document.revertToContentsOfURL(fileUrl(package), DSStatDocument::nativeType));
    EXPECT_FALSE(document.isDocumentEdited());
    EXPECT_EQ(document.data_root()->sortedTables().first()->name(), QStringLiteral("New Table"));
    EXPECT_EQ(document.active_table(), nullptr);

    document.data_root()->sortedTables().first()->setName(QStringLiteral("Saved"));
    EXPECT_FALSE(document.isDocumentEdited()) << "an edit counts once the event that made it is processed";
    document.managedObjectContext()->processPendingChanges();
    EXPECT_TRUE(document.isDocumentEdited());
    ASSERT_TRUE(document.writeSafelyToURL(fileUrl(package), DSStatDocument::nativeType, DSSaveOperation::Save));
    EXPECT_FALSE(document.isDocumentEdited());
}

TEST_F(DSStatDocumentTest, StoreWithoutRootIsPresentedOnce)
{
    const QString package = path(QStringLiteral("Rootless.ostrel"));
    QDir().mkpath(package);
    {
        DSManagedObjectContext context(DSManagedObjectModel::modelNamed(QStringLiteral("DSDataModel006")));
        context.insertNewObject(QStringLiteral("DSDataTable"));
        DSStoreError error;
        ASSERT_TRUE(context.addPersistentStore(QDir(package).filePath(k_current), DSStoreOptions(), &error));
        ASSERT_TRUE(context.save(&error));
    }
    DSStatDocument document;
    QSignalSpy presented(&document, &DSStatDocument::errorPresented);
    ASSERT_TRUE(document.readFromURL(fileUrl(package), DSStatDocument::nativeType));
    EXPECT_EQ(document.data_root(), nullptr);
    EXPECT_EQ(document.data_root(), nullptr);
    ASSERT_EQ(presented.count(), 1);
    EXPECT_EQ(presented.first().first().value<DSError>().localizedDescription,
              QStringLiteral("Error retrieving data from the data store"));
}

TEST(DSStatDocumentLists, StoreVersionsModelsAndMigrators)
{
    EXPECT_EQ(DSStatDocument::storeFileNames(),
              (QStringList{"Storage.innerostrel", "Storage-002.sqlite", "Storage-003.sqlite", "Storage-004.sqlite",
                           "Storage-005.sqlite", "Storage-006.sqlite"}));
    EXPECT_EQ(DSStatDocument::storeModels(), (QStringList{"DSDataModel", "DSDataModel002", "DSDataModel003",
                                                          "DSDataModel004", "DSDataModel005", "DSDataModel006"}));
    EXPECT_EQ(DSStatDocument::storeMigrators(), (QStringList{"DSDataMigrator002", "DSDataMigrator003",
                                                             "DSDataMigrator004", "DSDataMigrator005",
                                                             "DSDataMigrator006"}));
    EXPECT_EQ(DSStatDocument::storeURLFromURL(QUrl::fromLocalFile(QStringLiteral("/d/x.ostrel"))),
              QUrl::fromLocalFile(QStringLiteral("/d/x.ostrel/Storage-006.sqlite")));
    EXPECT_TRUE(DSStatDocument::storeURLFromURL(QUrl()).isEmpty());
    EXPECT_EQ(DSStatDocument::typeForURL(QUrl::fromLocalFile(QStringLiteral("/d/x.ostrel"))), DSStatDocument::nativeType);
    EXPECT_EQ(DSStatDocument::typeForURL(QUrl::fromLocalFile(QStringLiteral("/d/fish.ostrel-ro"))),
              DSStatDocument::readOnlyType);
}

} // namespace
