#include "ds_graph_dump.h"

#include "model/ds_compression.h"
#include "platform/store/DSAttributeDescription.h"
#include "platform/store/DSEntityDescription.h"
#include "platform/store/DSManagedObjectContext.h"
#include "platform/store/DSManagedObjectModel.h"
#include "platform/store/DSRelationshipDescription.h"

#include <QCborValue>
#include <QJsonArray>
#include <QJsonDocument>
#include <QtEndian>

#include <algorithm>
#include <cmath>

namespace {

QJsonValue jsonNumber(double x)
{
    if (std::isnan(x))
        return QStringLiteral("NaN");
    if (std::isinf(x))
        return x > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity");
    return x;
}

QJsonValue binaryValue(const DSManagedObject *object, const QByteArray &bytes)
{
    const bool numericValues = object->entity()->name() == QLatin1String("DSNumericDataColumn");
    const std::optional<QByteArray> inflated = bytes.isEmpty() ? std::optional<QByteArray>(bytes) : zlibInflate(bytes);
    if (!numericValues || !inflated)
        return QJsonObject{{QStringLiteral("hex"), QString::fromLatin1(bytes.toHex())}};
    const bool wide = object->entity()->managedObjectModel()->version() >= 3;
    const qsizetype width = wide ? 8 : 4;
    QJsonArray numbers;
    for (qsizetype i = 0; i + width <= inflated->size(); i += width)
        numbers.append(jsonNumber(wide ? qFromLittleEndian<double>(inflated->constData() + i)
                                       : qFromLittleEndian<float>(inflated->constData() + i)));
    QJsonObject values{{wide ? QStringLiteral("doubles") : QStringLiteral("floats"), numbers}};
    if (inflated->size() % width)
        values.insert(QStringLiteral("trailing_bytes"), int(inflated->size() % width));
    return values;
}

QJsonValue attributeValue(const DSManagedObject *object, const DSAttributeDescription *attribute, const QVariant &value)
{
    switch (attribute->attributeType()) {
    case DSAttributeType::Double:
    case DSAttributeType::Date:
        return jsonNumber(value.toDouble());
    case DSAttributeType::Binary:
        return binaryValue(object, value.toByteArray());
    case DSAttributeType::Transformable:
        return value.value<QCborValue>().toJsonValue();
    default:
        return QJsonValue::fromVariant(value);
    }
}

bool isDefault(const DSAttributeDescription *attribute, const QVariant &value)
{
    const QVariant &fallback = attribute->defaultValue();
    if (value.isNull() || fallback.isNull())
        return value.isNull() && fallback.isNull();
    if (attribute->attributeType() == DSAttributeType::Double || attribute->attributeType() == DSAttributeType::Date)
        return value.toDouble() == fallback.toDouble();
    return value == fallback;
}

QJsonObject attributesOf(const DSManagedObject *object)
{
    QJsonObject dump{{QStringLiteral("entity"), object->entity()->name()}};
    for (const DSAttributeDescription *attribute : object->entity()->attributes()) {
        if (attribute->isTransient())
            continue;
        const QVariant value = object->primitiveValueForKey(attribute->name());
        if (!isDefault(attribute, value))
            dump.insert(attribute->name(), attributeValue(object, attribute, value));
    }
    return dump;
}

bool isOwning(const DSRelationshipDescription *r)
{
    return r->deleteRule() == DSDeleteRule::Cascade;
}

// The attributes of an object and, recursively, of what it owns: what
// tells apart members of one set that have the same index and attributes.
QString contentOf(const DSManagedObject *object)
{
    QString content = QString::fromUtf8(QJsonDocument(attributesOf(object)).toJson(QJsonDocument::Compact));
    for (const DSRelationshipDescription *r : object->entity()->relationships()) {
        if (!isOwning(r))
            continue;
        QStringList owned;
        for (const DSManagedObject *member : r->isToMany() ? object->objectsForKey(r->name())
                                                           : DSObjectList{object->objectForKey(r->name())})
            if (member)
                owned << contentOf(member);
        owned.sort();
        if (!owned.isEmpty())
            content += QStringLiteral("[%1:%2]").arg(r->name(), owned.join(QLatin1Char(',')));
    }
    return content;
}

DSObjectList canonicalOrder(DSObjectList members)
{
    const auto key = [](const DSManagedObject *o) {
        const bool indexed = o->entity()->attributeNamed(QStringLiteral("index"));
        return std::make_tuple(indexed ? o->integerForKey(QStringLiteral("index")) : 0, o->entity()->name(), contentOf(o));
    };
    std::stable_sort(members.begin(), members.end(), [&](DSManagedObject *a, DSManagedObject *b) { return key(a) < key(b); });
    return members;
}

} // namespace

