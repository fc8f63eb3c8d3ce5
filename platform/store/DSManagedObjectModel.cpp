#include "platform/store/DSManagedObjectModel.h"

#include "platform/store/DSAttributeDescription.h"
#include "platform/store/DSEntityDescription.h"
#include "platform/store/DSManagedObject.h"
#include "platform/store/DSRelationshipDescription.h"

#include <QCborValue>
#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QRegularExpression>

#include <algorithm>

namespace {

bool isIdentifier(const QString &name)
{
    static const QRegularExpression re(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return re.match(name).hasMatch();
}

} // namespace

// Builds a model from its JSON form in three passes: entities, then their
// properties (parents before children, so inherited properties come first
// and keep their slots), then relationship destinations and inverses.
class DSManagedObjectModel::Loader
{
public:
    explicit Loader(DSManagedObjectModel *model) : m_model(model) {}

    bool load(const QJsonObject &top, DSStoreError *error)
    {
        m_error = error;
        m_model->m_name = top.value(QLatin1String("name")).toString();
        if (m_model->m_name.isEmpty())
            return fail(QStringLiteral("the model has no name"));
        const QJsonValue version = top.value(QLatin1String("version"));
        if (!version.isDouble() || version.toDouble() < 0 || version.toDouble() != version.toInt())
            return fail(QStringLiteral("the model has no version number"));
        m_model->m_version = version.toInt();
        m_defaultClass = top.value(QLatin1String("defaultClass")).toString();
        const QJsonArray entities = top.value(QLatin1String("entities")).toArray();
        for (const QJsonValue &v : entities)
            if (!declareEntity(v.toObject()))
                return false;
        return linkParents() && addPropertiesInOrder() && linkRelationships() && computeHashes();
    }

private:
    bool fail(const QString &message)
    {
        return ds_store_fail(m_error, DSStoreError::InvalidModel,
                             QStringLiteral("Model “%1”: %2").arg(m_model->m_name, message));
    }

    bool declareEntity(const QJsonObject &json)
    {
        auto entity = std::unique_ptr<DSEntityDescription>(new DSEntityDescription);
        entity->m_name = json.value(QLatin1String("name")).toString();
        if (!isIdentifier(entity->m_name) || entity->m_name.startsWith(QLatin1String("Z_")))
            return fail(QStringLiteral("“%1” is not a valid entity name").arg(entity->m_name));
        if (m_model->m_byName.contains(entity->m_name))
            return fail(QStringLiteral("entity “%1” is declared twice").arg(entity->m_name));
        entity->m_className = json.value(QLatin1String("class")).toString(
            m_defaultClass.isEmpty() ? entity->m_name : m_defaultClass);
        entity->m_abstract = json.value(QLatin1String("abstract")).toBool(false);
        entity->m_model = m_model;
        m_json.insert(entity.get(), json);
        m_model->m_byName.insert(entity->m_name, entity.get());
        m_model->m_entities.push_back(entity.get());
        m_model->m_owned.push_back(std::move(entity));
        return true;
    }

    bool linkParents()
    {
        for (const DSEntityDescription *e : m_model->m_entities) {
            auto *entity = const_cast<DSEntityDescription *>(e);
            const QString parent = m_json.value(e).value(QLatin1String("parent")).toString();
            if (parent.isEmpty())
                continue;
            const DSEntityDescription *super = m_model->m_byName.value(parent);
            if (!super)
                return fail(QStringLiteral("entity “%1” names an unknown parent “%2”").arg(e->m_name, parent));
            entity->m_superentity = super;
            const_cast<DSEntityDescription *>(super)->m_subentities.append(e);
        }
        for (const DSEntityDescription *e : m_model->m_entities) {
            int depth = 0;
            for (const DSEntityDescription *s = e; s; s = s->m_superentity)
                if (++depth > int(m_model->m_entities.size()))
                    return fail(QStringLiteral("entity “%1” inherits from itself").arg(e->m_name));
        }
        return true;
    }

    bool addPropertiesInOrder()
    {
        std::vector<const DSEntityDescription *> order = m_model->m_entities;
        auto depth = [](const DSEntityDescription *e) {
            int d = 0;
            for (; e->m_superentity; e = e->m_superentity)
                ++d;
            return d;
        };
        std::stable_sort(order.begin(), order.end(), [&](auto *a, auto *b) { return depth(a) < depth(b); });
        for (const DSEntityDescription *e : order)
            if (!addProperties(const_cast<DSEntityDescription *>(e)))
                return false;
        return true;
    }

