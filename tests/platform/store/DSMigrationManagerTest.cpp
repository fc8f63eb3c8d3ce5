#include "StoreTestSupport.h"

#include "platform/store/DSAttributeDescription.h"
#include "platform/store/DSEntityDescription.h"
#include "platform/store/DSEntityMigrationPolicy.h"
#include "platform/store/DSManagedObjectContext.h"
#include "platform/store/DSManagedObjectModel.h"
#include "platform/store/DSMigrationManager.h"
#include "platform/store/DSObjectFactory.h"
#include "platform/store/DSPersistentStore.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Version 2's shelf: setting its title by key also labels it.
class ToyShelf : public DSManagedObject
{
public:
    void setValue(const QVariant &value, const QString &key) override
    {
        DSManagedObject::setValue(value, key);
        if (key == QLatin1String("title"))
            setPrimitiveValue(QString(QStringLiteral("shelf: ") + value.toString()), QStringLiteral("label"));
    }
};

// Rebuilds the graph by hand from the root, as the application's migration
// steps do: new objects by entity, attributes copied by key (through the
// destination class's setters), one attribute converted, one dropped, and
// references set on the to-one side for the store to fill the inverse.
class ToyShelfMigrator : public DSEntityMigrationPolicy
{
public:
    static int failAtShelf; // 0: never

    bool createDestinationInstancesForSourceInstance(DSManagedObject *sourceRoot, const DSEntityMapping &mapping,
                                                     DSMigrationManager &manager, DSStoreError *error) override
    {
        DSManagedObjectContext *destination = manager.destinationContext();
        DSManagedObject *root = destination->insertNewObject(QStringLiteral("Root"));
        int n = 0;
        for (DSManagedObject *source : sourceRoot->objectsForKey(QStringLiteral("shelves"))) {
            if (++n == failAtShelf)
                return ds_store_fail(error, DSStoreError::MigrationFailed, QStringLiteral("shelf %1 is unreadable").arg(n));
            DSManagedObject *shelf = destination->insertNewObject(QStringLiteral("Shelf"));
            for (const DSAttributeDescription *a : source->entity()->attributes()) {
                const QString key = a->name();
                const QVariant value = source->valueForKey(key);
                if (!value.isNull() && shelf->entity()->attributeNamed(key))
                    shelf->setValue(value, key);
            }
            const QVariant cm = source->valueForKey(QStringLiteral("width_cm"));
            if (!cm.isNull())
                shelf->setValue(qlonglong(std::llround(cm.toDouble() * 10)), QStringLiteral("width_mm"));
            shelf->setValue(QVariant::fromValue(root), QStringLiteral("root"));
        }
        manager.associateSourceInstance(sourceRoot, root, mapping);
        return true;
    }
};
int ToyShelfMigrator::failAtShelf = 0;

class DSMigrationManagerTest : public ::testing::Test
{
protected:
    DSMigrationManagerTest()
        : v1(testModel(QStringLiteral("migration_v1.json"))), v2(testModel(QStringLiteral("migration_v2.json")))
    {
        DSObjectFactory::registerClass<ToyShelf>(QStringLiteral("ToyShelf"));
        DSEntityMigrationPolicy::registerPolicyClass<ToyShelfMigrator>(QStringLiteral("ToyShelfMigrator"));
        ToyShelfMigrator::failAtShelf = 0;
        source = dir.filePath(QStringLiteral("Storage-001.sqlite"));
        destination = dir.filePath(QStringLiteral("Storage-002.sqlite"));
        DSManagedObjectContext context(v1);
        DSManagedObject *root = context.insertNewObject(QStringLiteral("Root"));
        const struct {
            const char *title;
            double widthCm;
        } shelves[] = {{"Poetry", 80.25}, {nullptr, 120}, {"Maps", 45.5}};
        int index = 0;
        for (const auto &s : shelves) {
            DSManagedObject *shelf = context.insertNewObject(QStringLiteral("Shelf"));
            if (s.title)
                shelf->setValue(QString::fromLatin1(s.title), QStringLiteral("title"));
            shelf->setValue(index++, QStringLiteral("index"));
            shelf->setValue(s.widthCm, QStringLiteral("width_cm"));
            shelf->setValue(77, QStringLiteral("legacy_code"));
            shelf->setObject(root, QStringLiteral("root"));
        }
        EXPECT_TRUE(context.addPersistentStore(source, DSStoreOptions()));
        EXPECT_TRUE(context.save());
    }

    DSMappingModel mapping(const QString &policy) const
    {
        DSEntityMapping m;
        m.name = QStringLiteral("RootToRoot");
        m.mappingType = DSEntityMappingType::Custom;
        m.sourceEntityName = m.destinationEntityName = QStringLiteral("Root");
        m.sourceEntityVersionHash = v1->entityNamed(QStringLiteral("Root"))->versionHash();
        m.destinationEntityVersionHash = v2->entityNamed(QStringLiteral("Root"))->versionHash();
        m.entityMigrationPolicyClassName = policy;
        m.sourceExpression = [](DSMigrationManager &manager) {
            const DSObjectList roots = manager.sourceContext()->objectsOfEntity(QStringLiteral("Root"));
            return roots.isEmpty() ? DSObjectList() : DSObjectList{roots.first()};
        };
        return DSMappingModel{{m}};
    }

