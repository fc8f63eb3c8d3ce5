#pragma once

#include "model/DSError.h"

#include <QObject>
#include <QStringList>
#include <QUrl>

#include <memory>

class DSAppServices;
class DSDataImporter;
class DSDataRoot;
class DSManagedObjectContext;
class DSManagedObjectModel;
class DSPlatformNumberFormatter;
class DSSmallNumberFormatter;
class DSTable;
class QTemporaryDir;

// What a save does with the target location: saving in place, or saving as
// (the document moves to the target and continues there).
enum class DSSaveOperation { Save = 0, SaveAs = 1 };

// The persistence side of a document: its package on disk (a directory
// holding SQLite store files named by store version), opening with forward
// migration, importable files opened as untitled documents with a pending
// importer, save, save as and revert, and the document's root and active
// table. The window side (panes, toolbar, refresh, the import hand-off)
// works on the same document object from the user interface.
//
// Main thread only: the document's context and store are used there.
class DSStatDocument : public QObject
{
    Q_OBJECT

public:
    static const QString nativeType;    // "org.quillmoth.ostrel.doc"
    static const QString readOnlyType;  // "org.quillmoth.ostrel.doc-ro"
    static const QString packageExtension;          // "ostrel"
    static const QString readOnlyPackageExtension;  // "ostrel-ro"

    // A document with an empty context: initWithType() or readFromURL() gives it its contents.
    explicit DSStatDocument(QObject *parent = nullptr);
    ~DSStatDocument() override;

    // A new, empty document: a root and, unless an importer is pending, one
    // empty table "New Table" at index 0, active and unlocked. Creating it
    // leaves nothing to undo and nothing the user need save.
    bool initWithType(const QString &type, DSError *error = nullptr);

    // Opens a file. An importable type makes an untitled native document
    // with a root, no table and the pending importer. Anything else is read
    // as a package: its newest store file is migrated one version at a time
    // up to the current one (each step leaves the older file as it was) and
    // opened. The read-only type migrates into a temporary folder of the
    // document's own, removed with the document, so the package stays as it
    // was. A package with no store file answers false and leaves *error
    // alone; a failed step answers false with its error.
    bool readFromURL(const QUrl &url, const QString &type, DSError *error = nullptr);

    // Saves into the package at url. Save as to another location creates the
    // package there (replacing whatever was there only once the save has
    // succeeded) and continues with it; the old package keeps its last saved
    // state. Save as to the document's own location saves in place and moves
    // nothing. An untitled document's first save is a save as.
    bool writeSafelyToURL(const QUrl &url, const QString &type, DSSaveOperation operation,
                          DSError *error = nullptr);

    // Forgets every unsaved change and reads the package again.
    bool revertToContentsOfURL(const QUrl &url, const QString &type, DSError *error = nullptr);

    // Adds the store file at storeURL to the document's context (read-only
    // for the read-only type, with journal mode DELETE).
    bool configurePersistentStoreCoordinatorForURL(const QUrl &storeURL, const QString &type,
                                                   DSError *error = nullptr);

    // One migration step: the store at source, under sourceModel, rebuilt by
    // the named policy under destinationModel into a new store file at
    // destination. Nothing is ever left at destination when the step fails
    // (the store writes the new file under a side name and renames it into
    // place at the end). A source without a root cannot be migrated.
    static bool migrateStoreFromURL(const QUrl &source, std::shared_ptr<const DSManagedObjectModel> sourceModel,
                                    const QUrl &destination,
                                    std::shared_ptr<const DSManagedObjectModel> destinationModel,
                                    const QString &policy, DSError *error = nullptr);

    // Brings the store of fromVersion (a position in storeFileNames()) in
    // the package at url up to toVersion, one step at a time, writing each
    // new store file into the folder at into (the first step reads the
    // package, every later one the file of the step before). The package is
    // never written. A failed step answers false with its error and leaves
    // the files of the steps before it in into.
    static bool migrateStoresFromURL(const QUrl &url, qsizetype fromVersion, qsizetype toVersion, const QUrl &into,
                                     DSError *error = nullptr);

    // The current entity model.
    std::shared_ptr<const DSManagedObjectModel> managedObjectModel() const { return m_model; }
    DSManagedObjectContext *managedObjectContext() const { return m_context.get(); }

