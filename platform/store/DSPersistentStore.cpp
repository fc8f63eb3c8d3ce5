#include "platform/store/DSPersistentStore.h"

#include "platform/store/DSAttributeDescription.h"
#include "platform/store/DSEntityDescription.h"
#include "platform/store/DSManagedObjectContext.h"
#include "platform/store/DSManagedObjectModel.h"
#include "platform/store/DSPropertyList.h"
#include "platform/store/DSRelationshipDescription.h"
#include "platform/store/DSSqliteStatement.h"
#include "platform/store/DSStoreFile.h"
#include "platform/store/DSValueTransformer.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <sqlite3.h>

#include <limits>

namespace {

// PRAGMA application_id of every store file: "OSTR".
constexpr int k_applicationId = 0x4F535452;
constexpr int k_formatVersion = 1;
// Pages copied per step when a store is copied to a new file.
constexpr int k_backupChunkPages = 1024;

DSPersistentStore::SaveProgressHook s_saveProgressHook = nullptr;

QString fileLabel(const QString &path)
{
    return QFileInfo(path).fileName();
}

QString objectLabel(const DSManagedObject *o)
{
    return QStringLiteral("%1 %2").arg(o->entity()->name()).arg(o->objectID().number());
}

sqlite3 *openDatabase(const QString &path, int flags, QString *error)
{
    sqlite3 *db = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, flags | SQLITE_OPEN_EXRESCODE, nullptr);
    if (rc != SQLITE_OK) {
        if (error)
            *error = db ? ds_sqlite_error(db) : QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_close_v2(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, 5000);
    return db;
}

bool pragmaInt(sqlite3 *db, const char *name, qint64 *value)
{
    DSSqliteStatement s(db, QStringLiteral("PRAGMA %1").arg(QLatin1String(name)));
    if (!s.isValid() || s.step() != SQLITE_ROW)
        return false;
    *value = s.columnInt64(0);
    return true;
}

// Reads Z_METADATA and Z_ENTITY; false when the file is no store of ours.
bool readMetadata(sqlite3 *db, DSStoreMetadata *metadata, QHash<QString, qint64> *maxNumbers, QString *why)
{
    qint64 applicationId = 0;
    if (!pragmaInt(db, "application_id", &applicationId)) {
        *why = ds_sqlite_error(db);
        return false;
    }
    if (applicationId != k_applicationId) {
        *why = QStringLiteral("it is not a store file");
        return false;
    }
    DSSqliteStatement meta(db, QStringLiteral("SELECT key, value FROM Z_METADATA"));
    if (!meta.isValid()) {
        *why = ds_sqlite_error(db);
        return false;
    }
    QHash<QString, QString> values;
    while (meta.step() == SQLITE_ROW)
        values.insert(meta.columnText(0), meta.columnText(1));
    if (values.value(QStringLiteral("format")).toInt() != k_formatVersion) {
        *why = QStringLiteral("its format is not one this version reads");
        return false;
    }
    metadata->identifier = values.value(QStringLiteral("identifier"));
    metadata->modelName = values.value(QStringLiteral("model_name"));
    metadata->storeVersion = values.value(QStringLiteral("store_version")).toInt();
    DSSqliteStatement entities(db, QStringLiteral("SELECT name, version_hash, max_pk FROM Z_ENTITY"));
    if (!entities.isValid()) {
        *why = ds_sqlite_error(db);
        return false;
    }
    while (entities.step() == SQLITE_ROW) {
        metadata->entityVersionHashes.insert(entities.columnText(0), QByteArray::fromHex(entities.columnText(1).toLatin1()));
        if (maxNumbers && entities.columnType(2) == SQLITE_INTEGER)
            maxNumbers->insert(entities.columnText(0), entities.columnInt64(2));
    }
    static const QRegularExpression uuid(QStringLiteral("^[0-9a-f-]{36}$"));
    if (!uuid.match(metadata->identifier).hasMatch()) {
        *why = QStringLiteral("its identifier is damaged");
        return false;
    }
    return true;
}

// A value read from a column, converted to the attribute's representation.
// Answers false for a value of the wrong kind (a damaged file).
bool readAttribute(const DSSqliteStatement &s, int column, const DSAttributeDescription *a, QVariant *out,
                   bool *unloaded, QString *why)
{
    *unloaded = false;
    const int type = s.columnType(column);
    if (type == SQLITE_NULL) {
        *out = QVariant();
        return true;
    }
    switch (a->attributeType()) {
    case DSAttributeType::Binary:
        // The column holds the length; the bytes wait in the data table.
        if (type != SQLITE_INTEGER || s.columnInt64(column) < 0) {
            *why = QStringLiteral("binary data without a length");
            return false;
        }
        *unloaded = true;
        *out = QVariant();
        return true;
    case DSAttributeType::Transformable: {
        if (type != SQLITE_BLOB) {
            *why = QStringLiteral("a property list that is not binary data");
            return false;
        }
        QCborValue value;
        if (!ds_property_list_from_cbor(s.columnBlob(column), &value, why))
            return false;
        *out = QVariant::fromValue(value);
        return true;
    }
    case DSAttributeType::String:
        if (type != SQLITE_TEXT) {
            *why = QStringLiteral("a string that is not text");
            return false;
        }
        *out = s.columnText(column);
        return true;
    case DSAttributeType::Double:
    case DSAttributeType::Date:
        if (type != SQLITE_FLOAT && type != SQLITE_INTEGER) {
            *why = QStringLiteral("a number that is not numeric");
            return false;
        }
        *out = s.columnDouble(column);
        return true;
    default:
        if (type != SQLITE_INTEGER) {
            *why = QStringLiteral("an integer that is not an integer");
            return false;
        }
        return a->normalize(QVariant(qlonglong(s.columnInt64(column))), out, why);
    }
}

} // namespace

