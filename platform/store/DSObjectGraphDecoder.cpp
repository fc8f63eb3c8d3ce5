#include "platform/store/DSObjectGraphDecoder.h"

#include "platform/store/DSAttributeDescription.h"
#include "platform/store/DSEntityDescription.h"
#include "platform/store/DSManagedObjectContext.h"
#include "platform/store/DSManagedObjectModel.h"
#include "platform/store/DSPropertyList.h"
#include "platform/store/DSRelationshipDescription.h"

#include <QCborMap>
#include <QSet>

#include <vector>

namespace {

const QString k_id = QStringLiteral("id");
const QString k_class = QStringLiteral("class");
constexpr qsizetype k_maxIdentityLength = 2048;

// One dictionary of the graph, checked.
struct Entry
{
    QCborMap dictionary;
    QString identity;
    const DSEntityDescription *entity = nullptr;
};

class Checker
{
public:
    Checker(const DSManagedObjectContext &context, const DSObjectGraphDecoder::Resolver &resolve,
            DSObjectGraphDecoder::Unresolved unresolved, DSStoreError *error)
        : m_context(context), m_resolve(resolve), m_unresolved(unresolved), m_error(error)
    {
    }

    // Reads the dictionaries' identities and entities, then checks every value.
    bool check(const QCborArray &graph, std::vector<Entry> *entries)
    {
        if (graph.isEmpty())
            return refuse(QStringLiteral("the encoded objects are empty"));
        for (qsizetype i = 0; i < graph.size(); ++i) {
            Entry entry;
            if (!readEntry(graph.at(i), i, &entry))
                return false;
            if (m_graph.contains(entry.identity))
                return refuse(QStringLiteral("two encoded objects share the identity “%1”").arg(entry.identity));
            m_graph.insert(entry.identity, entry.entity);
            entries->push_back(entry);
        }
        for (const Entry &entry : *entries)
            if (!checkValues(entry))
                return false;
        return true;
    }

    // Identities outside the graph and the objects they resolved to.
    const QHash<QString, DSManagedObject *> &outside() const { return m_outside; }

private:
    bool refuse(const QString &why)
    {
        return ds_store_fail(m_error, DSStoreError::InvalidArgument,
                             QStringLiteral("The copied objects cannot be used: %1.").arg(why));
    }

    bool readEntry(const QCborValue &value, qsizetype position, Entry *entry)
    {
        if (!value.isMap())
            return refuse(QStringLiteral("object %1 is not a dictionary").arg(position));
        entry->dictionary = value.toMap();
        for (auto it = entry->dictionary.constBegin(); it != entry->dictionary.constEnd(); ++it)
            if (!it.key().isString())
                return refuse(QStringLiteral("object %1 has a key that is not text").arg(position));
        const QCborValue id = entry->dictionary.value(k_id);
        const QCborValue name = entry->dictionary.value(k_class);
        if (!id.isString() || id.toString().isEmpty() || id.toString().size() > k_maxIdentityLength)
            return refuse(QStringLiteral("object %1 has no valid identity").arg(position));
        if (!name.isString())
            return refuse(QStringLiteral("object %1 names no entity").arg(position));
        entry->identity = id.toString();
        entry->entity = m_context.model().entityNamed(name.toString());
        if (!entry->entity || entry->entity->isAbstract())
            return refuse(QStringLiteral("“%1” is not an entity of this document").arg(name.toString().left(80)));
        return true;
    }

    bool checkValues(const Entry &entry)
    {
        for (auto it = entry.dictionary.constBegin(); it != entry.dictionary.constEnd(); ++it) {
            const QString key = it.key().toString();
            if (key == k_id || key == k_class)
                continue;
            const DSPropertyDescription *property = entry.entity->propertyNamed(key);
            if (!property)
                return refuse(QStringLiteral("%1 has no property “%2”").arg(entry.entity->name(), key.left(80)));
            const bool ok = property->isAttribute()
                                ? checkAttribute(static_cast<const DSAttributeDescription *>(property), it.value())
                                : checkRelationship(static_cast<const DSRelationshipDescription *>(property), it.value());
            if (!ok && !m_sharedOwned.isEmpty())
                return refuse(QStringLiteral("two objects own “%1”").arg(m_sharedOwned.left(80)));
            if (!ok)
                return refuse(QStringLiteral("the value of %1.%2 does not fit it").arg(entry.entity->name(), key));
        }
        return true;
    }

    static bool hasKindOf(const DSAttributeDescription *a, const QCborValue &v)
    {
        switch (a->attributeType()) {
        case DSAttributeType::Integer16:
        case DSAttributeType::Integer32:
        case DSAttributeType::Integer64:
            return v.isInteger();
        case DSAttributeType::Double:
        case DSAttributeType::Date:
            return v.isDouble() || v.isInteger();
        case DSAttributeType::Boolean:
            return v.isBool();
        case DSAttributeType::String:
            return v.isString();
        case DSAttributeType::Binary:
            return v.isByteArray();
        case DSAttributeType::Transformable:
            return ds_property_list_is_valid(v);
        }
        return false;
    }

    bool checkAttribute(const DSAttributeDescription *a, const QCborValue &v)
    {
        QVariant normalized;
        return hasKindOf(a, v) && a->normalize(QVariant::fromValue(v), &normalized);
    }

