#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class DSEntityDescription;
class DSManagedObjectModel;
class DSPropertyDescription;
class DSRelationshipDescription;

// How a model's objects lie in an SQLite file, chosen so a person can read
// the file with `sqlite3`:
//  - one table per root entity, named after it, holding the root and all its
//    sub-entities: "Z_PK" (the object's number), "Z_ENT" (its entity's
//    name), then one column per stored attribute and to-one relationship of
//    the whole tree, named after the property (siblings' properties of the
//    same name share a column);
//  - a to-one relationship holds the destination's Z_PK;
//  - a binary attribute's column holds the data's length in bytes (NULL for
//    none) and the bytes lie in "Z_DATA_<root>_<attribute>" (Z_PK, data).
//    Rows of the entity tables stay small, so opening a store reads a few
//    pages however much binary data it holds, and the data is read only
//    when an object asks for it;
//  - a to-many relationship whose inverse is to-one is read from the
//    inverse's column; other to-many relationships (many-to-many, or no
//    inverse) keep their pairs in a join table "Z_<Entity>_<relationship>"
//    with columns "Z_OWNER" and "Z_MEMBER";
//  - "Z_METADATA" (key, value) and "Z_ENTITY" (one row per entity: parent,
//    table, version hash, and for roots the last number handed out).
// Transient properties have no column.
class DSStoreSchema
{
public:
    struct Column {
        QString name;
        QString sqlType; // INTEGER, REAL, TEXT or BLOB
        // For binary data: the table holding the bytes; empty otherwise.
        QString dataTable;
    };
    struct Table {
        const DSEntityDescription *root = nullptr;
        QString name;
        std::vector<Column> columns; // after Z_PK and Z_ENT
    };
    struct JoinTable {
        QString name;
        // The side whose objects are Z_OWNER; its inverse (if any) reads the
        // table the other way round.
        const DSRelationshipDescription *owner = nullptr;
    };

    explicit DSStoreSchema(const DSManagedObjectModel &model);

    const std::vector<Table> &tables() const { return m_tables; }
    const std::vector<JoinTable> &joinTables() const { return m_joinTables; }
    const Table &tableFor(const DSEntityDescription *entity) const;
    // Position in Table::columns of a property kept in a column, else -1.
    int columnOf(const DSPropertyDescription *property) const { return m_columnOf.value(property, -1); }
    // The join table of a to-many relationship kept in one (either side), else null.
    const JoinTable *joinTableOf(const DSRelationshipDescription *relationship) const;
    // CREATE TABLE statements for a new file; with `wanted`, only those of
    // the tables it answers true for (a join table's index goes with it).
    QStringList createStatements(const std::function<bool(const QString &table)> &wanted = {}) const;

private:
    std::vector<Table> m_tables;
    std::vector<JoinTable> m_joinTables;
    QHash<const DSEntityDescription *, int> m_tableOf;
    QHash<const DSPropertyDescription *, int> m_columnOf;
    QHash<const DSRelationshipDescription *, int> m_joinTableOf;
};