QJsonObject ds_dump_graph(const DSManagedObjectContext &context)
{
    QHash<const DSManagedObject *, QString> paths;
    QList<DSManagedObject *> queue;
    const DSObjectList roots = context.objectsOfEntity(QStringLiteral("DSDataRoot"));
    for (qsizetype i = 0; i < roots.size(); ++i) {
        paths.insert(roots[i], roots.size() == 1 ? QStringLiteral("/") : QStringLiteral("/roots/%1").arg(i));
        queue << roots[i];
    }
    for (qsizetype next = 0; next < queue.size(); ++next) {
        DSManagedObject *owner = queue[next];
        const QString base = paths.value(owner) == QLatin1String("/") ? QString() : paths.value(owner);
        for (const DSRelationshipDescription *r : owner->entity()->relationships()) {
            if (!isOwning(r))
                continue;
            const DSObjectList members = r->isToMany() ? canonicalOrder(owner->objectsForKey(r->name()))
                                                       : DSObjectList{owner->objectForKey(r->name())};
            for (qsizetype i = 0; i < members.size(); ++i) {
                DSManagedObject *member = members[i];
                if (!member || paths.contains(member))
                    continue;
                paths.insert(member, r->isToMany() ? QStringLiteral("%1/%2/%3").arg(base, r->name()).arg(i)
                                                   : QStringLiteral("%1/%2").arg(base, r->name()));
                queue << member;
            }
        }
    }
    QHash<QString, DSObjectList> unowned;
    for (const DSEntityDescription *entity : context.model().rootEntities())
        for (DSManagedObject *object : context.objectsOfEntity(entity->name()))
            if (!paths.contains(object))
                unowned[object->entity()->name()] << object;
    for (auto it = unowned.begin(); it != unowned.end(); ++it) {
        const DSObjectList ordered = canonicalOrder(it.value());
        for (qsizetype i = 0; i < ordered.size(); ++i)
            paths.insert(ordered[i], QStringLiteral("/unowned/%1/%2").arg(it.key()).arg(i));
    }

    QJsonObject dump;
    for (auto it = paths.cbegin(); it != paths.cend(); ++it) {
        const DSManagedObject *object = it.key();
        QJsonObject entry = attributesOf(object);
        for (const DSRelationshipDescription *r : object->entity()->relationships()) {
            const DSRelationshipDescription *inverse = r->inverseRelationship();
            if (isOwning(r) || (inverse && isOwning(inverse) && !r->isToMany()))
                continue;
            if (!r->isToMany()) {
                if (const DSManagedObject *target = object->objectForKey(r->name()))
                    entry.insert(r->name(), paths.value(target, QStringLiteral("?")));
            } else if (!inverse || inverse->isToMany()) {
                QStringList targets;
                for (const DSManagedObject *target : object->objectsForKey(r->name()))
                    targets << paths.value(target, QStringLiteral("?"));
                targets.sort();
                if (!targets.isEmpty())
                    entry.insert(r->name(), QJsonArray::fromStringList(targets));
            }
        }
        dump.insert(it.value(), entry);
    }
    return dump;
}
