#include "StoreTestSupport.h"

#include "platform/predicate/DSPredicate.h"
#include "platform/store/DSAttributeDescription.h"
#include "platform/store/DSEntityDescription.h"
#include "platform/store/DSManagedObjectContext.h"
#include "platform/store/DSManagedObjectModel.h"
#include "platform/store/DSObjectFactory.h"
#include "platform/store/DSRelationshipDescription.h"

#include <QCborArray>
#include <QCborMap>
#include <QCryptographicHash>
#include <QMutex>
#include <QProcess>

#include <gtest/gtest.h>

QList<HookEvent> &hookLog()
{
    static QList<HookEvent> log;
    return log;
}

namespace {

// Pools on worker threads log too.
void logHook(const char *hook, const DSManagedObject *object)
{
    static QMutex mutex;
    QMutexLocker lock(&mutex);
    hookLog().append({QString::fromLatin1(hook), object});
}

} // namespace

int hookCount(const QString &hook, const DSManagedObject *object)
{
    int n = 0;
    for (const HookEvent &e : hookLog())
        n += e.hook == hook && e.object == object;
    return n;
}

void ToyObject::awakeFromInsert() { logHook("awakeFromInsert", this); }
void ToyObject::awakeFromFetch() { logHook("awakeFromFetch", this); }
void ToyObject::prepareForDeletion() { logHook("prepareForDeletion", this); }
void ToyObject::didTurnIntoFault() { logHook("didTurnIntoFault", this); }
void ToyObject::willSave() { logHook("willSave", this); }

void ToyLibrary::setName(const QString &name)
{
    setPrimitiveValue(name, QStringLiteral("name"));
    setPrimitiveValue(temp_visits() + 1, QStringLiteral("temp_visits"));
}

void ToyLibrary::setValue(const QVariant &value, const QString &key)
{
    if (key == QLatin1String("name"))
        return setName(value.toString());
    ToyObject::setValue(value, key);
}

std::shared_ptr<const DSManagedObjectModel> testModel(const QString &fileName)
{
    DSStoreError error;
    auto model = DSManagedObjectModel::fromFile(QStringLiteral(OSTREL_TEST_SOURCE_DIR "/models/") + fileName, &error);
    if (!model)
        ADD_FAILURE() << error.message().toStdString();
    return model;
}

std::shared_ptr<const DSManagedObjectModel> toyModel()
{
    static const std::shared_ptr<const DSManagedObjectModel> model = [] {
        DSObjectFactory::registerClass<ToyObject>(QStringLiteral("ToyObject"));
        DSObjectFactory::registerClass<ToyLibrary>(QStringLiteral("ToyLibrary"));
        return testModel(QStringLiteral("toy.json"));
    }();
    return model;
}

const char *const k_compoundPredicateText =
    "value < -2.5 OR label ==[c] \"n/a\" OR (visit >= DATE(\"2019-03-01T00:00:00Z\") AND NOT code IN {1, 2.5, \"x\"})";

QCborValue compoundPredicate()
{
    QString error;
    const DSPredicatePtr predicate = DSPredicate::fromString(QString::fromUtf8(k_compoundPredicateText), &error);
    if (!predicate) {
        ADD_FAILURE() << error.toStdString();
        return QCborValue();
    }
    return predicate->toPropertyList();
}

DSManagedObject *buildRichGraph(DSManagedObjectContext &context, qint64 archiveSize)
{
    auto *main = ds_object_cast<ToyLibrary>(context.insertNewObject(QStringLiteral("Library")));
    main->setValue(QStringLiteral("Bibliothèque centrale ✓"), QStringLiteral("name"));
    main->setPrimitiveValue(-32768, QStringLiteral("shelves"));
    main->setPrimitiveValue(2147483647, QStringLiteral("visitors"));
    main->setPrimitiveValue(qlonglong(-1) << 62, QStringLiteral("budget"));
    main->setPrimitiveValue(1.0 / 3.0, QStringLiteral("ratio"));
    main->setPrimitiveValue(false, QStringLiteral("open"));
    main->setPrimitiveValue(7.5e8 + 0.25, QStringLiteral("founded"));
    main->setArchive(patternBytes(archiveSize, 7));
    const QCborMap labels{{1, QStringLiteral("one")}, {2.5, QStringLiteral("two and a half")}, {-3, QStringLiteral("minus three")}};
    main->setPrimitiveValue(QVariant::fromValue(labels), QStringLiteral("labels"));
    main->setPrimitiveValue(QVariant::fromValue(compoundPredicate()), QStringLiteral("rule"));

    // The second library holds empty values where the first holds none.
    DSManagedObject *branch = context.insertNewObject(QStringLiteral("Library"));
    branch->setPrimitiveValue(QString(QStringLiteral("")), QStringLiteral("name"));
    branch->setPrimitiveValue(QByteArray(""), QStringLiteral("archive"));
    branch->setPrimitiveValue(QVariant(), QStringLiteral("shelves"));
    branch->setPrimitiveValue(QVariant::fromValue(QCborMap()), QStringLiteral("labels"));

    for (int i = 0; i < 3; ++i) {
        DSManagedObject *book = context.insertNewObject(QStringLiteral("Book"));
        book->setPrimitiveValue(QStringLiteral("Book %1").arg(i), QStringLiteral("name"));
        book->setPrimitiveValue(i, QStringLiteral("index"));
        book->setPrimitiveValue(100 + i, QStringLiteral("pages"));
        if (i > 0)
            book->setPrimitiveValue(patternBytes(64 << 10, quint32(i)), QStringLiteral("scan"));
        book->setObject(main, QStringLiteral("library"));
        for (int j = 0; j < i; ++j) {
            DSManagedObject *part = context.insertNewObject(QStringLiteral("Part"));
            part->setPrimitiveValue(QStringLiteral("part %1.%2").arg(i).arg(j), QStringLiteral("name"));
            part->setObject(book, QStringLiteral("item"));
        }
    }
    DSManagedObject *film = context.insertNewObject(QStringLiteral("Film"));
    film->setPrimitiveValue(3, QStringLiteral("index"));
    film->setPrimitiveValue(121.75, QStringLiteral("minutes"));
    branch->addObject(film, QStringLiteral("items"));
    DSManagedObject *filmPart = context.insertNewObject(QStringLiteral("Part"));
    filmPart->setObject(film, QStringLiteral("item"));

    DSManagedObject *shared = context.insertNewObject(QStringLiteral("Tag"));
    shared->setPrimitiveValue(QStringLiteral("shared"), QStringLiteral("name"));
    DSManagedObject *own = context.insertNewObject(QStringLiteral("Tag"));
    own->setPrimitiveValue(QStringLiteral("own"), QStringLiteral("name"));
    main->setObjects({shared, own}, QStringLiteral("tags"));
    branch->addObject(shared, QStringLiteral("tags"));
    DSManagedObject *ann = context.insertNewObject(QStringLiteral("Person"));
    ann->setPrimitiveValue(QStringLiteral("Ann"), QStringLiteral("name"));
    ann->setObject(main, QStringLiteral("managed"));
    DSManagedObject *loan = context.insertNewObject(QStringLiteral("Loan"));
    loan->setPrimitiveValue(14, QStringLiteral("days"));
    loan->setObject(branch, QStringLiteral("library"));
    context.processPendingChanges();
    return main;
}