// Reads a whole store file in two steps: every row and join pair into plain
// records (where anything damaged ends the load before an object exists),
// then the objects themselves.
class DSPersistentStore::Loader
{
public:
    Loader(DSPersistentStore *store, DSManagedObjectContext *context) : m_store(store), m_context(context) {}

    bool run(DSStoreError *error)
    {
        for (const DSStoreSchema::Table &table : m_store->m_schema.tables())
            if (!readTable(table, error))
                return false;
        for (const DSStoreSchema::JoinTable &join : m_store->m_schema.joinTables())
            if (!readJoinTable(join, error))
                return false;
        build();
        return true;
    }

private:
    struct Row {
        const DSEntityDescription *entity;
        qint64 number;
        std::vector<QVariant> attributes;
        std::vector<bool> unloaded;
        std::vector<qint64> toOne; // 0 for none
        DSManagedObject *object = nullptr;
    };
    struct Pair {
        const DSRelationshipDescription *relationship;
        qint64 owner;
        qint64 member;
    };

    bool damaged(DSStoreError *error, const QString &why)
    {
        return ds_store_fail(error, DSStoreError::StoreOpenFailed,
                             QStringLiteral("The store “%1” is damaged: %2").arg(fileLabel(m_store->m_path), why));
    }

    // A column the file lacks (it was saved under an earlier form of the
    // model) selects NULL in its place, which reads as the default below.
    bool readTable(const DSStoreSchema::Table &table, DSStoreError *error)
    {
        const std::optional<DSStoreSchemaGap> &gap = m_store->m_gap;
        if (gap && !gap->hasTable(table.name))
            return true;
        const size_t t = size_t(&table - m_store->m_schema.tables().data());
        QStringList columns{QStringLiteral("Z_PK"), QStringLiteral("Z_ENT")};
        m_lacking.assign(table.columns.size(), false);
        for (size_t c = 0; c < table.columns.size(); ++c) {
            m_lacking[c] = gap && !gap->hasColumn(t, c);
            columns << (m_lacking[c] ? QStringLiteral("NULL") : ds_sqlite_quote(table.columns[c].name));
        }
        DSSqliteStatement s(m_store->m_db, QStringLiteral("SELECT %1 FROM %2 ORDER BY Z_PK")
                                               .arg(columns.join(QStringLiteral(", ")), ds_sqlite_quote(table.name)));
        if (!s.isValid())
            return damaged(error, ds_sqlite_error(m_store->m_db));
        int rc;
        while ((rc = s.step()) == SQLITE_ROW) {
            Row row;
            row.number = s.columnInt64(0);
            const QString entityName = s.columnText(1);
            row.entity = m_store->m_model->entityNamed(entityName);
            if (!row.entity || row.entity->isAbstract() || row.entity->rootEntity() != table.root || row.number <= 0)
                return damaged(error, QStringLiteral("row %1 of %2 names the entity “%3”").arg(row.number).arg(table.name, entityName));
            if (!readValues(s, &row, error))
                return false;
            m_rowIndex[table.root].insert(row.number, m_rows.size());
            m_rows.push_back(std::move(row));
        }
        return rc == SQLITE_DONE || damaged(error, ds_sqlite_error(m_store->m_db));
    }

    bool readValues(const DSSqliteStatement &s, Row *row, DSStoreError *error)
    {
        const DSEntityDescription *e = row->entity;
        row->attributes.resize(e->attributes().size());
        row->unloaded.assign(e->attributes().size(), false);
        row->toOne.assign(size_t(e->toOneCount()), 0);
        for (const DSAttributeDescription *a : e->attributes()) {
            const int column = m_store->m_schema.columnOf(a);
            if (column < 0 || m_lacking[size_t(column)]) {
                row->attributes[size_t(a->slot())] = a->defaultValue();
                continue;
            }
            bool unloaded = false;
            QString why;
            if (!readAttribute(s, column + 2, a, &row->attributes[size_t(a->slot())], &unloaded, &why))
                return damaged(error, QStringLiteral("%1 %2, attribute “%3”: %4").arg(e->name()).arg(row->number).arg(a->name(), why));
            row->unloaded[size_t(a->slot())] = unloaded;
        }
        for (const DSRelationshipDescription *r : e->relationships()) {
            const int column = m_store->m_schema.columnOf(r);
            if (column < 0 || r->isToMany() || s.columnType(column + 2) == SQLITE_NULL)
                continue;
            if (s.columnType(column + 2) != SQLITE_INTEGER)
                return damaged(error, QStringLiteral("%1 %2, relationship “%3” is not an object number").arg(e->name()).arg(row->number).arg(r->name()));
            row->toOne[size_t(r->slot())] = s.columnInt64(column + 2);
        }
        return true;
    }

