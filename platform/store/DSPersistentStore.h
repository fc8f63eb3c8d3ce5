#pragma once

#include "platform/store/DSManagedObject.h"
#include "platform/store/DSStoreError.h"
#include "platform/store/DSStoreSchema.h"
#include "platform/store/DSStoreSchemaGap.h"

#include <QHash>
#include <QList>
#include <QString>

#include <memory>
#include <optional>
#include <utility>

struct sqlite3;
class DSAttributeDescription;
class DSManagedObjectContext;
class DSManagedObjectModel;

struct DSStoreOptions
{
    // Opens the file read-only: saving is refused and the file is never written.
    bool readOnly = false;
    // Opens a file whose entity version hashes differ from the model's
    // (a migration source read under the model it was written with).
    bool ignoreVersioning = false;
    // Run in order after opening, as `PRAGMA name = value`, e.g.
    // {"journal_mode", "DELETE"}, {"cache_size", "-8000"}.
    QList<std::pair<QString, QString>> pragmas;
};

// What a store file says about itself, readable without loading it.
struct DSStoreMetadata
{
    QString identifier;
    QString modelName;
    int storeVersion = 0;
    QHash<QString, QByteArray> entityVersionHashes;
};

// One SQLite store file (layout: DSStoreSchema). A context adds it, loads
// it whole and saves into it; this class has no public way to change it.
//
// Saving into an existing file is one SQLite transaction (rollback journal,
// synchronous FULL): a crash at any point leaves the previous state, which
// the next opening restores. A new file (first save, a move to a new path,
// a migration's destination) is written whole under a side name and renamed
// into place, so no half-written store is ever seen at the path.
class DSPersistentStore
{
public:
    ~DSPersistentStore();
    DSPersistentStore(const DSPersistentStore &) = delete;
    DSPersistentStore &operator=(const DSPersistentStore &) = delete;

    const QString &path() const { return m_path; }
    const DSStoreOptions &options() const { return m_options; }
    bool isReadOnly() const { return m_options.readOnly; }
    // The identifier in the URIs of the store's objects.
    const QString &identifier() const { return m_identifier; }
    // False for a new store until its first save creates the file.
    bool hasFile() const { return m_db != nullptr; }
    const DSManagedObjectModel &model() const { return *m_model; }

    // Reads a store file's metadata (its store version tells which model
    // opens it). Answers false with an error for anything but a store file.
    static bool metadataForStoreAtPath(const QString &path, DSStoreMetadata *metadata,
                                       DSStoreError *error = nullptr);

    // For crash tests: called with a running count after each row and each
    // object's binary data a save has written (inside its transaction), and
    // after each chunk of pages a move to a new file has copied.
    using SaveProgressHook = void (*)(qint64 objectsWritten);
    static void setSaveProgressHook(SaveProgressHook hook);

private:
    friend class DSManagedObjectContext;

    struct Changes {
        DSObjectList inserted;
        DSObjectList updated;
        DSObjectList deleted;
        QHash<const DSEntityDescription *, qint64> lastNumbers;
    };
    class Loader;
    class Writer;

    DSPersistentStore(const QString &path, const DSStoreOptions &options,
                      std::shared_ptr<const DSManagedObjectModel> model, const QString &identifier);

    // An existing file, opened and checked against the model (not loaded).
    static std::unique_ptr<DSPersistentStore> openFile(const QString &path, const DSStoreOptions &options,
                                                       std::shared_ptr<const DSManagedObjectModel> model,
                                                       DSStoreError *error);
    // A store whose file the first save creates.
    static std::unique_ptr<DSPersistentStore> newFile(const QString &path, const DSStoreOptions &options,
                                                      std::shared_ptr<const DSManagedObjectModel> model,
                                                      const QString &identifier);

    // Makes every stored object in the context (which must hold none yet),
    // wires relationships and inverses, then calls awakeFromFetch() on each.
    // On failure the context is left as it was.
    bool load(DSManagedObjectContext *context, DSStoreError *error);
    // Reads binary data left in the file by load(); null on failure (warned).
    QVariant loadValue(const DSManagedObject *object, const DSAttributeDescription *attribute);
    bool save(const Changes &changes, DSStoreError *error);
    bool copyTo(const QString &newPath, DSStoreError *error);
    bool setPath(const QString &newPath, DSStoreError *error);

    bool openConnection(const QString &path, DSStoreError *error);
    void closeConnection();
    bool applyPragmas(sqlite3 *db, bool partialFile, QString *error) const;
    bool writeNewFile(const Changes &changes, DSStoreError *error);
    bool fillNewFile(sqlite3 *db, const Changes &changes, DSStoreError *error) const;
    bool fail(DSStoreError *error, DSStoreError::Code code, const QString &what, const QString &why) const;
    // For a file whose entity hashes differ from the model's: whether it was
    // saved under an earlier form of the same store version's model, which
    // then reads through m_gap; otherwise false with IncompatibleModel.
    bool checkSchemaGap(const DSStoreMetadata &metadata, DSStoreError *error);

    QString m_path;
    DSStoreOptions m_options;
    std::shared_ptr<const DSManagedObjectModel> m_model;
    DSStoreSchema m_schema;
    QString m_identifier;
    sqlite3 *m_db = nullptr;
    QHash<const DSEntityDescription *, qint64> m_storedLastNumbers;
    // What the file lacks of the model while it was saved under an earlier
    // form of it; none once a save has filled it in.
    std::optional<DSStoreSchemaGap> m_gap;
};