    QByteArray sourceHash() const
    {
        QFile f(source);
        return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256) : QByteArray();
    }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden); }

    QTemporaryDir dir;
    std::shared_ptr<const DSManagedObjectModel> v1, v2;
    QString source, destination;
};

} // namespace

TEST_F(DSMigrationManagerTest, ACustomPolicyMigratesIntoANewFileLeavingTheOldOneUntouched)
{
    const QByteArray before = sourceHash();
    DSMigrationManager manager(v1, v2);
    DSStoreError error;
    ASSERT_TRUE(manager.migrateStore(source, DSStoreOptions(), mapping(QStringLiteral("ToyShelfMigrator")), destination,
                                     DSStoreOptions(), &error))
        << error.message().toStdString();
    EXPECT_EQ(sourceHash(), before);
    const DSObjectList sourceRoots = manager.sourceContext()->objectsOfEntity(QStringLiteral("Root"));
    const DSObjectList made = manager.destinationInstancesForEntityMappingNamed(QStringLiteral("RootToRoot"), sourceRoots);
    ASSERT_EQ(made.size(), 1);
    EXPECT_EQ(manager.sourceInstancesForEntityMappingNamed(QStringLiteral("RootToRoot"), made), sourceRoots);

    DSStoreMetadata metadata;
    ASSERT_TRUE(DSPersistentStore::metadataForStoreAtPath(destination, &metadata));
    EXPECT_EQ(metadata.storeVersion, 2);
    DSManagedObjectContext migrated(v2);
    ASSERT_TRUE(migrated.addPersistentStore(destination, DSStoreOptions(), &error)) << error.message().toStdString();
    const DSObjectList roots = migrated.objectsOfEntity(QStringLiteral("Root"));
    ASSERT_EQ(roots.size(), 1);
    QStringList shelves;
    for (DSManagedObject *shelf : roots[0]->objectsForKey(QStringLiteral("shelves")))
        shelves << QStringLiteral("%1 %2 %3 %4")
                       .arg(shelf->integerForKey(QStringLiteral("index")))
                       .arg(shelf->primitiveValueForKey(QStringLiteral("title")).toString(),
                            shelf->primitiveValueForKey(QStringLiteral("width_mm")).toString(),
                            shelf->stringForKey(QStringLiteral("label")));
    shelves.sort();
    EXPECT_EQ(shelves, (QStringList{QStringLiteral("0 Poetry 803 shelf: Poetry"), QStringLiteral("1  1200 none"),
                                    QStringLiteral("2 Maps 455 shelf: Maps")}));
    EXPECT_TRUE(DSObjectList(migrated.objectsOfEntity(QStringLiteral("Shelf"))).size() == 3);
    EXPECT_FALSE(migrated.model().entityNamed(QStringLiteral("Shelf"))->attributeNamed(QStringLiteral("legacy_code")));
}

TEST_F(DSMigrationManagerTest, AFailedMigrationLeavesNoFileBehind)
{
    const QStringList before = files();
    const QByteArray sourceBefore = sourceHash();
    ToyShelfMigrator::failAtShelf = 2;
    struct Case {
        const char *what;
        DSMappingModel mapping;
        const char *message;
    };
    DSMappingModel wrongHash = mapping(QStringLiteral("ToyShelfMigrator"));
    wrongHash.entityMappings[0].sourceEntityVersionHash = QByteArray(32, 'x');
    DSMappingModel wrongEntity = mapping(QStringLiteral("ToyShelfMigrator"));
    wrongEntity.entityMappings[0].destinationEntityName = QStringLiteral("Cupboard");
    const Case cases[] = {
        {"the policy fails", mapping(QStringLiteral("ToyShelfMigrator")), "shelf 2 is unreadable"},
        {"no such policy", mapping(QStringLiteral("NoSuchMigrator")), "No migration policy is named “NoSuchMigrator”"},
        {"another source version", wrongHash, "another version of the source entity “Root”"},
        {"no such destination entity", wrongEntity, "no entity “Cupboard”"},
    };
    for (const Case &c : cases) {
        DSMigrationManager manager(v1, v2);
        DSStoreError error;
        EXPECT_FALSE(manager.migrateStore(source, DSStoreOptions(), c.mapping, destination, DSStoreOptions(), &error)) << c.what;
        EXPECT_EQ(error.code(), DSStoreError::MigrationFailed) << c.what;
        EXPECT_TRUE(error.message().contains(QString::fromUtf8(c.message))) << error.message().toStdString();
        EXPECT_EQ(files(), before) << c.what;
    }
    EXPECT_EQ(sourceHash(), sourceBefore);

    ToyShelfMigrator::failAtShelf = 0;
    QFile existing(destination);
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("keep me");
    existing.close();
    DSMigrationManager manager(v1, v2);
    DSStoreError error;
    EXPECT_FALSE(manager.migrateStore(source, DSStoreOptions(), mapping(QStringLiteral("ToyShelfMigrator")), destination,
                                      DSStoreOptions(), &error));
    EXPECT_TRUE(error.message().contains(QStringLiteral("exists already")));
    EXPECT_TRUE(existing.open(QIODevice::ReadOnly));
    EXPECT_EQ(existing.readAll(), QByteArray("keep me"));
}