    bool readJoinTable(const DSStoreSchema::JoinTable &join, DSStoreError *error)
    {
        if (m_store->m_gap && !m_store->m_gap->hasTable(join.name))
            return true;
        DSSqliteStatement s(m_store->m_db, QStringLiteral("SELECT Z_OWNER, Z_MEMBER FROM %1 ORDER BY Z_MEMBER, Z_OWNER")
                                               .arg(ds_sqlite_quote(join.name)));
        if (!s.isValid())
            return damaged(error, ds_sqlite_error(m_store->m_db));
        int rc;
        while ((rc = s.step()) == SQLITE_ROW)
            m_pairs.push_back({join.owner, s.columnInt64(0), s.columnInt64(1)});
        return rc == SQLITE_DONE || damaged(error, ds_sqlite_error(m_store->m_db));
    }

    // The loaded object of a kind at a number, or null: a reference to an
    // object no longer stored (a deletion under the rule none) reads as none.
    DSManagedObject *find(const DSEntityDescription *kind, qint64 number) const
    {
        const auto rows = m_rowIndex.constFind(kind->rootEntity());
        if (rows == m_rowIndex.constEnd())
            return nullptr;
        const auto at = rows->constFind(number);
        if (at == rows->constEnd())
            return nullptr;
        const Row &row = m_rows[*at];
        return row.entity->isKindOfEntity(kind) ? row.object : nullptr;
    }

    void build()
    {
        for (Row &row : m_rows) {
            row.object = m_context->makeLoadedObject(row.entity, row.number);
            row.object->m_attributes = std::move(row.attributes);
            for (const DSAttributeDescription *a : row.entity->attributes())
                if (row.unloaded[size_t(a->slot())])
                    row.object->markUnloaded(a);
        }
        for (const Row &row : m_rows)
            for (const DSRelationshipDescription *r : row.entity->relationships())
                if (!r->isToMany() && row.toOne[size_t(r->slot())] != 0)
                    link(row.object, r, find(r->destinationEntity(), row.toOne[size_t(r->slot())]));
        for (const Pair &pair : m_pairs) {
            DSManagedObject *owner = find(pair.relationship->entity(), pair.owner);
            DSManagedObject *member = find(pair.relationship->destinationEntity(), pair.member);
            link(owner, pair.relationship, member);
        }
        for (const Row &row : m_rows)
            m_context->m_lastNumber[row.entity->rootEntity()] =
                qMax(m_context->m_lastNumber.value(row.entity->rootEntity()), row.number);
        for (auto it = m_store->m_storedLastNumbers.cbegin(); it != m_store->m_storedLastNumbers.cend(); ++it)
            m_context->m_lastNumber[it.key()] = qMax(m_context->m_lastNumber.value(it.key()), it.value());
        for (const Row &row : m_rows)
            row.object->awakeFromFetch();
    }

    // Sets one side as stored and the inverse side to match, untracked.
    static void link(DSManagedObject *object, const DSRelationshipDescription *r, DSManagedObject *target)
    {
        if (!object || !target)
            return;
        if (r->isToMany())
            object->m_toMany[size_t(r->slot())].insert(target);
        else
            object->m_toOne[size_t(r->slot())] = target;
        if (const DSRelationshipDescription *inverse = r->inverseRelationship()) {
            if (inverse->isToMany())
                target->m_toMany[size_t(inverse->slot())].insert(object);
            else
                target->m_toOne[size_t(inverse->slot())] = object;
        }
    }

    DSPersistentStore *m_store;
    DSManagedObjectContext *m_context;
    std::vector<Row> m_rows;
    // Per column of the table being read, whether the file lacks it.
    std::vector<bool> m_lacking;
    QHash<const DSEntityDescription *, QHash<qint64, size_t>> m_rowIndex;
    std::vector<Pair> m_pairs;
};

// Writes the changes of one save inside a transaction the caller opened.
class DSPersistentStore::Writer
{
public:
    Writer(const DSPersistentStore *store, sqlite3 *db) : m_store(store), m_schema(store->m_schema), m_db(db) {}

