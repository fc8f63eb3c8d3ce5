#pragma once

#include "model/DSError.h"
#include "platform/store/DSManagedObject.h"
#include "platform/store/DSManagedObjectContext.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <ostream>

inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

// A store brought from one version to another by the document's chain of
// steps, reopened under the later version's model.
struct DSMigrated
{
    std::unique_ptr<QTemporaryDir> folder;
    std::unique_ptr<DSManagedObjectContext> context; // null when the chain failed
    DSError error;

    // The single root of the migrated store.
    DSManagedObject *root() const;
    // The root's tables in the order of their "index".
    DSObjectList tables() const;
};

// Migrates the store of the package at packagePath from store version
// `from` up to `to` (1 to 6) into a folder of its own.
DSMigrated ds_migrate_package(const QString &packagePath, int from, int to);
// Writes the recipe's store into a package of its own, then migrates it.
DSMigrated ds_migrate_recipe(const QByteArray &recipe, int to);

// The members of an object's to-many key sorted by "index".
DSObjectList ds_sorted(const DSManagedObject *object, const QString &key);

// The file of this folder's fixtures.
QString ds_fixture(const QString &name);
QByteArray ds_file_sha256(const QString &path);
// Every file of a folder with its hash, one "name hash" line each.
QStringList ds_folder_hashes(const QString &path);