    bool addProperties(DSEntityDescription *entity)
    {
        if (const DSEntityDescription *super = entity->m_superentity) {
            entity->m_properties = super->m_properties;
            entity->m_attributes = super->m_attributes;
            entity->m_relationships = super->m_relationships;
            entity->m_byName = super->m_byName;
            entity->m_toOneCount = super->m_toOneCount;
            entity->m_toManyCount = super->m_toManyCount;
        }
        const QJsonObject json = m_json.value(entity);
        for (const QJsonValue &v : json.value(QLatin1String("attributes")).toArray())
            if (!addAttribute(entity, v.toObject()))
                return false;
        for (const QJsonValue &v : json.value(QLatin1String("relationships")).toArray())
            if (!addRelationship(entity, v.toObject()))
                return false;
        return true;
    }

    bool claimName(DSEntityDescription *entity, DSPropertyDescription *p, const QJsonObject &json)
    {
        p->m_name = json.value(QLatin1String("name")).toString();
        if (!isIdentifier(p->m_name) || p->m_name.startsWith(QLatin1String("Z_")))
            return fail(QStringLiteral("entity “%1” has an invalid property name “%2”").arg(entity->m_name, p->m_name));
        if (entity->m_byName.contains(p->m_name))
            return fail(QStringLiteral("entity “%1” declares “%2” twice (or also inherits it)").arg(entity->m_name, p->m_name));
        p->m_entity = entity;
        p->m_index = int(entity->m_properties.size());
        p->m_transient = json.value(QLatin1String("transient")).toBool(false)
                         || p->m_name.startsWith(QLatin1String("temp_"));
        entity->m_properties.push_back(p);
        entity->m_byName.insert(p->m_name, p);
        return true;
    }

    bool addAttribute(DSEntityDescription *entity, const QJsonObject &json)
    {
        auto attribute = std::unique_ptr<DSAttributeDescription>(new DSAttributeDescription);
        DSAttributeDescription *a = attribute.get();
        entity->m_ownProperties.push_back(std::move(attribute));
        if (!claimName(entity, a, json))
            return false;
        const QString type = json.value(QLatin1String("type")).toString();
        if (!DSAttributeDescription::typeFromName(type, &a->m_type))
            return fail(QStringLiteral("attribute “%1.%2” has an unknown type “%3”").arg(entity->m_name, a->m_name, type));
        a->m_slot = int(entity->m_attributes.size());
        entity->m_attributes.push_back(a);
        a->m_valueTransformerName = json.value(QLatin1String("valueTransformerName")).toString();
        if (!a->m_valueTransformerName.isEmpty() && a->m_type != DSAttributeType::Binary)
            return fail(QStringLiteral("attribute “%1.%2” names a value transformer but holds no binary data")
                            .arg(entity->m_name, a->m_name));
        const QJsonValue def = json.value(QLatin1String("default"));
        if (def.isUndefined() || def.isNull())
            return true;
        const QVariant raw = a->m_type == DSAttributeType::Transformable
                                 ? QVariant::fromValue(QCborValue::fromJsonValue(def))
                                 : def.toVariant();
        QString why;
        if (a->m_type == DSAttributeType::Binary || !a->normalize(raw, &a->m_default, &why))
            return fail(QStringLiteral("attribute “%1.%2” has an invalid default %3")
                            .arg(entity->m_name, a->m_name, why));
        return true;
    }

    bool addRelationship(DSEntityDescription *entity, const QJsonObject &json)
    {
        auto relationship = std::unique_ptr<DSRelationshipDescription>(new DSRelationshipDescription);
        DSRelationshipDescription *r = relationship.get();
        entity->m_ownProperties.push_back(std::move(relationship));
        if (!claimName(entity, r, json))
            return false;
        r->m_toMany = json.value(QLatin1String("toMany")).toBool(false);
        r->m_slot = r->m_toMany ? entity->m_toManyCount++ : entity->m_toOneCount++;
        const QString rule = json.value(QLatin1String("deleteRule")).toString(QStringLiteral("nullify"));
        if (!DSRelationshipDescription::deleteRuleFromName(rule, &r->m_deleteRule))
            return fail(QStringLiteral("relationship “%1.%2” has an unknown delete rule “%3”").arg(entity->m_name, r->m_name, rule));
        entity->m_relationships.push_back(r);
        m_relationshipJson.emplace_back(r, json);
        return true;
    }

    bool linkRelationships()
    {
        for (const auto &[r, json] : m_relationshipJson) {
            const QString owner = r->m_entity->m_name + QLatin1Char('.') + r->m_name;
            const QString destination = json.value(QLatin1String("destination")).toString();
            r->m_destination = m_model->m_byName.value(destination);
            if (!r->m_destination)
                return fail(QStringLiteral("relationship “%1” has an unknown destination “%2”").arg(owner, destination));
            const QString inverse = json.value(QLatin1String("inverse")).toString();
            if (inverse.isEmpty())
                continue;
            r->m_inverse = r->m_destination->relationshipNamed(inverse);
            if (!r->m_inverse)
                return fail(QStringLiteral("relationship “%1” names an unknown inverse “%2.%3”").arg(owner, destination, inverse));
            if (r->m_inverse->m_entity != r->m_destination)
                return fail(QStringLiteral("the inverse of “%1” is inherited by “%2”; declare it there").arg(owner, destination));
        }
        for (const auto &entry : m_relationshipJson) {
            const DSRelationshipDescription *r = entry.first;
            if (r->m_inverse && (r->m_inverse->m_inverse != r || r->m_inverse->m_destination != r->m_entity))
                return fail(QStringLiteral("relationships “%1.%2” and “%3.%4” must name each other as inverse and destination")
                                .arg(r->m_entity->m_name, r->m_name, r->m_inverse->m_entity->m_name, r->m_inverse->m_name));
        }
        return true;
    }