    bool run(const Changes &changes, DSStoreError *error)
    {
        qint64 written = 0;
        auto progress = [&] {
            if (s_saveProgressHook)
                s_saveProgressHook(++written);
        };
        for (DSManagedObject *o : changes.deleted) {
            if (!remove(o))
                return fail(error, QStringLiteral("delete"), o);
            progress();
        }
        for (DSManagedObject *o : changes.inserted) {
            if (!insert(o))
                return fail(error, QStringLiteral("insert"), o);
            progress();
        }
        for (DSManagedObject *o : changes.updated) {
            if (!update(o))
                return fail(error, QStringLiteral("update"), o);
            progress();
        }
        // Binary data goes after every row, so the entity tables' pages lie
        // together in a new file instead of between megabytes of data.
        for (const auto &[o, properties] : m_pendingData) {
            if (!writeData(o, properties))
                return fail(error, QStringLiteral("write of the binary data"), o);
            progress();
        }
        DSSqliteStatement s(m_db, QStringLiteral("UPDATE Z_ENTITY SET max_pk = ? WHERE name = ?"));
        for (auto it = changes.lastNumbers.cbegin(); it != changes.lastNumbers.cend(); ++it) {
            s.reset();
            s.bindInt64(1, it.value());
            s.bindText(2, it.key()->name());
            if (!s.run())
                return ds_store_fail(error, DSStoreError::SaveFailed,
                                     QStringLiteral("Could not save “%1”: recording the last object numbers failed: %2")
                                         .arg(fileLabel(m_store->m_path), ds_sqlite_error(m_db)));
        }
        return true;
    }

private:
    bool fail(DSStoreError *error, const QString &step, const DSManagedObject *o)
    {
        return ds_store_fail(error, DSStoreError::SaveFailed,
                             QStringLiteral("Could not save “%1”: the %2 of %3 failed: %4")
                                 .arg(fileLabel(m_store->m_path), step, objectLabel(o), ds_sqlite_error(m_db)));
    }

    DSSqliteStatement &statement(const QString &sql)
    {
        auto it = m_statements.find(sql);
        if (it == m_statements.end())
            it = m_statements.emplace(sql, DSSqliteStatement(m_db, sql)).first;
        it->second.reset();
        return it->second;
    }

    // Binds a property's value; binary data binds its length (writeData()
    // stores the bytes).
    void bind(DSSqliteStatement &s, int i, const DSManagedObject *o, const DSPropertyDescription *p)
    {
        if (p->isRelationship()) {
            const DSManagedObject *target = o->m_toOne[size_t(p->slot())];
            // A target deleted under the rule none keeps its number, so the
            // reference comes back if an undo revives it.
            target ? s.bindInt64(i, target->m_number) : s.bindNull(i);
            return;
        }
        auto *a = static_cast<const DSAttributeDescription *>(p);
        ds_bind_attribute_value(s, i, a, o->loadedAttribute(a));
    }

    bool runAndRelease(DSSqliteStatement &s)
    {
        const bool ok = s.run();
        s.reset();
        return ok;
    }

    // Stores or removes the bytes of the binary attributes among properties.
    bool writeData(const DSManagedObject *o, const std::vector<const DSPropertyDescription *> &properties)
    {
        const DSStoreSchema::Table &table = m_schema.tableFor(o->m_entity);
        for (const DSPropertyDescription *p : properties) {
            const QString &dataTable = table.columns[size_t(m_schema.columnOf(p))].dataTable;
            if (dataTable.isEmpty())
                continue;
            const QVariant &value = o->loadedAttribute(static_cast<const DSAttributeDescription *>(p));
            const bool none = value.isNull();
            // Shares the object's array and is bound in place: tens of
            // megabytes are never copied (unless a transformer makes new ones).
            QByteArray data = value.toByteArray();
            if (!none && !transformForStore(static_cast<const DSAttributeDescription *>(p), &data))
                return false;
            DSSqliteStatement &s = statement(none ? QStringLiteral("DELETE FROM %1 WHERE Z_PK = ?").arg(ds_sqlite_quote(dataTable))
                                                  : QStringLiteral("INSERT OR REPLACE INTO %1 (Z_PK, data) VALUES (?, ?)").arg(ds_sqlite_quote(dataTable)));
            s.bindInt64(1, o->m_number);
            if (!none)
                s.bindStaticBlob(2, data);
            if (!s.isValid() || !runAndRelease(s))
                return false;
        }
        return true;
    }

    // The stored form of a binary value under its attribute's transformer;
    // false for a transformer that is not registered or that fails.
    static bool transformForStore(const DSAttributeDescription *a, QByteArray *data)
    {
        if (a->valueTransformerName().isEmpty())
            return true;
        const auto transformer = DSValueTransformer::valueTransformerForName(a->valueTransformerName());
        const std::optional<QByteArray> stored = transformer ? transformer->transformedValue(*data) : std::nullopt;
        if (!stored) {
            qWarning("The value transformer “%s” of %s could not transform it", qPrintable(a->valueTransformerName()),
                     qPrintable(a->name()));
            return false;
        }
        *data = *stored;
        return true;
    }

    std::vector<const DSPropertyDescription *> storedProperties(const DSManagedObject *o, bool dirtyOnly) const
    {
        std::vector<const DSPropertyDescription *> result;
        for (const DSPropertyDescription *p : o->m_entity->properties()) {
            if (m_schema.columnOf(p) < 0)
                continue;
            if (dirtyOnly && (size_t(p->index()) >= o->m_unsavedProperties.size() || !o->m_unsavedProperties[size_t(p->index())]))
                continue;
            result.push_back(p);
        }
        return result;
    }

