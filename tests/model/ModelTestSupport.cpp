#include "ModelTestSupport.h"

#include "app/ds_register_model_classes.h"
#include "migration/DSPendingDataMigrator.h"
#include "model/DSColumn.h"
#include "model/DSDataRoot.h"
#include "model/DSStatDocument.h"
#include "model/DSTable.h"
#include "model/ds_application_defaults.h"
#include "platform/store/DSEntityDescription.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>

#include <map>


void ds_test_setup()
{
    ds_register_application_defaults();
    ds_register_model_classes();
    DSPendingDataMigrator::registerPendingMigrators();
}

QString ds_describe_document(DSStatDocument &document)
{
    DSDataRoot *root = document.data_root();
    if (!root)
        return QStringLiteral("no root");
    QStringList lines{QStringLiteral("root %1").arg(root->uri().toString())};
    for (DSTable *table : root->sortedTables()) {
        lines << QStringLiteral("table %1 “%2” index %3 rows %4 %5")
                     .arg(table->entity()->name(), table->name())
                     .arg(table->index())
                     .arg(table->num_records())
                     .arg(table->uri().toString());
        for (DSColumn *column : table->sortedColumns())
            lines << QStringLiteral("  %1 “%2” index %3").arg(column->entity()->name(), column->name()).arg(column->index());
        std::map<QString, int> owned;
        for (DSManagedObject *object : table->managedObjectDependencies())
            if (object != table && !ds_object_cast<DSColumn>(object))
                ++owned[object->entity()->name()];
        for (const auto &[entity, count] : owned)
            lines << QStringLiteral("  %1 × %2").arg(entity).arg(count);
    }
    return lines.join(QLatin1Char('\n'));
}

QStringList ds_folder_entries(const QString &path)
{
    return QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

QByteArray ds_file_sha256(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex();
}

ChildResult ds_run_child(const QString &mode, const QStringList &arguments)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("OSTREL_MODEL_CHILD_MODE"), mode);
    env.insert(QStringLiteral("OSTREL_MODEL_CHILD_ARGS"), arguments.join(QLatin1Char('\n')));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QStringLiteral("/proc/self/exe"), QStringList());
    ChildResult result;
    if (!child.waitForFinished(60000)) {
        child.kill();
        child.waitForFinished();
        return result;
    }
    const QString out = QString::fromUtf8(child.readAllStandardOutput());
    const qsizetype begin = out.indexOf(QStringLiteral("BEGIN-OUTPUT\n"));
    const qsizetype end = out.indexOf(QStringLiteral("\nEND-OUTPUT\n"));
    if (begin >= 0 && end > begin)
        result.output = out.mid(begin + 13, end - begin - 13);
    result.exitCode = child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
    return result;
}

#if defined(__SANITIZE_THREAD__)
// QProcess starts the child from a process that has run worker threads (the
// import tests); the child replaces itself with this program at once.
extern "C" const char *__tsan_default_options()
{
    return "die_after_fork=0";
}
#endif
