#pragma once

#include "platform/store/DSManagedObject.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>
#include <ostream>

// GoogleTest prints QStrings as text.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

class DSManagedObjectContext;
class QProcess;
class DSManagedObjectModel;

// What the toy entity classes' hooks report, in order.
struct HookEvent
{
    QString hook;
    const DSManagedObject *object;
};
QList<HookEvent> &hookLog();
// How many times a hook ran for an object.
int hookCount(const QString &hook, const DSManagedObject *object);

// The class of every toy entity: it logs its hooks.
class ToyObject : public DSManagedObject
{
public:
    void awakeFromInsert() override;
    void awakeFromFetch() override;
    void prepareForDeletion() override;
    void didTurnIntoFault() override;
    void willSave() override;
};

// A toy entity with typed accessors and a setter with a side effect: every
// name set through it also counts a visit, so tests see which path ran.
class ToyLibrary : public ToyObject
{
public:
    QString name() const { return stringForKey(QStringLiteral("name")); }
    void setName(const QString &name);
    qint64 temp_visits() const { return integerForKey(QStringLiteral("temp_visits")); }
    QByteArray archive() const { return dataForKey(QStringLiteral("archive")); }
    void setArchive(const QByteArray &data) { setPrimitiveValue(data, QStringLiteral("archive")); }
    void setValue(const QVariant &value, const QString &key) override;
};

// The toy model (models/toy.json), with its classes registered.
std::shared_ptr<const DSManagedObjectModel> toyModel();
// A model file of this folder's models/ directory.
std::shared_ptr<const DSManagedObjectModel> testModel(const QString &fileName);

// The text of a compound predicate with a number, a text, a date and a list
// among its constants, and its stored form (the predicate tree's own).
extern const char *const k_compoundPredicateText;
QCborValue compoundPredicate();

// Two libraries with every attribute kind (the first's archive holds
// archiveSize bytes), books, a film, parts, tags, a manager, a loan: a graph
// that uses every relationship form of the toy model. Answers the first
// library.
DSManagedObject *buildRichGraph(DSManagedObjectContext &context, qint64 archiveSize);

// Deterministic bytes of any size, different for each seed.
QByteArray patternBytes(qint64 size, quint32 seed);
QString sha256Hex(const QByteArray &data);

// A canonical text of every live object of a context, sorted by URI, with
// attribute values (binary data as size and hash), relationships as URIs
// (to-many sorted): two graphs are equal when their texts are.
QString dumpGraph(const DSManagedObjectContext &context);

// Starts this test program again as a child in the given mode (see
// StoreChildTest.cpp), its standard error forwarded.
void startChild(QProcess *child, const QString &mode, const QStringList &arguments);

// Runs this test program again as a child in the given mode (see
// StoreChildTest.cpp); answers its exit code and what it printed between
// its "BEGIN-OUTPUT" and "END-OUTPUT" lines.
struct ChildResult
{
    int exitCode = -1;
    QString output;
};
ChildResult runChild(const QString &mode, const QStringList &arguments, int timeoutMs = 60000);