    bool insert(const DSManagedObject *o)
    {
        const DSStoreSchema::Table &table = m_schema.tableFor(o->m_entity);
        const auto properties = storedProperties(o, false);
        QStringList names{QStringLiteral("Z_PK"), QStringLiteral("Z_ENT")};
        for (const DSPropertyDescription *p : properties)
            names << ds_sqlite_quote(table.columns[size_t(m_schema.columnOf(p))].name);
        DSSqliteStatement &s = statement(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                             .arg(ds_sqlite_quote(table.name), names.join(QStringLiteral(", ")),
                                                  QStringList(names.size(), QStringLiteral("?")).join(QStringLiteral(", "))));
        if (!s.isValid())
            return false;
        s.bindInt64(1, o->m_number);
        s.bindText(2, o->m_entity->name());
        for (size_t i = 0; i < properties.size(); ++i)
            bind(s, int(i) + 3, o, properties[i]);
        m_pendingData.emplace_back(o, properties);
        return runAndRelease(s) && writeJoins(o, false);
    }

    bool update(const DSManagedObject *o)
    {
        const auto properties = storedProperties(o, true);
        if (!properties.empty()) {
            const DSStoreSchema::Table &table = m_schema.tableFor(o->m_entity);
            QStringList sets;
            for (const DSPropertyDescription *p : properties)
                sets << ds_sqlite_quote(table.columns[size_t(m_schema.columnOf(p))].name) + QStringLiteral(" = ?");
            DSSqliteStatement &s = statement(QStringLiteral("UPDATE %1 SET %2 WHERE Z_PK = ?")
                                                 .arg(ds_sqlite_quote(table.name), sets.join(QStringLiteral(", "))));
            if (!s.isValid())
                return false;
            for (size_t i = 0; i < properties.size(); ++i)
                bind(s, int(i) + 1, o, properties[i]);
            s.bindInt64(int(properties.size()) + 1, o->m_number);
            if (!runAndRelease(s))
                return false;
            m_pendingData.emplace_back(o, properties);
        }
        return writeJoins(o, true);
    }

    // Rewrites the pairs of each join table this object owns.
    bool writeJoins(const DSManagedObject *o, bool dirtyOnly)
    {
        for (const DSRelationshipDescription *r : o->m_entity->relationships()) {
            const DSStoreSchema::JoinTable *join = m_schema.joinTableOf(r);
            if (!join || join->owner != r)
                continue;
            if (dirtyOnly && (size_t(r->index()) >= o->m_unsavedProperties.size() || !o->m_unsavedProperties[size_t(r->index())]))
                continue;
            DSSqliteStatement &clear = statement(QStringLiteral("DELETE FROM %1 WHERE Z_OWNER = ?").arg(ds_sqlite_quote(join->name)));
            clear.bindInt64(1, o->m_number);
            if (!clear.isValid() || !runAndRelease(clear))
                return false;
            for (const DSManagedObject *member : o->m_toMany[size_t(r->slot())]) {
                DSSqliteStatement &add = statement(QStringLiteral("INSERT INTO %1 (Z_OWNER, Z_MEMBER) VALUES (?, ?)").arg(ds_sqlite_quote(join->name)));
                add.bindInt64(1, o->m_number);
                add.bindInt64(2, member->m_number);
                if (!add.isValid() || !runAndRelease(add))
                    return false;
            }
        }
        return true;
    }

    bool remove(const DSManagedObject *o)
    {
        const DSStoreSchema::Table &table = m_schema.tableFor(o->m_entity);
        QStringList tables{table.name};
        for (const DSStoreSchema::Column &c : table.columns)
            if (!c.dataTable.isEmpty())
                tables << c.dataTable;
        for (const QString &name : tables) {
            DSSqliteStatement &s = statement(QStringLiteral("DELETE FROM %1 WHERE Z_PK = ?").arg(ds_sqlite_quote(name)));
            s.bindInt64(1, o->m_number);
            if (!s.isValid() || !runAndRelease(s))
                return false;
        }
        for (const DSStoreSchema::JoinTable &join : m_schema.joinTables()) {
            for (const bool asOwner : {true, false}) {
                const DSEntityDescription *side = asOwner ? join.owner->entity() : join.owner->destinationEntity();
                if (!o->m_entity->isKindOfEntity(side))
                    continue;
                DSSqliteStatement &d = statement(QStringLiteral("DELETE FROM %1 WHERE %2 = ?")
                                                     .arg(ds_sqlite_quote(join.name), asOwner ? QStringLiteral("Z_OWNER") : QStringLiteral("Z_MEMBER")));
                d.bindInt64(1, o->m_number);
                if (!d.isValid() || !runAndRelease(d))
                    return false;
            }
        }
        return true;
    }

    const DSPersistentStore *m_store;
    const DSStoreSchema &m_schema;
    sqlite3 *m_db;
    std::map<QString, DSSqliteStatement> m_statements;
    std::vector<std::pair<const DSManagedObject *, std::vector<const DSPropertyDescription *>>> m_pendingData;
};

DSPersistentStore::DSPersistentStore(const QString &path, const DSStoreOptions &options,
                                     std::shared_ptr<const DSManagedObjectModel> model, const QString &identifier)
    : m_path(path), m_options(options), m_model(std::move(model)), m_schema(*m_model), m_identifier(identifier)
{
}