QByteArray patternBytes(qint64 size, quint32 seed)
{
    QByteArray data(size, Qt::Uninitialized);
    quint32 x = seed * 2654435761u + 1;
    auto *words = reinterpret_cast<uchar *>(data.data());
    for (qint64 i = 0; i < size; ++i) {
        x = x * 1664525u + 1013904223u;
        words[i] = uchar(x >> 24);
    }
    return data;
}

QString sha256Hex(const QByteArray &data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex());
}

namespace {

QString formatValue(const DSAttributeDescription *a, const QVariant &v)
{
    if (v.isNull())
        return QStringLiteral("none");
    switch (a->attributeType()) {
    case DSAttributeType::Binary:
        return QStringLiteral("%1 bytes sha256 %2").arg(v.toByteArray().size()).arg(sha256Hex(v.toByteArray()));
    case DSAttributeType::Transformable:
        return v.value<QCborValue>().toDiagnosticNotation(QCborValue::Compact);
    case DSAttributeType::Double:
    case DSAttributeType::Date:
        return QString::number(v.toDouble(), 'g', 17);
    default:
        return v.toString();
    }
}

} // namespace

QString dumpGraph(const DSManagedObjectContext &context)
{
    QStringList objects;
    for (const DSEntityDescription *root : context.model().rootEntities()) {
        for (DSManagedObject *o : context.objectsOfEntity(root->name())) {
            QStringList lines{o->uri().toString() + QStringLiteral(" ") + o->entity()->name()};
            for (const DSAttributeDescription *a : o->entity()->attributes())
                if (!a->isTransient())
                    lines << QStringLiteral("  %1 = %2").arg(a->name(), formatValue(a, o->primitiveValueForKey(a->name())));
            for (const DSRelationshipDescription *r : o->entity()->relationships()) {
                QStringList targets;
                if (r->isToMany()) {
                    for (DSManagedObject *t : o->objectsForKey(r->name()))
                        targets << t->uri().toString();
                    targets.sort();
                } else if (DSManagedObject *t = o->objectForKey(r->name())) {
                    targets << t->uri().toString();
                }
                lines << QStringLiteral("  %1 -> [%2]").arg(r->name(), targets.join(QStringLiteral(", ")));
            }
            objects << lines.join(QLatin1Char('\n'));
        }
    }
    objects.sort();
    return objects.join(QLatin1Char('\n'));
}

void startChild(QProcess *child, const QString &mode, const QStringList &arguments)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("OSTREL_STORE_CHILD_MODE"), mode);
    env.insert(QStringLiteral("OSTREL_STORE_CHILD_ARGS"), arguments.join(QLatin1Char('\n')));
    child->setProcessEnvironment(env);
    child->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child->start(QStringLiteral("/proc/self/exe"), QStringList());
}

ChildResult runChild(const QString &mode, const QStringList &arguments, int timeoutMs)
{
    QProcess child;
    startChild(&child, mode, arguments);
    ChildResult result;
    if (!child.waitForFinished(timeoutMs)) {
        child.kill();
        child.waitForFinished();
        return result;
    }
    const QString out = QString::fromUtf8(child.readAllStandardOutput());
    const qsizetype begin = out.indexOf(QStringLiteral("BEGIN-OUTPUT\n"));
    const qsizetype end = out.indexOf(QStringLiteral("END-OUTPUT\n"));
    if (begin >= 0 && end > begin)
        result.output = out.mid(begin + 13, end - begin - 14); // without the newline before the end mark
    result.exitCode = child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
    return result;
}
