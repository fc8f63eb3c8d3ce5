#pragma once

#include "platform/store/DSStoreError.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <memory>
#include <vector>

class DSEntityDescription;

// An entity model: the entities of one store version, loaded from a JSON
// model file. Models are shared (contexts, pools on worker threads, stores
// and every object's entity point into them) and immutable once loaded.
//
// The file format, one file per store version ("DSDataModel006.json"):
//
//   { "name": "DSDataModel006", "version": 6,
//     "defaultClass": "DSManagedObject",            (optional)
//     "entities": [
//       { "name": "DSTable", "abstract": true,
//         "attributes": [
//           { "name": "index", "type": "integer64", "default": 0 },
//           { "name": "name", "type": "string" } ],
//         "relationships": [
//           { "name": "columns", "destination": "DSColumn", "toMany": true,
//             "inverse": "table", "deleteRule": "cascade" } ] },
//       { "name": "DSDataTable", "parent": "DSTable", "class": "DSDataTable",
//         "attributes": [ { "name": "num_records", "type": "integer64" } ] } ] }
//
// Types: integer16, integer32, integer64, double, boolean, string, binary,
// date, transformable (its default may be any JSON value). Delete rules:
// nullify (the default), cascade, deny, none. Properties may say
// "transient": true; names starting with "temp_" are always transient.
// "class" defaults to "defaultClass", else to the entity's own name.
// A binary attribute may name a registered DSValueTransformer
// ("valueTransformerName") that its stored bytes pass through.
// Both sides of a relationship name each other as "inverse", or neither.
class DSManagedObjectModel
{
public:
    ~DSManagedObjectModel();
    DSManagedObjectModel(const DSManagedObjectModel &) = delete;
    DSManagedObjectModel &operator=(const DSManagedObjectModel &) = delete;

    // Loads a model; on failure answers null and says what is wrong (the
    // entity and property named) in *error when given.
    static std::shared_ptr<const DSManagedObjectModel> fromJson(const QByteArray &json,
                                                                DSStoreError *error = nullptr);
    static std::shared_ptr<const DSManagedObjectModel> fromFile(const QString &path,
                                                                DSStoreError *error = nullptr);
    // The model resource ":/models/<name>.json" compiled into the
    // application, loaded once and shared afterwards.
    static std::shared_ptr<const DSManagedObjectModel> modelNamed(const QString &name,
                                                                  DSStoreError *error = nullptr);

    const QString &name() const { return m_name; }
    // The store version the model describes.
    int version() const { return m_version; }
    // Every entity, in the order of the model file.
    const std::vector<const DSEntityDescription *> &entities() const { return m_entities; }
    const DSEntityDescription *entityNamed(const QString &name) const { return m_byName.value(name); }
    const QHash<QString, const DSEntityDescription *> &entitiesByName() const { return m_byName; }
    // Entities without a parent, in model order: one store table each.
    std::vector<const DSEntityDescription *> rootEntities() const;
    QHash<QString, QByteArray> entityVersionHashesByName() const;

private:
    DSManagedObjectModel() = default;
    class Loader;

    QString m_name;
    int m_version = 0;
    std::vector<std::unique_ptr<DSEntityDescription>> m_owned;
    std::vector<const DSEntityDescription *> m_entities;
    QHash<QString, const DSEntityDescription *> m_byName;
};
