#include "model/DSStatDocument.h"

#include "model/DSDataImporter.h"
#include "model/DSDataRoot.h"
#include "model/DSColumn.h"
#include "model/DSDataTable.h"
#include "model/DSSmallNumberFormatter.h"
#include "platform/store/DSEntityDescription.h"
#include "platform/store/DSManagedObjectContext.h"
#include "platform/store/DSManagedObjectModel.h"
#include "platform/store/DSMappingModel.h"
#include "platform/store/DSMigrationManager.h"
#include "platform/store/DSPersistentStore.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <array>
#include <utility>

const QString DSStatDocument::nativeType = QStringLiteral("org.quillmoth.ostrel.doc");
const QString DSStatDocument::readOnlyType = QStringLiteral("org.quillmoth.ostrel.doc-ro");
const QString DSStatDocument::packageExtension = QStringLiteral("ostrel");
const QString DSStatDocument::readOnlyPackageExtension = QStringLiteral("ostrel-ro");

namespace {

DSAppServices *s_appDelegate = nullptr;

// Importable files by extension (lower case) and their type identifiers.
const std::array<std::pair<const char *, const char *>, 22> k_typeForExtension{{
    {"csv", "public.comma-separated-values-text"},
    {"tsv", "public.tab-separated-values-text"},
    {"txt", "public.tab-separated-values-text"},
    {"tab", "org.quillmoth.ostrel.tab"},
    {"xls", "com.microsoft.excel.xls"},
    {"xlsx", "org.openxmlformats.spreadsheetml.sheet"},
    {"numbers", "com.apple.iwork.numbers.numbers"},
    {"sqlite", "org.quillmoth.ostrel.sqlite"},
    {"sqlite3", "org.quillmoth.ostrel.sqlite"},
    {"sl3", "org.quillmoth.ostrel.sqlite"},
    {"db", "org.quillmoth.ostrel.sqlite"},
    {"mdb", "org.quillmoth.ostrel.mdb"},
    {"accdb", "org.quillmoth.ostrel.accdb"},
    {"dbf", "org.quillmoth.ostrel.dbf"},
    {"rdata", "org.quillmoth.ostrel.rdata"},
    {"rda", "org.quillmoth.ostrel.rdata"},
    {"rds", "org.quillmoth.ostrel.rds"},
    {"dta", "org.quillmoth.ostrel.dta"},
    {"sav", "org.quillmoth.ostrel.sav"},
    {"por", "org.quillmoth.ostrel.por"},
    {"sas7bdat", "org.quillmoth.ostrel.sas7bdat"},
    {"ostrel-ro", "org.quillmoth.ostrel.doc-ro"},
}};

DSError storeError(const DSStoreError &error)
{
    return ds_make_error(error.code(), error.message());
}

bool fail(DSError *error, const DSError &what)
{
    if (error)
        *error = what;
    return false;
}

// A path with symbolic links resolved, or as given when nothing is there yet.
QString resolvedPath(const QString &path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

// An empty package directory at a save-as target. Whatever was there moves
// aside first and comes back unless the save commits, so a failed save never
// costs the file it would have replaced.
class PackageReplacement
{
public:
    explicit PackageReplacement(const QString &path) : m_path(path) {}
    ~PackageReplacement()
    {
        if (!m_committed)
            rollBack();
    }

    bool prepare(DSError *error)
    {
        const QFileInfo target(m_path);
        if (target.exists() || target.isSymLink()) {
            m_aside = m_path + QStringLiteral(".replaced-%1").arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
            if (!QFile::rename(m_path, m_aside)) {
                m_aside.clear();
                return fail(error, ds_make_error(1, QStringLiteral("“%1” could not be replaced.").arg(target.fileName())));
            }
        }
        if (!QDir().mkpath(m_path))
            return fail(error, ds_make_error(1, QStringLiteral("The folder “%1” could not be created.").arg(target.fileName())));
        m_created = true;
        return true;
    }

    void commit()
    {
        m_committed = true;
        if (!m_aside.isEmpty() && !removeAny(m_aside))
            qWarning("The replaced document “%s” could not be removed", qPrintable(m_aside));
    }

private:
    static bool removeAny(const QString &path)
    {
        const QFileInfo info(path);
        return info.isDir() && !info.isSymLink() ? QDir(path).removeRecursively() : QFile::remove(path);
    }

    void rollBack()
    {
        if (m_created)
            QDir(m_path).removeRecursively();
        if (!m_aside.isEmpty() && !QFile::rename(m_aside, m_path))
            qWarning("The document “%s” could not be put back from “%s”", qPrintable(m_path), qPrintable(m_aside));
    }

    QString m_path;
    QString m_aside;
    bool m_created = false;
    bool m_committed = false;
};

} // namespace

DSStatDocument::DSStatDocument(QObject *parent)
    : QObject(parent),
      m_model(DSManagedObjectModel::modelNamed(storeModels().last())),
      m_context(std::make_unique<DSManagedObjectContext>(m_model)),
      m_decimalFormatter(std::make_unique<DSPlatformNumberFormatter>(DSPlatformNumberFormatter::DecimalStyle)),
      m_smallDecimalFormatter(std::make_unique<DSSmallNumberFormatter>(DSPlatformNumberFormatter::DecimalStyle))
{
    Q_ASSERT(m_model);
    m_smallDecimalFormatter->setUsesScientificFormatter(true);
    connect(m_context.get(), &DSManagedObjectContext::objectsDidChange, this, &DSStatDocument::contextDidChange);
}

DSStatDocument::~DSStatDocument() = default;

const QStringList &DSStatDocument::storeFileNames()
{
    static const QStringList names{
        QStringLiteral("Storage.innerostrel"), QStringLiteral("Storage-002.sqlite"),
        QStringLiteral("Storage-003.sqlite"),  QStringLiteral("Storage-004.sqlite"),
        QStringLiteral("Storage-005.sqlite"),  QStringLiteral("Storage-006.sqlite")};
    return names;
}

const QStringList &DSStatDocument::storeModels()
{
    static const QStringList names{QStringLiteral("DSDataModel"),    QStringLiteral("DSDataModel002"),
                                   QStringLiteral("DSDataModel003"), QStringLiteral("DSDataModel004"),
                                   QStringLiteral("DSDataModel005"), QStringLiteral("DSDataModel006")};
    return names;
}

const QStringList &DSStatDocument::storeMigrators()
{
    static const QStringList names{QStringLiteral("DSDataMigrator002"), QStringLiteral("DSDataMigrator003"),
                                   QStringLiteral("DSDataMigrator004"), QStringLiteral("DSDataMigrator005"),
                                   QStringLiteral("DSDataMigrator006")};
    return names;
}

QUrl DSStatDocument::storeURLFromURL(const QUrl &url)
{
    return storeURLFromURL(url, storeFileNames().last());
}

QUrl DSStatDocument::storeURLFromURL(const QUrl &url, const QString &fileName)
{
    if (url.isEmpty())
        return QUrl();
    return QUrl::fromLocalFile(QDir(url.toLocalFile()).filePath(fileName));
}

QString DSStatDocument::typeForURL(const QUrl &url)
{
    const QString fileName = QFileInfo(url.toLocalFile()).fileName();
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const QString extension = dot < 0 ? QString() : fileName.mid(dot + 1).toLower();
    for (const auto &[ext, type] : k_typeForExtension)
        if (extension == QLatin1String(ext))
            return QString::fromLatin1(type);
    return nativeType;
}

bool DSStatDocument::initWithType(const QString &, DSError *)
{
    DSUndoManager *undo = m_context->undoManager();
    if (undo)
        undo->disableUndoRegistration();
    m_dataRoot = m_context->insertNewObject<DSDataRoot>(QStringLiteral("DSDataRoot"));
    if (!m_initialImporter) {
        auto *table = m_context->insertNewObject<DSDataTable>(QStringLiteral("DSDataTable"));
        table->setEdit_data_unlocked(true);
        table->setIndex(0);
        table->setData_root(m_dataRoot);
        table->makeDependencies();
        table->setName(QStringLiteral("New Table"));
        m_dataRoot->setActive_table(table);
    }
    m_context->processPendingChanges();
    if (undo)
        undo->enableUndoRegistration();
    markClean();
    return true;
}

bool DSStatDocument::readFromURL(const QUrl &url, const QString &type, DSError *error)
{
    if (std::unique_ptr<DSDataImporter> importer = DSDataImporter::importerForType(type, url)) {
        m_initialImporter = std::move(importer);
        initWithType(type, error);
        m_fileType = nativeType;
        m_fileURL = QUrl();
        return true;
    }
    if (!readPackage(url, type, error))
        return false;
    m_fileURL = url;
    m_fileType = type;
    m_damageReport = checkStoredData();
    markClean();
    return true;
}

QString DSStatDocument::checkStoredData()
{
    DSDataRoot *root = data_root();
    if (!root)
        return QString();
    QStringList lines;
    for (DSTable *table : root->sortedTables()) {
        auto *data = dynamic_cast<DSDataTable *>(table);
        if (!data)
            continue;
        QList<DSColumn *> columns;
        if (data->checkStoredRows(&columns))
            lines << QStringLiteral("The table “%1” says it holds %2 rows; its columns hold %3.")
                         .arg(table->name())
                         .arg(data->storedRowCount())
                         .arg(data->num_records());
        for (DSColumn *column : columns)
            lines << QStringLiteral("The column “%1” of the table “%2”.").arg(column->name(), table->name());
    }
    if (lines.isEmpty())
        return QString();
    return QStringLiteral("Part of this document is damaged. It reads as missing values, cannot be edited, and is "
                          "saved exactly as it was found:\n")
           + lines.join(QLatin1Char('\n'));
}

bool DSStatDocument::readPackage(const QUrl &url, const QString &type, DSError *error)
{
    const QDir package(url.toLocalFile());
    const QStringList entries = package.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    const QStringList &files = storeFileNames();
    const qsizetype current = files.size() - 1;
    qsizetype version = current;
    while (version >= 0 && !entries.contains(files[version]))
        --version;
    const QString name = QFileInfo(url.toLocalFile()).fileName();
    if (version < 0)
        return fail(error, ds_make_error(1, QStringLiteral("The document “%1” holds no store file, so it cannot be opened.")
                                                .arg(name)));
    if (!QFileInfo(package.filePath(files[version])).isFile())
        return fail(error, ds_make_error(1, QStringLiteral("The document “%1” cannot be opened: its store “%2” is "
                                                           "a folder, not a file.")
                                                .arg(name, files[version])));
    if (version == current)
        return configurePersistentStoreCoordinatorForURL(storeURLFromURL(url), type, error);

    // The chain runs in a folder of its own, so that a step failing at any
    // version leaves the package as it was. A read-only open keeps the
    // folder for the document's life and opens the store there; otherwise
    // the new store files move into the package once the last step is done.
    auto scratch = std::make_unique<QTemporaryDir>(QDir::temp().filePath(QStringLiteral("ostrel-XXXXXX")));
    if (!scratch->isValid())
        return fail(error, ds_make_error(1, QStringLiteral("The document could not be brought up to date: %1")
                                                .arg(scratch->errorString())));
    const QUrl migrated = QUrl::fromLocalFile(scratch->path());
    if (!migrateStoresFromURL(url, version, current, migrated, error))
        return false;
    if (type == readOnlyType) {
        if (!configurePersistentStoreCoordinatorForURL(storeURLFromURL(migrated), type, error))
            return false;
        m_migratedStoreDir = std::move(scratch);
        return true;
    }
    return moveStoresIntoPackage(migrated, url, files.mid(version + 1), error)
           && configurePersistentStoreCoordinatorForURL(storeURLFromURL(url), type, error);
}

bool DSStatDocument::migrateStoresFromURL(const QUrl &url, qsizetype fromVersion, qsizetype toVersion, const QUrl &into,
                                          DSError *error)
{
    const QStringList &files = storeFileNames();
    QUrl from = url;
    for (qsizetype version = fromVersion; version < toVersion; ++version) {
        DSStoreError modelError;
        auto sourceModel = DSManagedObjectModel::modelNamed(storeModels()[version], &modelError);
        auto destinationModel = sourceModel ? DSManagedObjectModel::modelNamed(storeModels()[version + 1], &modelError)
                                            : nullptr;
        if (!sourceModel || !destinationModel)
            return fail(error, ds_make_error(1, QStringLiteral("The document was saved by an older version of Ostrel "
                                                               "that this version cannot read: %1")
                                                    .arg(modelError.message())));
        if (!migrateStoreFromURL(storeURLFromURL(from, files[version]), sourceModel,
                                 storeURLFromURL(into, files[version + 1]), destinationModel,
                                 storeMigrators()[version], error))
            return false;
        from = into;
    }
    return true;
}

bool DSStatDocument::moveStoresIntoPackage(const QUrl &folder, const QUrl &package, const QStringList &fileNames,
                                           DSError *error)
{
    QStringList moved;
    for (const QString &name : fileNames) {
        const QString target = storeURLFromURL(package, name).toLocalFile();
        if (QFileInfo::exists(target) || !QFile::rename(storeURLFromURL(folder, name).toLocalFile(), target)) {
            for (const QString &done : moved)
                QFile::remove(storeURLFromURL(package, done).toLocalFile());
            return fail(error, ds_make_error(1, QStringLiteral("The document could not be brought up to date: "
                                                               "“%1” could not be written into it.")
                                                    .arg(name)));
        }
        moved << name;
    }
    return true;
}

bool DSStatDocument::configurePersistentStoreCoordinatorForURL(const QUrl &storeURL, const QString &type,
                                                              DSError *error)
{
    DSStoreOptions options;
    if (type == readOnlyType) {
        options.pragmas.append({QStringLiteral("journal_mode"), QStringLiteral("DELETE")});
        options.readOnly = true;
    }
    DSStoreError storeFailure;
    if (!m_context->addPersistentStore(storeURL.toLocalFile(), options, &storeFailure))
        return fail(error, storeError(storeFailure));
    return true;
}

bool DSStatDocument::migrateStoreFromURL(const QUrl &source, std::shared_ptr<const DSManagedObjectModel> sourceModel,
                                         const QUrl &destination,
                                         std::shared_ptr<const DSManagedObjectModel> destinationModel,
                                         const QString &policy, DSError *error)
{
    const QString root = QStringLiteral("DSDataRoot");
    const DSEntityDescription *sourceRoot = sourceModel->entityNamed(root);
    const DSEntityDescription *destinationRoot = destinationModel->entityNamed(root);
    if (!sourceRoot || !destinationRoot)
        return fail(error, ds_make_error(1, QStringLiteral("The entity models of the migration have no data root.")));

    bool sourceHasRoot = false;
    DSEntityMapping mapping;
    mapping.name = QStringLiteral("DSDataRootToDSDataRoot");
    mapping.mappingType = DSEntityMappingType::Custom;
    mapping.sourceEntityName = root;
    mapping.sourceEntityVersionHash = sourceRoot->versionHash();
    mapping.destinationEntityName = root;
    mapping.destinationEntityVersionHash = destinationRoot->versionHash();
    mapping.entityMigrationPolicyClassName = policy;
    mapping.sourceExpression = [&](DSMigrationManager &manager) {
        const DSObjectList roots = manager.sourceContext()->objectsOfEntity(root);
        sourceHasRoot = !roots.isEmpty();
        return sourceHasRoot ? DSObjectList{roots.first()} : DSObjectList();
    };
    DSMappingModel mappingModel;
    mappingModel.entityMappings.append(mapping);

    DSStoreOptions sourceOptions;
    sourceOptions.ignoreVersioning = true;
    DSMigrationManager manager(std::move(sourceModel), std::move(destinationModel));
    DSStoreError failure;
    const QString destinationPath = destination.toLocalFile();
    if (!manager.migrateStore(source.toLocalFile(), sourceOptions, mappingModel, destinationPath, DSStoreOptions(),
                              &failure))
        return fail(error, storeError(failure));
    if (!sourceHasRoot) {
        // A rootless store would open as a document without data; the
        // older file stays the document.
        QFile::remove(destinationPath);
        return fail(error, ds_make_error(1, QStringLiteral("“%1” holds no data and cannot be brought up to date.")
                                                .arg(QFileInfo(source.toLocalFile()).fileName())));
    }
    return true;
}

bool DSStatDocument::writeSafelyToURL(const QUrl &url, const QString &type, DSSaveOperation operation, DSError *error)
{
    const bool untitled = m_fileURL.isEmpty();
    const bool samePlace = !untitled && resolvedPath(url.toLocalFile()) == resolvedPath(m_fileURL.toLocalFile());
    std::unique_ptr<PackageReplacement> replacement;
    DSPersistentStore *store = m_context->persistentStore();
    const QString oldStorePath = store ? store->path() : QString();
    DSError failure;
    bool ok = true;
    if ((operation == DSSaveOperation::SaveAs || untitled) && !samePlace) {
        replacement = std::make_unique<PackageReplacement>(QDir::cleanPath(url.toLocalFile()));
        ok = replacement->prepare(&failure);
        const QUrl newStore = storeURLFromURL(url);
        if (ok && !store) {
            ok = configurePersistentStoreCoordinatorForURL(newStore, type, &failure);
        } else if (ok && resolvedPath(oldStorePath) != resolvedPath(newStore.toLocalFile())) {
            DSStoreError storeFailure;
            ok = m_context->migratePersistentStore(newStore.toLocalFile(), &storeFailure);
            if (!ok)
                failure = storeError(storeFailure);
        }
    }
    if (ok) {
        DSStoreError storeFailure;
        ok = m_context->save(&storeFailure);
        if (!ok)
            failure = storeError(storeFailure);
    }
    if (!ok) {
        qWarning("Save error: %s", qPrintable(failure.localizedDescription));
        // The document stays where it was: a store already moved to the
        // target goes back to the old file, which the move left as it was.
        if (replacement && !oldStorePath.isEmpty() && m_context->persistentStore()
            && m_context->persistentStore()->path() != oldStorePath)
            m_context->setPersistentStorePath(oldStorePath);
        return fail(error, failure);
    }
    if (replacement) {
        replacement->commit();
        m_fileURL = url;
    }
    markClean();
    return true;
}

bool DSStatDocument::revertToContentsOfURL(const QUrl &url, const QString &type, DSError *error)
{
    if (m_context->persistentStore())
        m_context->removePersistentStore();
    if (m_dataRoot)
        m_dataRoot->setActive_table(nullptr);
    m_dataRoot = nullptr;
    m_didPresentFetchError = false;
    if (!readFromURL(url, type, error))
        return false;
    Q_EMIT documentEditedChanged();
    return true;
}

void DSStatDocument::setFileURL(const QUrl &url)
{
    DSPersistentStore *store = m_context->persistentStore();
    if (store && !m_fileURL.isEmpty() && !url.isEmpty()
        && resolvedPath(QFileInfo(store->path()).absolutePath()) == resolvedPath(m_fileURL.toLocalFile())) {
        DSStoreError failure;
        const QString moved = storeURLFromURL(url, QFileInfo(store->path()).fileName()).toLocalFile();
        if (!m_context->setPersistentStorePath(moved, &failure))
            qWarning("The document's store could not follow it to “%s”: %s", qPrintable(moved),
                     qPrintable(failure.message()));
    }
    m_fileURL = url;
}

DSDataRoot *DSStatDocument::data_root()
{
    if (m_dataRoot)
        return m_dataRoot;
    DSError failure;
    m_dataRoot = DSDataRoot::fetchDataRootFromContext(*m_context, &failure);
    if (m_dataRoot)
        return m_dataRoot;
    if (!m_didPresentFetchError) {
        m_didPresentFetchError = true;
        presentError(failure.localizedDescription.isEmpty()
                         ? ds_make_error(1, QStringLiteral("Error retrieving data from the data store"))
                         : failure);
    }
    return nullptr;
}

DSTable *DSStatDocument::active_table()
{
    DSDataRoot *root = data_root();
    return root ? root->active_table() : nullptr;
}

void DSStatDocument::setActive_table(DSTable *table)
{
    if (DSDataRoot *root = data_root())
        root->setActive_table(table);
}

std::unique_ptr<DSDataImporter> DSStatDocument::takeInitial_importer()
{
    return std::move(m_initialImporter);
}

bool DSStatDocument::isDocumentEdited() const
{
    return !isReadOnly() && m_changedSinceClean && m_context->hasChanges();
}

DSAppServices *DSStatDocument::app_delegate()
{
    return s_appDelegate;
}

void DSStatDocument::setApp_delegate(DSAppServices *delegate)
{
    s_appDelegate = delegate;
}

void DSStatDocument::presentError(const DSError &error)
{
    qWarning("%s", qPrintable(error.localizedDescription));
    Q_EMIT errorPresented(error);
}

void DSStatDocument::markClean()
{
    m_context->processPendingChanges();
    const bool was = m_changedSinceClean;
    m_changedSinceClean = false;
    if (was)
        Q_EMIT documentEditedChanged();
}

void DSStatDocument::contextDidChange()
{
    if (m_changedSinceClean)
        return;
    m_changedSinceClean = true;
    Q_EMIT documentEditedChanged();
}