    bool computeHashes()
    {
        for (const DSEntityDescription *e : m_model->m_entities) {
            QStringList lines;
            lines << QStringLiteral("entity:") + e->m_name
                  << QStringLiteral("parent:") + (e->m_superentity ? e->m_superentity->m_name : QString())
                  << QStringLiteral("abstract:%1").arg(e->m_abstract ? 1 : 0);
            QStringList props;
            for (const auto &p : e->m_ownProperties) {
                if (p->isAttribute()) {
                    auto *a = static_cast<const DSAttributeDescription *>(p.get());
                    props << QStringLiteral("attribute:%1:%2:%3").arg(a->m_name, DSAttributeDescription::typeName(a->m_type)).arg(a->m_transient ? 1 : 0);
                } else {
                    auto *r = static_cast<const DSRelationshipDescription *>(p.get());
                    props << QStringLiteral("relationship:%1:%2:%3:%4:%5")
                                 .arg(r->m_name, r->m_destination->m_name, r->m_toMany ? QStringLiteral("many") : QStringLiteral("one"),
                                      r->m_inverse ? r->m_inverse->m_name : QString())
                                 .arg(r->m_transient ? 1 : 0);
                }
            }
            props.sort();
            lines << props;
            const_cast<DSEntityDescription *>(e)->m_versionHash =
                QCryptographicHash::hash(lines.join(QLatin1Char('\n')).toUtf8(), QCryptographicHash::Sha256);
        }
        return true;
    }

    DSManagedObjectModel *m_model;
    DSStoreError *m_error = nullptr;
    QString m_defaultClass;
    QHash<const DSEntityDescription *, QJsonObject> m_json;
    // In declaration order, so the first error reported is the first in the file.
    std::vector<std::pair<DSRelationshipDescription *, QJsonObject>> m_relationshipJson;
};

DSManagedObjectModel::~DSManagedObjectModel() = default;

std::shared_ptr<const DSManagedObjectModel> DSManagedObjectModel::fromJson(const QByteArray &json,
                                                                           DSStoreError *error)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (!doc.isObject()) {
        ds_store_fail(error, DSStoreError::InvalidModel,
                      QStringLiteral("The model file is not a JSON object: %1").arg(parseError.errorString()));
        return nullptr;
    }
    // Objects hold these types in variants. Qt registers a type on first
    // use, under a lock of its own; registering here, before any worker
    // builds objects from this model, keeps that off the import threads.
    qRegisterMetaType<DSManagedObject *>();
    qRegisterMetaType<DSObjectList>();
    std::shared_ptr<DSManagedObjectModel> model(new DSManagedObjectModel);
    Loader loader(model.get());
    if (!loader.load(doc.object(), error))
        return nullptr;
    return model;
}

std::shared_ptr<const DSManagedObjectModel> DSManagedObjectModel::fromFile(const QString &path,
                                                                           DSStoreError *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ds_store_fail(error, DSStoreError::InvalidModel,
                      QStringLiteral("Could not read the model file “%1”: %2").arg(path, file.errorString()));
        return nullptr;
    }
    return fromJson(file.readAll(), error);
}

std::shared_ptr<const DSManagedObjectModel> DSManagedObjectModel::modelNamed(const QString &name,
                                                                             DSStoreError *error)
{
    static QMutex mutex;
    static QHash<QString, std::shared_ptr<const DSManagedObjectModel>> cache;
    QMutexLocker lock(&mutex);
    if (auto found = cache.value(name))
        return found;
    auto model = fromFile(QStringLiteral(":/models/") + name + QStringLiteral(".json"), error);
    if (model)
        cache.insert(name, model);
    return model;
}

std::vector<const DSEntityDescription *> DSManagedObjectModel::rootEntities() const
{
    std::vector<const DSEntityDescription *> roots;
    for (const DSEntityDescription *e : m_entities)
        if (!e->superentity())
            roots.push_back(e);
    return roots;
}

QHash<QString, QByteArray> DSManagedObjectModel::entityVersionHashesByName() const
{
    QHash<QString, QByteArray> hashes;
    for (const DSEntityDescription *e : m_entities)
        hashes.insert(e->name(), e->versionHash());
    return hashes;
}