DSPersistentStore::~DSPersistentStore()
{
    closeConnection();
}

void DSPersistentStore::setSaveProgressHook(SaveProgressHook hook)
{
    s_saveProgressHook = hook;
}

bool DSPersistentStore::fail(DSStoreError *error, DSStoreError::Code code, const QString &what, const QString &why) const
{
    return ds_store_fail(error, code, QStringLiteral("%1 “%2”: %3").arg(what, fileLabel(m_path), why));
}

bool DSPersistentStore::metadataForStoreAtPath(const QString &path, DSStoreMetadata *metadata, DSStoreError *error)
{
    QString why;
    sqlite3 *db = openDatabase(path, SQLITE_OPEN_READONLY, &why);
    const bool ok = db && readMetadata(db, metadata, nullptr, &why);
    sqlite3_close_v2(db);
    return ok || ds_store_fail(error, DSStoreError::StoreOpenFailed,
                               QStringLiteral("Could not open the store “%1”: %2").arg(fileLabel(path), why));
}

std::unique_ptr<DSPersistentStore> DSPersistentStore::openFile(const QString &path, const DSStoreOptions &options,
                                                               std::shared_ptr<const DSManagedObjectModel> model,
                                                               DSStoreError *error)
{
    std::unique_ptr<DSPersistentStore> store(new DSPersistentStore(path, options, std::move(model), QString()));
    if (!store->openConnection(path, error))
        return nullptr;
    DSStoreMetadata metadata;
    QHash<QString, qint64> maxNumbers;
    QString why;
    if (!readMetadata(store->m_db, &metadata, &maxNumbers, &why)) {
        store->fail(error, DSStoreError::StoreOpenFailed, QStringLiteral("Could not open the store"), why);
        return nullptr;
    }
    if (!options.ignoreVersioning) {
        const QHash<QString, QByteArray> expected = store->m_model->entityVersionHashesByName();
        if (metadata.entityVersionHashes != expected && !store->checkSchemaGap(metadata, error))
            return nullptr;
    }
    store->m_identifier = metadata.identifier;
    for (auto it = maxNumbers.cbegin(); it != maxNumbers.cend(); ++it)
        if (const DSEntityDescription *root = store->m_model->entityNamed(it.key()); root && !root->superentity())
            store->m_storedLastNumbers.insert(root, it.value());
    return store;
}

bool DSPersistentStore::checkSchemaGap(const DSStoreMetadata &metadata, DSStoreError *error)
{
    // The entity that differs first in the model's order names the model
    // change in the message.
    QString entity;
    for (const DSEntityDescription *e : m_model->entities())
        if (metadata.entityVersionHashes.value(e->name()) != e->versionHash()) {
            entity = e->name();
            break;
        }
    QString why = QStringLiteral("its store version is %1").arg(metadata.storeVersion);
    if (metadata.storeVersion == m_model->version() && metadata.modelName == m_model->name()) {
        const QList<QString> stored = metadata.entityVersionHashes.keys();
        m_gap = DSStoreSchemaGap::between(m_db, m_schema, *m_model, QSet<QString>(stored.cbegin(), stored.cend()), &why);
        if (m_gap)
            return true;
    }
    const QString saved = QStringLiteral("it was saved under another entity model (%1 version %2)")
                              .arg(metadata.modelName).arg(metadata.storeVersion);
    return fail(error, DSStoreError::IncompatibleModel, QStringLiteral("Could not open the store"),
                entity.isEmpty() ? QStringLiteral("%1: %2").arg(saved, why)
                                 : QStringLiteral("%1; the entity “%2” differs: %3").arg(saved, entity, why));
}

std::unique_ptr<DSPersistentStore> DSPersistentStore::newFile(const QString &path, const DSStoreOptions &options,
                                                              std::shared_ptr<const DSManagedObjectModel> model,
                                                              const QString &identifier)
{
    return std::unique_ptr<DSPersistentStore>(new DSPersistentStore(path, options, std::move(model), identifier));
}

bool DSPersistentStore::openConnection(const QString &path, DSStoreError *error)
{
    QString why;
    sqlite3 *db = openDatabase(path, m_options.readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE, &why);
    if (!db || !applyPragmas(db, false, &why)) {
        sqlite3_close_v2(db);
        return ds_store_fail(error, DSStoreError::StoreOpenFailed,
                             QStringLiteral("Could not open the store “%1”: %2").arg(fileLabel(path), why));
    }
    closeConnection();
    m_db = db;
    return true;
}

void DSPersistentStore::closeConnection()
{
    sqlite3_close_v2(m_db);
    m_db = nullptr;
}

