#include "platform/store/DSStoreSchemaGap.h"

#include "platform/store/DSAttributeDescription.h"
#include "platform/store/DSEntityDescription.h"
#include "platform/store/DSManagedObjectModel.h"
#include "platform/store/DSPropertyList.h"
#include "platform/store/DSSqliteStatement.h"

#include <QHash>

#include <sqlite3.h>

namespace {

// The names of the file's tables; false on an SQLite failure.
bool storedTables(sqlite3 *db, QSet<QString> *names)
{
    DSSqliteStatement s(db, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"));
    int rc;
    while ((rc = s.step()) == SQLITE_ROW)
        names->insert(s.columnText(0));
    return s.isValid() && rc == SQLITE_DONE;
}

// Each column of a table in the file with its declared type, but Z_PK and
// Z_ENT; false on an SQLite failure.
bool storedColumns(sqlite3 *db, const QString &table, QHash<QString, QString> *columns)
{
    DSSqliteStatement s(db, QStringLiteral("PRAGMA table_info(%1)").arg(ds_sqlite_quote(table)));
    int rc;
    while ((rc = s.step()) == SQLITE_ROW) {
        const QString name = s.columnText(1);
        if (name != QLatin1String("Z_PK") && name != QLatin1String("Z_ENT"))
            columns->insert(name, s.columnText(2).toUpper());
    }
    return s.isValid() && rc == SQLITE_DONE;
}

// Every table the schema lays out, with the store's own two.
QSet<QString> schemaTables(const DSStoreSchema &schema)
{
    QSet<QString> names{QStringLiteral("Z_METADATA"), QStringLiteral("Z_ENTITY")};
    for (const DSStoreSchema::Table &t : schema.tables()) {
        names.insert(t.name);
        for (const DSStoreSchema::Column &c : t.columns)
            if (!c.dataTable.isEmpty())
                names.insert(c.dataTable);
    }
    for (const DSStoreSchema::JoinTable &j : schema.joinTables())
        names.insert(j.name);
    return names;
}

// Sets a column just added to each entity's default in the entity's rows.
bool fillDefaults(sqlite3 *db, const DSStoreSchema &schema, const DSManagedObjectModel &model, size_t table,
                  size_t column, QString *why)
{
    const DSStoreSchema::Table &t = schema.tables()[table];
    for (const DSEntityDescription *e : model.entities()) {
        if (e->rootEntity() != t.root || e->isAbstract())
            continue;
        for (const DSAttributeDescription *a : e->attributes()) {
            if (schema.columnOf(a) != int(column) || a->defaultValue().isNull()
                || a->attributeType() == DSAttributeType::Binary)
                continue;
            DSSqliteStatement s(db, QStringLiteral("UPDATE %1 SET %2 = ? WHERE Z_ENT = ?")
                                        .arg(ds_sqlite_quote(t.name), ds_sqlite_quote(t.columns[column].name)));
            ds_bind_attribute_value(s, 1, a, a->defaultValue());
            s.bindText(2, e->name());
            if (!s.run()) {
                *why = ds_sqlite_error(db);
                return false;
            }
        }
    }
    return true;
}

} // namespace

std::optional<DSStoreSchemaGap> DSStoreSchemaGap::between(sqlite3 *db, const DSStoreSchema &schema,
                                                          const DSManagedObjectModel &model,
                                                          const QSet<QString> &storedEntities, QString *why)
{
    for (const QString &entity : storedEntities)
        if (!model.entityNamed(entity)) {
            *why = QStringLiteral("the entity “%1” is not in this model").arg(entity);
            return std::nullopt;
        }
    QSet<QString> tables;
    if (!storedTables(db, &tables)) {
        *why = ds_sqlite_error(db);
        return std::nullopt;
    }
    const QSet<QString> known = schemaTables(schema);
    for (const QString &table : tables)
        if (!known.contains(table) && !table.startsWith(QLatin1String("sqlite_"))) {
            *why = QStringLiteral("the table “%1” is not in this model").arg(table);
            return std::nullopt;
        }
    DSStoreSchemaGap gap;
    for (const QString &table : known)
        if (!tables.contains(table))
            gap.m_missingTables.insert(table);
    for (const DSStoreSchema::Table &t : schema.tables()) {
        std::vector<bool> present(t.columns.size(), false);
        QHash<QString, QString> columns;
        if (tables.contains(t.name) && !storedColumns(db, t.name, &columns)) {
            *why = ds_sqlite_error(db);
            return std::nullopt;
        }
        for (size_t c = 0; c < t.columns.size(); ++c) {
            const auto stored = columns.constFind(t.columns[c].name);
            if (stored == columns.constEnd()) {
                gap.m_missingColumnCount += tables.contains(t.name) ? 1 : 0;
                continue;
            }
            if (*stored != t.columns[c].sqlType) {
                *why = QStringLiteral("the column “%1” of “%2” holds %3, not %4")
                           .arg(t.columns[c].name, t.name, *stored, t.columns[c].sqlType);
                return std::nullopt;
            }
            present[c] = true;
            columns.remove(t.columns[c].name);
        }
        if (!columns.isEmpty()) {
            *why = QStringLiteral("the column “%1” of “%2” is not in this model").arg(columns.cbegin().key(), t.name);
            return std::nullopt;
        }
        gap.m_storedColumns.push_back(std::move(present));
    }
    return gap;
}

bool DSStoreSchemaGap::hasColumn(size_t table, size_t column) const
{
    return table < m_storedColumns.size() && column < m_storedColumns[table].size() && m_storedColumns[table][column];
}

bool DSStoreSchemaGap::fill(sqlite3 *db, const DSStoreSchema &schema, const DSManagedObjectModel &model,
                            QString *why) const
{
    for (const QString &sql : schema.createStatements([this](const QString &table) { return !hasTable(table); }))
        if (!ds_sqlite_exec(db, sql, why))
            return false;
    for (size_t t = 0; t < schema.tables().size(); ++t) {
        const DSStoreSchema::Table &table = schema.tables()[t];
        if (!hasTable(table.name))
            continue;
        for (size_t c = 0; c < table.columns.size(); ++c) {
            if (hasColumn(t, c))
                continue;
            if (!ds_sqlite_exec(db, QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 %3")
                                        .arg(ds_sqlite_quote(table.name), ds_sqlite_quote(table.columns[c].name),
                                             table.columns[c].sqlType),
                                why)
                || !fillDefaults(db, schema, model, t, c, why))
                return false;
        }
    }
    if (!ds_write_entity_rows(db, model)) {
        *why = ds_sqlite_error(db);
        return false;
    }
    return true;
}

void ds_bind_attribute_value(DSSqliteStatement &s, int i, const DSAttributeDescription *a, const QVariant &value)
{
    if (value.isNull()) {
        s.bindNull(i);
        return;
    }
    switch (a->attributeType()) {
    case DSAttributeType::Double:
    case DSAttributeType::Date:
        s.bindDouble(i, value.toDouble());
        break;
    case DSAttributeType::String:
        s.bindText(i, value.toString());
        break;
    case DSAttributeType::Binary:
        s.bindInt64(i, value.toByteArray().size());
        break;
    case DSAttributeType::Transformable:
        s.bindBlob(i, ds_property_list_to_cbor(value.value<QCborValue>()));
        break;
    default:
        s.bindInt64(i, value.toLongLong());
        break;
    }
}

bool ds_write_entity_rows(sqlite3 *db, const DSManagedObjectModel &model)
{
    DSSqliteStatement entity(db, QStringLiteral(
        "INSERT INTO Z_ENTITY (name, parent, table_name, abstract, version_hash, max_pk) VALUES (?, ?, ?, ?, ?, ?) "
        "ON CONFLICT (name) DO UPDATE SET parent = excluded.parent, table_name = excluded.table_name, "
        "abstract = excluded.abstract, version_hash = excluded.version_hash"));
    for (const DSEntityDescription *e : model.entities()) {
        entity.reset();
        entity.bindText(1, e->name());
        e->superentity() ? entity.bindText(2, e->superentity()->name()) : entity.bindNull(2);
        entity.bindText(3, e->rootEntity()->name());
        entity.bindInt64(4, e->isAbstract() ? 1 : 0);
        entity.bindText(5, QString::fromLatin1(e->versionHash().toHex()));
        e->superentity() ? entity.bindNull(6) : entity.bindInt64(6, 0);
        if (!entity.run())
            return false;
    }
    return true;
}
