#include "platform/store/DSStoreSchema.h"

#include "platform/store/DSAttributeDescription.h"
#include "platform/store/DSEntityDescription.h"
#include "platform/store/DSManagedObjectModel.h"
#include "platform/store/DSRelationshipDescription.h"
#include "platform/store/DSSqliteStatement.h"

namespace {

QString sqlTypeOf(const DSAttributeDescription *a)
{
    switch (a->attributeType()) {
    case DSAttributeType::Integer16:
    case DSAttributeType::Integer32:
    case DSAttributeType::Integer64:
    case DSAttributeType::Boolean:
        return QStringLiteral("INTEGER");
    case DSAttributeType::Double:
    case DSAttributeType::Date:
        return QStringLiteral("REAL");
    case DSAttributeType::String:
        return QStringLiteral("TEXT");
    case DSAttributeType::Binary:
        return QStringLiteral("INTEGER"); // the length; the bytes are in a data table
    case DSAttributeType::Transformable:
        return QStringLiteral("BLOB");
    }
    return QString();
}

bool isBinary(const DSPropertyDescription *p)
{
    return p->isAttribute()
           && static_cast<const DSAttributeDescription *>(p)->attributeType() == DSAttributeType::Binary;
}

// Whether a to-many relationship's members are found through its inverse's column.
bool readsThroughInverse(const DSRelationshipDescription *r)
{
    const DSRelationshipDescription *inverse = r->inverseRelationship();
    return inverse && !inverse->isToMany() && !inverse->isTransient();
}

QString sideKey(const DSRelationshipDescription *r)
{
    return r->entity()->name() + QLatin1Char('.') + r->name();
}

// Every entity of a root's tree, the root first, depth first in model order.
void collectTree(const DSEntityDescription *e, std::vector<const DSEntityDescription *> *out)
{
    out->push_back(e);
    for (const DSEntityDescription *sub : e->subentities())
        collectTree(sub, out);
}

} // namespace

DSStoreSchema::DSStoreSchema(const DSManagedObjectModel &model)
{
    for (const DSEntityDescription *root : model.rootEntities()) {
        Table table;
        table.root = root;
        table.name = root->name();
        std::vector<const DSEntityDescription *> tree;
        collectTree(root, &tree);
        QHash<QString, int> byName;
        for (const DSEntityDescription *e : tree) {
            m_tableOf.insert(e, int(m_tables.size()));
            for (const DSPropertyDescription *p : e->properties()) {
                if (p->entity() != e || p->isTransient())
                    continue;
                if (p->isRelationship() && static_cast<const DSRelationshipDescription *>(p)->isToMany())
                    continue;
                auto found = byName.constFind(p->name());
                if (found == byName.constEnd()) {
                    Column c;
                    c.name = p->name();
                    c.sqlType = p->isAttribute() ? sqlTypeOf(static_cast<const DSAttributeDescription *>(p))
                                                 : QStringLiteral("INTEGER");
                    if (isBinary(p))
                        c.dataTable = QStringLiteral("Z_DATA_") + table.name + QLatin1Char('_') + p->name();
                    found = byName.insert(p->name(), int(table.columns.size()));
                    table.columns.push_back(c);
                }
                m_columnOf.insert(p, *found);
            }
        }
        m_tables.push_back(std::move(table));
    }
    for (const DSEntityDescription *e : model.entities()) {
        for (const DSRelationshipDescription *r : e->relationships()) {
            if (r->entity() != e || !r->isToMany() || r->isTransient() || readsThroughInverse(r))
                continue;
            // A many-to-many pair shares one table, named after the side whose
            // entity and name sort first.
            const DSRelationshipDescription *inverse = r->inverseRelationship();
            if (inverse && !inverse->isTransient() && sideKey(inverse) < sideKey(r))
                continue;
            JoinTable join;
            join.name = QStringLiteral("Z_") + e->name() + QLatin1Char('_') + r->name();
            join.owner = r;
            m_joinTableOf.insert(r, int(m_joinTables.size()));
            if (inverse && !inverse->isTransient())
                m_joinTableOf.insert(inverse, int(m_joinTables.size()));
            m_joinTables.push_back(join);
        }
    }
}

const DSStoreSchema::Table &DSStoreSchema::tableFor(const DSEntityDescription *entity) const
{
    return m_tables[size_t(m_tableOf.value(entity))];
}

const DSStoreSchema::JoinTable *DSStoreSchema::joinTableOf(const DSRelationshipDescription *relationship) const
{
    const int i = m_joinTableOf.value(relationship, -1);
    return i < 0 ? nullptr : &m_joinTables[size_t(i)];
}

QStringList DSStoreSchema::createStatements(const std::function<bool(const QString &table)> &wanted) const
{
    const auto want = [&wanted](const QString &table) { return !wanted || wanted(table); };
    QStringList statements;
    if (want(QStringLiteral("Z_METADATA")))
        statements << QStringLiteral("CREATE TABLE Z_METADATA (key TEXT PRIMARY KEY, value)");
    if (want(QStringLiteral("Z_ENTITY")))
        statements << QStringLiteral("CREATE TABLE Z_ENTITY (name TEXT PRIMARY KEY, parent TEXT, table_name TEXT NOT NULL, "
                                     "abstract INTEGER NOT NULL, version_hash TEXT NOT NULL, max_pk INTEGER)");
    for (const Table &t : m_tables) {
        QStringList columns{QStringLiteral("Z_PK INTEGER PRIMARY KEY"), QStringLiteral("Z_ENT TEXT NOT NULL")};
        for (const Column &c : t.columns)
            columns << ds_sqlite_quote(c.name) + QLatin1Char(' ') + c.sqlType;
        if (want(t.name))
            statements << QStringLiteral("CREATE TABLE %1 (%2)").arg(ds_sqlite_quote(t.name), columns.join(QStringLiteral(", ")));
        for (const Column &c : t.columns)
            if (!c.dataTable.isEmpty() && want(c.dataTable))
                statements << QStringLiteral("CREATE TABLE %1 ( -- %2.%3\n  Z_PK INTEGER PRIMARY KEY, data BLOB NOT NULL)")
                                  .arg(ds_sqlite_quote(c.dataTable), t.name, c.name);
    }
    for (const JoinTable &j : m_joinTables) {
        if (!want(j.name))
            continue;
        const DSRelationshipDescription *r = j.owner;
        statements << QStringLiteral("CREATE TABLE %1 ( -- %2.%3 -> %4\n  Z_OWNER INTEGER NOT NULL, Z_MEMBER INTEGER NOT NULL, "
                                     "PRIMARY KEY (Z_OWNER, Z_MEMBER)) WITHOUT ROWID")
                          .arg(ds_sqlite_quote(j.name), r->entity()->name(), r->name(), r->destinationEntity()->name())
                   << QStringLiteral("CREATE INDEX %1 ON %2 (Z_MEMBER)")
                          .arg(ds_sqlite_quote(j.name + QStringLiteral("_member")), ds_sqlite_quote(j.name));
    }
    return statements;
}
