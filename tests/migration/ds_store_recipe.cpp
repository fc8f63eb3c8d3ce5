#include "ds_store_recipe.h"

#include "model/DSStatDocument.h"
#include "model/ds_compression.h"
#include "platform/store/DSAttributeDescription.h"
#include "platform/store/DSEntityDescription.h"
#include "platform/store/DSManagedObjectContext.h"
#include "platform/store/DSManagedObjectModel.h"
#include "platform/store/DSPersistentStore.h"
#include "platform/store/DSRelationshipDescription.h"

#include <QCborValue>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QtEndian>

#include <cmath>
#include <limits>

namespace {

bool failed(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return false;
}

double numberFromJson(const QJsonValue &value)
{
    const QString text = value.toString();
    if (text == QLatin1String("NaN"))
        return std::numeric_limits<double>::quiet_NaN();
    if (text == QLatin1String("Infinity"))
        return std::numeric_limits<double>::infinity();
    if (text == QLatin1String("-Infinity"))
        return -std::numeric_limits<double>::infinity();
    return value.toDouble();
}

QByteArray realsFromJson(const QJsonArray &numbers, bool wide)
{
    QByteArray bytes(numbers.size() * (wide ? 8 : 4), Qt::Uninitialized);
    for (qsizetype i = 0; i < numbers.size(); ++i) {
        const double x = numberFromJson(numbers[i]);
        if (wide)
            qToLittleEndian(x, bytes.data() + 8 * i);
        else
            qToLittleEndian(float(x), bytes.data() + 4 * i);
    }
    return bytes;
}

bool binaryFromJson(const QJsonValue &value, QByteArray *out)
{
    const QJsonObject entry = value.toObject();
    if (entry.size() != 1)
        return false;
    const QString kind = entry.begin().key();
    const QJsonValue data = entry.begin().value();
    QByteArray raw;
    if (kind == QLatin1String("float32") || kind == QLatin1String("float64"))
        raw = realsFromJson(data.toArray(), kind == QLatin1String("float64"));
    else if (kind == QLatin1String("deflate-hex") || kind == QLatin1String("hex"))
        raw = QByteArray::fromHex(data.toString().toLatin1());
    else
        return false;
    if (kind == QLatin1String("hex")) {
        *out = raw;
        return true;
    }
    const std::optional<QByteArray> deflated = zlibDeflate(raw);
    *out = deflated.value_or(QByteArray());
    return deflated.has_value();
}

bool attributeFromJson(const DSAttributeDescription *attribute, const QJsonValue &value, QVariant *out)
{
    if (value.isNull()) {
        *out = QVariant();
        return true;
    }
    switch (attribute->attributeType()) {
    case DSAttributeType::Binary: {
        QByteArray bytes;
        if (!binaryFromJson(value, &bytes))
            return false;
        *out = bytes;
        return true;
    }
    case DSAttributeType::Transformable:
        *out = QVariant::fromValue(QCborValue::fromJsonValue(value));
        return true;
    case DSAttributeType::Double:
    case DSAttributeType::Date:
        *out = numberFromJson(value);
        return true;
    default:
        *out = value.toVariant();
        return true;
    }
}

} // namespace

QJsonObject ds_recipe_from_json(const QByteArray &json, QString *error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (!document.isObject()) {
        failed(error, QStringLiteral("the recipe does not parse: %1").arg(parseError.errorString()));
        return QJsonObject();
    }
    return document.object();
}

QJsonObject ds_recipe_from_file(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        failed(error, QStringLiteral("cannot read %1").arg(path));
        return QJsonObject();
    }
    return ds_recipe_from_json(file.readAll(), error);
}

bool ds_write_store_from_recipe(const QJsonObject &recipe, const QString &packagePath, QString *error)
{
    DSStoreError storeError;
    auto model = DSManagedObjectModel::modelNamed(recipe.value(QStringLiteral("model")).toString(), &storeError);
    if (!model)
        return failed(error, storeError.message());
    const QStringList &files = DSStatDocument::storeFileNames();
    if (model->version() < 1 || model->version() > files.size())
        return failed(error, QStringLiteral("no store file name for version %1").arg(model->version()));

    DSManagedObjectContext context(model);
    context.setUndoManager(nullptr);
    const QJsonArray objects = recipe.value(QStringLiteral("objects")).toArray();
    QHash<QString, DSManagedObject *> byId;
    for (const QJsonValue &value : objects) {
        const QJsonObject entry = value.toObject();
        const QString id = entry.value(QStringLiteral("id")).toString();
        DSManagedObject *object = context.insertNewObject(entry.value(QStringLiteral("entity")).toString());
        if (!object || id.isEmpty() || byId.contains(id))
            return failed(error, QStringLiteral("object “%1”: no entity “%2”, or no unique id")
                                     .arg(id, entry.value(QStringLiteral("entity")).toString()));
        byId.insert(id, object);
    }
    for (const QJsonValue &value : objects) {
        const QJsonObject entry = value.toObject();
        const QString id = entry.value(QStringLiteral("id")).toString();
        DSManagedObject *object = byId.value(id);
        for (auto it = entry.begin(); it != entry.end(); ++it) {
            const QString key = it.key();
            if (key == QLatin1String("id") || key == QLatin1String("entity"))
                continue;
            const auto whose = [&](const QString &what) {
                return failed(error, QStringLiteral("object “%1”, key “%2”: %3").arg(id, key, what));
            };
            if (const DSAttributeDescription *attribute = object->entity()->attributeNamed(key)) {
                QVariant attributeValue;
                if (!attributeFromJson(attribute, it.value(), &attributeValue))
                    return whose(QStringLiteral("a value this attribute cannot take"));
                object->setPrimitiveValue(attributeValue, key);
            } else if (const DSRelationshipDescription *relationship = object->entity()->relationshipNamed(key)) {
                DSObjectList targets;
                const QJsonArray ids = relationship->isToMany() ? it.value().toArray() : QJsonArray{it.value()};
                for (const QJsonValue &target : ids)
                    if (!target.isNull() && !byId.contains(target.toString()))
                        return whose(QStringLiteral("no object “%1”").arg(target.toString()));
                    else if (!target.isNull())
                        targets << byId.value(target.toString());
                if (relationship->isToMany())
                    object->setObjects(targets, key);
                else
                    object->setObject(targets.value(0), key);
            } else {
                return whose(QStringLiteral("the entity has no such property"));
            }
        }
    }
    context.processPendingChanges();
    QDir().mkpath(packagePath);
    const QString path = QDir(packagePath).filePath(files[model->version() - 1]);
    QFile::remove(path);
    if (!context.addPersistentStore(path, DSStoreOptions(), &storeError) || !context.save(&storeError))
        return failed(error, storeError.message());
    return true;
}