bool DSPersistentStore::applyPragmas(sqlite3 *db, bool partialFile, QString *error) const
{
    static const QRegularExpression name(QStringLiteral("^[A-Za-z_]+$"));
    static const QRegularExpression plain(QStringLiteral("^-?[A-Za-z0-9_]+$"));
    QList<std::pair<QString, QString>> pragmas;
    if (partialFile) {
        // Nobody reads a side file before it is complete and synced: it
        // needs no journal, and one sync at the end.
        pragmas << std::make_pair(QStringLiteral("journal_mode"), QStringLiteral("OFF"))
                << std::make_pair(QStringLiteral("synchronous"), QStringLiteral("OFF"));
    } else if (!m_options.readOnly) {
        pragmas << std::make_pair(QStringLiteral("synchronous"), QStringLiteral("FULL"));
    }
    for (const auto &[key, value] : m_options.pragmas) {
        const QString lower = key.toLower();
        if (partialFile && (lower == QLatin1String("journal_mode") || lower == QLatin1String("synchronous")
                            || lower == QLatin1String("locking_mode")))
            continue;
        pragmas << std::make_pair(key, value);
    }
    for (const auto &[key, value] : pragmas) {
        if (!name.match(key).hasMatch()) {
            if (error)
                *error = QStringLiteral("“%1” is not a pragma name").arg(key);
            return false;
        }
        QString literal = value;
        if (!plain.match(value).hasMatch())
            literal = QLatin1Char('\'') + QString(value).replace(QLatin1Char('\''), QLatin1String("''")) + QLatin1Char('\'');
        QString why;
        if (!ds_sqlite_exec(db, QStringLiteral("PRAGMA %1 = %2").arg(key, literal), &why)) {
            if (error)
                *error = QStringLiteral("the pragma %1 = %2 failed: %3").arg(key, value, why);
            return false;
        }
    }
    return true;
}

bool DSPersistentStore::load(DSManagedObjectContext *context, DSStoreError *error)
{
    if (!m_db)
        return ds_store_fail(error, DSStoreError::StoreNotFound, QStringLiteral("The store “%1” has no file yet").arg(fileLabel(m_path)));
    // One read transaction, so the rows and pairs are one consistent state.
    QString why;
    if (!ds_sqlite_exec(m_db, QStringLiteral("BEGIN"), &why))
        return fail(error, DSStoreError::StoreOpenFailed, QStringLiteral("Could not read the store"), why);
    Loader loader(this, context);
    const bool ok = loader.run(error);
    ds_sqlite_exec(m_db, QStringLiteral("COMMIT"));
    return ok;
}

QVariant DSPersistentStore::loadValue(const DSManagedObject *object, const DSAttributeDescription *attribute)
{
    const DSStoreSchema::Table &table = m_schema.tableFor(object->entity());
    const int column = m_schema.columnOf(attribute);
    sqlite3_blob *blob = nullptr;
    if (!m_db || column < 0
        || sqlite3_blob_open(m_db, "main", table.columns[size_t(column)].dataTable.toUtf8().constData(), "data",
                             object->m_number, 0, &blob) != SQLITE_OK) {
        qWarning("Could not read %s of %s from the store %s: %s", qPrintable(attribute->name()),
                 qPrintable(objectLabel(object)), qPrintable(m_path), m_db ? sqlite3_errmsg(m_db) : "no file");
        sqlite3_blob_close(blob);
        return QVariant();
    }
    // Read straight into the array: a blob of tens of megabytes is never
    // held twice.
    QByteArray data(sqlite3_blob_bytes(blob), Qt::Uninitialized);
    const int rc = sqlite3_blob_read(blob, data.data(), int(data.size()), 0);
    sqlite3_blob_close(blob);
    if (rc != SQLITE_OK) {
        qWarning("Could not read %s of %s from the store %s: %s", qPrintable(attribute->name()),
                 qPrintable(objectLabel(object)), qPrintable(m_path), sqlite3_errstr(rc));
        return QVariant();
    }
    if (attribute->valueTransformerName().isEmpty())
        return data;
    const auto transformer = DSValueTransformer::valueTransformerForName(attribute->valueTransformerName());
    const std::optional<QByteArray> value = transformer ? transformer->reverseTransformedValue(data) : std::nullopt;
    if (!value)
        qWarning("Could not read %s of %s from the store %s: its value transformer “%s” %s", qPrintable(attribute->name()),
                 qPrintable(objectLabel(object)), qPrintable(m_path), qPrintable(attribute->valueTransformerName()),
                 transformer ? "does not take the stored bytes" : "is not registered");
    return value ? QVariant(*value) : QVariant();
}

bool DSPersistentStore::save(const Changes &changes, DSStoreError *error)
{
    if (m_options.readOnly)
        return fail(error, DSStoreError::ReadOnlyStore, QStringLiteral("Could not save"), QStringLiteral("the store is read-only"));
    if (!m_db)
        return writeNewFile(changes, error);
    QString why;
    if (!ds_sqlite_exec(m_db, QStringLiteral("BEGIN IMMEDIATE"), &why))
        return fail(error, DSStoreError::SaveFailed, QStringLiteral("Could not save"), why);
    // A file saved under an earlier form of the model takes the current
    // form in the same transaction as the changes: a crash leaves it whole
    // in its old form.
    if (m_gap && !m_gap->fill(m_db, m_schema, *m_model, &why)) {
        ds_sqlite_exec(m_db, QStringLiteral("ROLLBACK"));
        return fail(error, DSStoreError::SaveFailed, QStringLiteral("Could not save"), why);
    }
    Writer writer(this, m_db);
    if (!writer.run(changes, error)) {
        ds_sqlite_exec(m_db, QStringLiteral("ROLLBACK"));
        return false;
    }
    if (!ds_sqlite_exec(m_db, QStringLiteral("COMMIT"), &why)) {
        ds_sqlite_exec(m_db, QStringLiteral("ROLLBACK"));
        return fail(error, DSStoreError::SaveFailed, QStringLiteral("Could not save"), why);
    }
    m_gap.reset();
    return true;
}