    bool checkRelationship(const DSRelationshipDescription *r, const QCborValue &v)
    {
        if (!r->isToMany())
            return v.isString() && checkIdentity(r, v.toString()) && checkOwnership(r, v.toString());
        if (!v.isArray())
            return false;
        for (const QCborValue &member : v.toArray())
            if (!member.isString() || !checkIdentity(r, member.toString()) || !checkOwnership(r, member.toString()))
                return false;
        return true;
    }

    // An object has one owner at most: two owners sharing one object would
    // leave the other pointing at a deleted object once either goes (its
    // deletion cascades), and a copy of either would copy it twice. An
    // untrusted graph may not claim an object outside it either.
    bool checkOwnership(const DSRelationshipDescription *r, const QString &identity)
    {
        if (r->deleteRule() != DSDeleteRule::Cascade)
            return true;
        if (!m_graph.contains(identity))
            return m_unresolved != DSObjectGraphDecoder::Unresolved::Refuse || !m_outside.value(identity);
        if (m_owned.contains(identity)) {
            m_sharedOwned = identity;
            return false;
        }
        m_owned.insert(identity);
        return true;
    }

    // An identity of the graph or one the resolver finds, of the
    // relationship's destination.
    bool checkIdentity(const DSRelationshipDescription *r, const QString &identity)
    {
        const DSEntityDescription *entity = m_graph.value(identity);
        if (!entity) {
            DSManagedObject *object = m_outside.contains(identity) ? m_outside.value(identity) : resolve(identity);
            if (!object)
                return m_unresolved == DSObjectGraphDecoder::Unresolved::Drop;
            entity = object->entity();
        }
        return entity->isKindOfEntity(r->destinationEntity());
    }

    DSManagedObject *resolve(const QString &identity)
    {
        DSManagedObject *object = m_resolve ? m_resolve(identity) : nullptr;
        if (object && (object->managedObjectContext() != &m_context || object->isDeleted() || object->isFault()))
            object = nullptr;
        m_outside.insert(identity, object);
        return object;
    }

    const DSManagedObjectContext &m_context;
    const DSObjectGraphDecoder::Resolver &m_resolve;
    DSObjectGraphDecoder::Unresolved m_unresolved;
    DSStoreError *m_error;
    QHash<QString, const DSEntityDescription *> m_graph;
    QHash<QString, DSManagedObject *> m_outside;
    // Identities some object owns (a relationship whose deletion cascades),
    // and the first one two claimed.
    QSet<QString> m_owned;
    QString m_sharedOwned;
};

} // namespace

DSObjectList DSObjectGraphDecoder::decode(DSManagedObjectContext &context, const QCborArray &graph,
                                          const Resolver &resolve, Unresolved unresolved, DSStoreError *error)
{
    std::vector<Entry> entries;
    Checker checker(context, resolve, unresolved, error);
    if (!checker.check(graph, &entries))
        return {};

    QHash<QString, DSManagedObject *> objects;
    for (auto it = checker.outside().constBegin(); it != checker.outside().constEnd(); ++it)
        if (it.value())
            objects.insert(it.key(), it.value());
    DSObjectList made;
    made.reserve(qsizetype(entries.size()));
    for (const Entry &entry : entries) {
        DSManagedObject *object = context.insertNewObject(entry.entity);
        object->decodeAttributes(entry.dictionary);
        objects.insert(entry.identity, object);
        made.append(object);
    }
    for (size_t i = 0; i < entries.size(); ++i)
        made[qsizetype(i)]->decodeRelationships(entries[i].dictionary, objects);
    return made;
}

QByteArray DSObjectGraphDecoder::archive(const QCborArray &graph)
{
    return ds_property_list_to_cbor(graph);
}

bool DSObjectGraphDecoder::unarchive(const QByteArray &bytes, QCborArray *graph, DSStoreError *error)
{
    QCborValue value;
    QString why;
    if (!ds_property_list_from_cbor(bytes, &value, &why))
        return ds_store_fail(error, DSStoreError::InvalidArgument,
                             QStringLiteral("The copied objects cannot be read: %1.").arg(why));
    if (!value.isArray())
        return ds_store_fail(error, DSStoreError::InvalidArgument,
                             QStringLiteral("The copied objects cannot be read: they are not a list."));
    *graph = value.toArray();
    return true;
}

QCborArray DSObjectGraphDecoder::selfContained(const QCborArray &graph, const DSManagedObjectModel &model)
{
    QSet<QString> identities;
    for (const QCborValue &object : graph)
        identities.insert(object.toMap().value(k_id).toString());
    QCborArray result;
    for (const QCborValue &value : graph) {
        QCborMap object = value.toMap();
        const DSEntityDescription *entity = model.entityNamed(object.value(k_class).toString());
        if (!entity) {
            result.append(object);
            continue;
        }
        for (const DSRelationshipDescription *r : entity->relationships()) {
            if (!object.contains(r->name()))
                continue;
            if (!r->isToMany()) {
                if (!identities.contains(object.value(r->name()).toString()))
                    object.remove(r->name());
                continue;
            }
            QCborArray kept;
            for (const QCborValue &member : object.value(r->name()).toArray())
                if (identities.contains(member.toString()))
                    kept.append(member);
            object.insert(r->name(), kept);
        }
        result.append(object);
    }
    return result;
}
