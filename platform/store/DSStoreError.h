#pragma once

#include <QString>

// The error the object store hands back: a code a caller can test and a
// message a person can read ("Could not save “DSTable” 12: disk I/O error").
// The document turns it into the application's general error object.
class DSStoreError
{
public:
    enum Code {
        NoError = 0,
        InvalidModel,        // an entity model that does not load or validate
        InvalidArgument,     // an entity, key or object the call cannot use
        StoreNotFound,       // no store file, or no store attached
        StoreOpenFailed,     // the file is not a store or cannot be read
        IncompatibleModel,   // the store was written under another model
        ReadOnlyStore,       // a save or move into a read-only store
        SaveFailed,          // a statement of the save transaction failed
        FileOperationFailed, // writing, syncing or renaming a file failed
        DeleteDenied,        // a deny rule refused a deletion
        MigrationFailed      // a migration policy or step failed
    };

    DSStoreError() = default;
    DSStoreError(Code code, const QString &message) : m_code(code), m_message(message) {}

    static QString domain() { return QStringLiteral("DSObjectStore"); }
    Code code() const { return m_code; }
    const QString &message() const { return m_message; }
    bool isError() const { return m_code != NoError; }

private:
    Code m_code = NoError;
    QString m_message;
};

// Writes an error into *error when the caller asked for one (error may be
// null); always answers false so a failing path can `return ds_store_fail(...)`.
bool ds_store_fail(DSStoreError *error, DSStoreError::Code code, const QString &message);
