// Saves a document the way a user's session does (a document made new,
// columns filled, a derived column, labels, a second table, then Save As)
// and writes the graph dump of the package as reopened:
//   ostrel_make_saved_document PACKAGE DUMP.json
// fixtures/saved_v6.md says which build made the checked-in package.
#include "ds_graph_dump.h"

#include "app/ds_register_model_classes.h"
#include "derived/DSComputeGregorianYearColumn.h"
#include "model/DSDataRoot.h"
#include "model/DSDataTable.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSStatDocument.h"
#include "model/DSTextDataColumn.h"
#include "model/DSTimeDataColumn.h"
#include "model/ds_application_defaults.h"
#include "platform/store/DSManagedObjectContext.h"

#include <QCborMap>
#include <QCoreApplication>
#include <QDateTime>
#include <QTimeZone>
#include <QFile>
#include <QJsonDocument>
#include <QUrl>

#include <cmath>
#include <cstdio>
#include <limits>

namespace {

// Seconds since 2001-01-01 GMT of a GMT day.
double day(int y, int m, int d)
{
    return double(QDateTime(QDate(y, m, d), QTime(0, 0), QTimeZone::utc()).toSecsSinceEpoch() - 978307200);
}

bool fillMeasurements(DSDataTable *table, DSManagedObjectContext *context)
{
    table->setName(QStringLiteral("Measurements"));
    auto *x = context->insertNewObject<DSNumericDataColumn>(QStringLiteral("DSNumericDataColumn"));
    auto *group = context->insertNewObject<DSNumericDataColumn>(QStringLiteral("DSNumericDataColumn"));
    auto *t = context->insertNewObject<DSTextDataColumn>(QStringLiteral("DSTextDataColumn"));
    auto *when = context->insertNewObject<DSTimeDataColumn>(QStringLiteral("DSTimeDataColumn"));
    x->setName(QStringLiteral("x"));
    group->setName(QStringLiteral("group"));
    t->setName(QStringLiteral("t"));
    when->setName(QStringLiteral("when"));
    table->insertNewColumns({x, group, t, when}, 0);
    bool ok = true;
    for (double v : {1.5, -0.25, std::numeric_limits<double>::infinity(), 1e300, 7.0})
        ok &= x->appendValue(v);
    ok &= x->appendEmptyValue();
    for (double v : {1.0, 2.0, 1.0, 2.0, 1.0, 2.0})
        ok &= group->appendValue(v);
    for (const char *text : {"a", "", "Grüße", "bc", "z", "last"})
        ok &= t->appendTextValue(text);
    ok &= when->appendTimeValue(day(2015, 3, 14) + 9 * 3600 + 26 * 60 + 53, 1);
    ok &= when->appendTimeValue(day(1999, 12, 31), 86400);
    ok &= when->appendEmptyValue();
    ok &= when->appendTimeValue(day(2024, 2, 29), 86400);
    ok &= when->appendTimeValue(day(1600, 1, 1), 86400);
    ok &= when->appendTimeValue(day(2001, 1, 1) + 0.5, 0.001);
    table->setNum_records(6);
    ok &= x->saveAfterImport() && group->saveAfterImport() && t->saveAfterImport() && when->saveAfterImport();
    QCborMap labels;
    labels.insert(1.0, QStringLiteral("control"));
    labels.insert(2.0, QStringLiteral("treated"));
    group->setCategory_labels(labels);
    group->setTreat_as_categories(true);

    auto *year = context->insertNewObject<DSComputeGregorianYearColumn>(QStringLiteral("DSComputeGregorianYearColumn"));
    year->addInputColumn(when);
    table->insertNewColumns({year}, table->columns().size());
    return ok;
}

bool fillSecond(DSDataTable *table, DSManagedObjectContext *context)
{
    table->setName(QStringLiteral("Second"));
    auto *y = context->insertNewObject<DSNumericDataColumn>(QStringLiteral("DSNumericDataColumn"));
    y->setName(QStringLiteral("y"));
    table->insertNewColumns({y}, 0);
    bool ok = true;
    for (double v : {10.0, 20.0, 30.0})
        ok &= y->appendValue(v);
    table->setNum_records(3);
    return ok && y->saveAfterImport();
}

int writeDocument(const QString &package, const QString &dumpPath)
{
    DSError error;
    {
        DSStatDocument document;
        if (!document.initWithType(DSStatDocument::nativeType, &error))
            return std::fprintf(stderr, "new document: %s\n", qPrintable(error.localizedDescription)), 1;
        DSManagedObjectContext *context = document.managedObjectContext();
        auto *first = ds_object_cast<DSDataTable>(document.active_table());
        DSDataRoot *root = document.data_root();
        auto *second = context->insertNewObject<DSDataTable>(QStringLiteral("DSDataTable"));
        root->insertTable(second, root->tables().size());
        second->setData_root(root);
        second->makeDependencies();
        if (!first || !fillMeasurements(first, context) || !fillSecond(second, context))
            return std::fprintf(stderr, "the tables could not be filled\n"), 1;
        context->processPendingChanges();
        if (!document.writeSafelyToURL(QUrl::fromLocalFile(package), DSStatDocument::nativeType,
                                       DSSaveOperation::SaveAs, &error))
            return std::fprintf(stderr, "save: %s\n", qPrintable(error.localizedDescription)), 1;
    }
    DSStatDocument reopened;
    if (!reopened.readFromURL(QUrl::fromLocalFile(package), DSStatDocument::nativeType, &error))
        return std::fprintf(stderr, "reopen: %s\n", qPrintable(error.localizedDescription)), 1;
    QFile dump(dumpPath);
    if (!dump.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return std::fprintf(stderr, "cannot write %s\n", qPrintable(dumpPath)), 1;
    dump.write(QJsonDocument(ds_dump_graph(*reopened.managedObjectContext())).toJson(QJsonDocument::Indented));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s PACKAGE DUMP.json\n", argv[0]);
        return 2;
    }
    ds_register_application_defaults();
    ds_register_model_classes();
    return writeDocument(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]));
}
