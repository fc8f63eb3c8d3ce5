#pragma once

#include "platform/store/DSStoreSchema.h"

#include <QSet>
#include <QString>
#include <QVariant>

#include <optional>
#include <vector>

struct sqlite3;
class DSAttributeDescription;
class DSManagedObjectModel;
class DSSqliteStatement;

// What a store file written under an earlier form of its store version's
// model lacks of the current form: the columns of attributes and to-one
// relationships added since, and the tables of entities, binary data and
// to-many relationships added since. A store version's model only ever
// gains such properties and entities (each attribute with its default);
// removing or retyping one takes a new store version and a migration step.
//
// Reading such a file is a light migration: what it lacks reads as the
// attribute's default (none for a relationship), and the first save adds
// the columns and tables in its own transaction, fills the defaults into
// the rows already stored, and records the current entity hashes. Until
// then the file stays exactly as it was.
class DSStoreSchemaGap
{
public:
    // Compares the file's tables and columns with the schema of the model.
    // Answers the gap (perhaps empty), or nullopt with the reason in *why
    // when the file holds a table, a column or an entity the model does not
    // have, or a column of another type: such a file was saved under
    // another model, which only a migration reads.
    static std::optional<DSStoreSchemaGap> between(sqlite3 *db, const DSStoreSchema &schema,
                                                   const DSManagedObjectModel &model,
                                                   const QSet<QString> &storedEntities, QString *why);

    bool isEmpty() const { return m_missingTables.isEmpty() && m_missingColumnCount == 0; }
    // Whether the file has the table of that name (an entity's, binary
    // data's or a join table).
    bool hasTable(const QString &name) const { return !m_missingTables.contains(name); }
    // Whether the file has column `column` of the schema's table `table`.
    bool hasColumn(size_t table, size_t column) const;

    // Adds what the file lacks, inside the caller's transaction: the tables,
    // the columns (each filled with its attributes' defaults in the rows of
    // their entities) and the current entity rows. False with SQLite's
    // message in *why; the caller rolls back.
    bool fill(sqlite3 *db, const DSStoreSchema &schema, const DSManagedObjectModel &model, QString *why) const;

private:
    QSet<QString> m_missingTables;
    // Per schema table, whether the file has each of its columns.
    std::vector<std::vector<bool>> m_storedColumns;
    qsizetype m_missingColumnCount = 0;
};

// Binds an attribute's value as its column stores it: binary data binds its
// length (its bytes lie in the data table), a property list its CBOR bytes.
void ds_bind_attribute_value(DSSqliteStatement &s, int i, const DSAttributeDescription *a, const QVariant &value);

// Writes the model's rows of Z_ENTITY (parent, table, abstract flag, version
// hash), keeping the last number a root's row already records (0 for a new
// root). False on an SQLite failure.
bool ds_write_entity_rows(sqlite3 *db, const DSManagedObjectModel &model);
