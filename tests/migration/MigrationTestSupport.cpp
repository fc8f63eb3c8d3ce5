#include "MigrationTestSupport.h"

#include "ds_store_recipe.h"
#include "app/ds_register_model_classes.h"
#include "migration/ds_register_migration_policies.h"
#include "model/DSStatDocument.h"
#include "model/ds_application_defaults.h"
#include "platform/store/DSManagedObjectContext.h"
#include "platform/store/DSManagedObjectModel.h"
#include "platform/store/DSPersistentStore.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

class MigrationEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        ds_register_application_defaults();
        ds_register_model_classes();
        ds_register_migration_policies();
    }
};

[[maybe_unused]] const auto *s_environment = ::testing::AddGlobalTestEnvironment(new MigrationEnvironment);

} // namespace

DSManagedObject *DSMigrated::root() const
{
    const DSObjectList roots = context ? context->objectsOfEntity(QStringLiteral("DSDataRoot")) : DSObjectList();
    return roots.size() == 1 ? roots.first() : nullptr;
}

DSObjectList DSMigrated::tables() const
{
    return root() ? ds_sorted(root(), QStringLiteral("tables")) : DSObjectList();
}

DSMigrated ds_migrate_package(const QString &packagePath, int from, int to)
{
    DSMigrated result;
    result.folder = std::make_unique<QTemporaryDir>();
    const QUrl into = QUrl::fromLocalFile(result.folder->path());
    if (!DSStatDocument::migrateStoresFromURL(QUrl::fromLocalFile(packagePath), from - 1, to - 1, into, &result.error))
        return result;
    auto model = DSManagedObjectModel::modelNamed(DSStatDocument::storeModels()[to - 1]);
    auto context = std::make_unique<DSManagedObjectContext>(model);
    DSStoreOptions options;
    options.readOnly = true;
    DSStoreError error;
    const QString path = DSStatDocument::storeURLFromURL(into, DSStatDocument::storeFileNames()[to - 1]).toLocalFile();
    if (!context->addPersistentStore(path, options, &error)) {
        result.error = ds_make_error(1, error.message());
        return result;
    }
    result.context = std::move(context);
    return result;
}

DSMigrated ds_migrate_recipe(const QByteArray &recipe, int to)
{
    QTemporaryDir source;
    QString why;
    const QJsonObject parsed = ds_recipe_from_json(recipe, &why);
    const QString package = source.filePath(QStringLiteral("Recipe.ostrel"));
    if (parsed.isEmpty() || !ds_write_store_from_recipe(parsed, package, &why)) {
        ADD_FAILURE() << "recipe: " << why.toStdString();
        return DSMigrated();
    }
    const auto model = DSManagedObjectModel::modelNamed(parsed.value(QStringLiteral("model")).toString());
    return ds_migrate_package(package, model->version(), to);
}

DSObjectList ds_sorted(const DSManagedObject *object, const QString &key)
{
    DSObjectList members = object->objectsForKey(key);
    std::stable_sort(members.begin(), members.end(), [](DSManagedObject *a, DSManagedObject *b) {
        return a->integerForKey(QStringLiteral("index")) < b->integerForKey(QStringLiteral("index"));
    });
    return members;
}

QString ds_fixture(const QString &name)
{
    return QDir(QStringLiteral(OSTREL_TEST_SOURCE_DIR "/fixtures")).filePath(name);
}

QByteArray ds_file_sha256(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex();
}

QStringList ds_folder_hashes(const QString &path)
{
    QStringList lines;
    for (const QString &entry : QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name))
        lines << entry + QLatin1Char(' ') + QString::fromLatin1(ds_file_sha256(QDir(path).filePath(entry)));
    return lines;
}