bool DSPersistentStore::fillNewFile(sqlite3 *db, const Changes &changes, DSStoreError *error) const
{
    QString why;
    QStringList setup{QStringLiteral("PRAGMA application_id = %1").arg(k_applicationId),
                      QStringLiteral("PRAGMA user_version = %1").arg(m_model->version()),
                      QStringLiteral("BEGIN")};
    setup << m_schema.createStatements();
    if (!applyPragmas(db, true, &why))
        return fail(error, DSStoreError::SaveFailed, QStringLiteral("Could not save"), why);
    for (const QString &sql : setup)
        if (!ds_sqlite_exec(db, sql, &why))
            return fail(error, DSStoreError::SaveFailed, QStringLiteral("Could not save"), why);
    DSSqliteStatement meta(db, QStringLiteral("INSERT INTO Z_METADATA (key, value) VALUES (?, ?)"));
    const QList<std::pair<QString, QString>> values{
        {QStringLiteral("format"), QString::number(k_formatVersion)},
        {QStringLiteral("identifier"), m_identifier},
        {QStringLiteral("model_name"), m_model->name()},
        {QStringLiteral("store_version"), QString::number(m_model->version())}};
    for (const auto &[key, value] : values) {
        meta.reset();
        meta.bindText(1, key);
        meta.bindText(2, value);
        if (!meta.run())
            return fail(error, DSStoreError::SaveFailed, QStringLiteral("Could not save"), ds_sqlite_error(db));
    }
    if (!ds_write_entity_rows(db, *m_model))
        return fail(error, DSStoreError::SaveFailed, QStringLiteral("Could not save"), ds_sqlite_error(db));
    Writer writer(this, db);
    if (!writer.run(changes, error))
        return false;
    return ds_sqlite_exec(db, QStringLiteral("COMMIT"), &why)
           || fail(error, DSStoreError::SaveFailed, QStringLiteral("Could not save"), why);
}

bool DSPersistentStore::writeNewFile(const Changes &changes, DSStoreError *error)
{
    const QString partial = ds_store_partial_path(m_path);
    QFile::remove(partial);
    QString why;
    sqlite3 *db = openDatabase(partial, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, &why);
    if (!db)
        return fail(error, DSStoreError::FileOperationFailed, QStringLiteral("Could not save"), why);
    const bool filled = fillNewFile(db, changes, error);
    const bool closed = sqlite3_close_v2(db) == SQLITE_OK;
    if (filled && closed && ds_store_sync_file(partial, &why) && ds_store_replace_file(partial, m_path, &why))
        return openConnection(m_path, error);
    QFile::remove(partial);
    if (!filled)
        return false;
    return fail(error, DSStoreError::FileOperationFailed, QStringLiteral("Could not save"),
                closed ? why : QStringLiteral("the new file could not be closed"));
}

bool DSPersistentStore::copyTo(const QString &newPath, DSStoreError *error)
{
    if (QFileInfo(newPath).absoluteFilePath() == QFileInfo(m_path).absoluteFilePath())
        return true;
    if (!m_db) {
        m_path = newPath;
        return true;
    }
    const QString partial = ds_store_partial_path(newPath);
    QFile::remove(partial);
    QString why;
    sqlite3 *db = openDatabase(partial, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, &why);
    if (db) {
        // The backup copies pages, binary data included, without loading any
        // of it into objects.
        sqlite3_backup *backup = sqlite3_backup_init(db, "main", m_db, "main");
        int rc = backup ? SQLITE_OK : SQLITE_ERROR;
        for (qint64 chunk = 1; rc == SQLITE_OK; ++chunk) {
            rc = sqlite3_backup_step(backup, k_backupChunkPages);
            if (rc == SQLITE_OK && s_saveProgressHook)
                s_saveProgressHook(chunk);
        }
        sqlite3_backup_finish(backup);
        if (rc != SQLITE_DONE)
            why = backup ? QString::fromUtf8(sqlite3_errstr(rc)) : ds_sqlite_error(db);
        if (sqlite3_close_v2(db) != SQLITE_OK && why.isEmpty())
            why = QStringLiteral("the copy could not be closed");
    }
    if (!why.isEmpty() || !ds_store_sync_file(partial, &why) || !ds_store_replace_file(partial, newPath, &why)) {
        QFile::remove(partial);
        return ds_store_fail(error, DSStoreError::FileOperationFailed,
                             QStringLiteral("Could not copy the store “%1” to “%2”: %3").arg(fileLabel(m_path), newPath, why));
    }
    return setPath(newPath, error);
}

bool DSPersistentStore::setPath(const QString &newPath, DSStoreError *error)
{
    if (m_db && !openConnection(newPath, error))
        return false;
    m_path = newPath;
    return true;
}