    // Store file names, entity model names and migration policy names by
    // store version, oldest first; the last file and model are the current ones.
    static const QStringList &storeFileNames();
    static const QStringList &storeModels();
    static const QStringList &storeMigrators();
    // The package URL with the current store file name (or the given one)
    // appended; an empty URL for an empty one.
    static QUrl storeURLFromURL(const QUrl &url);
    static QUrl storeURLFromURL(const QUrl &url, const QString &fileName);

    // The type identifier of a file by its extension: the two document
    // types, the importable types, or the native type for anything else
    // (which is then read as a package).
    static QString typeForURL(const QUrl &url);

    // The package the document lives in; empty while untitled.
    QUrl fileURL() const { return m_fileURL; }
    // Tells the document its package is now at url; a store held in the old
    // package follows under the same file name.
    void setFileURL(const QUrl &url);
    QString fileType() const { return m_fileType; }
    void setFileType(const QString &type) { m_fileType = type; }
    bool isReadOnly() const { return m_fileType == readOnlyType; }

    // The document's root: fetched on first use and kept once found. A
    // failed fetch, or a store without a root, is presented once per
    // document and answers null.
    DSDataRoot *data_root();
    void setData_root(DSDataRoot *root) { m_dataRoot = root; }
    // The table the window shows: the root's active table.
    DSTable *active_table();
    void setActive_table(DSTable *table);

    // The importer made when an importable file was opened, until the
    // window side takes it to start the import.
    DSDataImporter *initial_importer() const { return m_initialImporter.get(); }
    std::unique_ptr<DSDataImporter> takeInitial_importer();

    // Whether the document has changes since it was created, opened, saved
    // or reverted that closing it would lose: the window asks to save when
    // it is YES. A change counts once the context has processed it (at the
    // end of the event that made it, as undo registers it). A read-only
    // document never answers YES.
    bool isDocumentEdited() const;

    // Formatters of the window side: plain decimal, and decimal with values
    // too small for its digits in scientific notation.
    DSPlatformNumberFormatter *decimal_formatter() const { return m_decimalFormatter.get(); }
    DSSmallNumberFormatter *small_decimal_formatter() const { return m_smallDecimalFormatter.get(); }

    // "DSStatDocument": the document window's interface.
    static QString windowNibName() { return QStringLiteral("DSStatDocument"); }

    // The application object, while there is one: the application hands
    // itself over at start-up and takes itself back when it goes.
    static DSAppServices *app_delegate();
    static void setApp_delegate(DSAppServices *delegate);

    // What opening found damaged, one line for each damaged table and
    // column, for the window to present once as a warning; empty when
    // nothing is. What is damaged reads as missing, takes no edit and is
    // saved exactly as it was found (DSDataTable, DSColumn::isDamaged);
    // the rest of the document is untouched.
    QString damageReport() const { return m_damageReport; }

    // Shows an error to the user: logs it and emits errorPresented(), which
    // the window side turns into an alert.
    void presentError(const DSError &error);

Q_SIGNALS:
    void errorPresented(const DSError &error);
    // Emitted when isDocumentEdited() may have changed.
    void documentEditedChanged();

protected:
    // What is in the store now is what the document started from (saved,
    // read, or the initial import landed): nothing to save until it changes.
    void markClean();

private:
    // Reads every table's stored row count and every stored column's
    // arrays back whole; the report of what is damaged, or empty.
    QString checkStoredData();
    bool readPackage(const QUrl &url, const QString &type, DSError *error);
    // Moves the named store files from folder into the package; on failure
    // takes back the ones already moved, so the package is as it was.
    static bool moveStoresIntoPackage(const QUrl &folder, const QUrl &package, const QStringList &fileNames,
                                      DSError *error);
    bool prepareSaveAs(const QUrl &url, DSError *error);
    void contextDidChange();

    std::shared_ptr<const DSManagedObjectModel> m_model;
    // Where a read-only open put the store it migrated; it outlives the
    // context, whose store may be open in it.
    std::unique_ptr<QTemporaryDir> m_migratedStoreDir;
    std::unique_ptr<DSManagedObjectContext> m_context;
    std::unique_ptr<DSDataImporter> m_initialImporter;
    std::unique_ptr<DSPlatformNumberFormatter> m_decimalFormatter;
    std::unique_ptr<DSSmallNumberFormatter> m_smallDecimalFormatter;
    DSDataRoot *m_dataRoot = nullptr;
    bool m_didPresentFetchError = false;
    QString m_damageReport;
    bool m_changedSinceClean = false;
    QUrl m_fileURL;
    QString m_fileType = nativeType;
};
