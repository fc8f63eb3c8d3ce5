#pragma once

#include <QByteArray>
#include <QString>

struct sqlite3;
struct sqlite3_stmt;

// One prepared SQLite statement, finalised when it goes. A statement that
// failed to prepare is invalid: binding does nothing, step() answers
// SQLITE_MISUSE and run() false. Bound blobs and
// texts are copied by SQLite unless bound with bindStaticBlob(), whose data
// the caller keeps alive until the statement is reset or destroyed.
class DSSqliteStatement
{
public:
    DSSqliteStatement() = default;
    DSSqliteStatement(sqlite3 *db, const QString &sql);
    ~DSSqliteStatement();
    DSSqliteStatement(DSSqliteStatement &&other) noexcept;
    DSSqliteStatement &operator=(DSSqliteStatement &&other) noexcept;
    DSSqliteStatement(const DSSqliteStatement &) = delete;
    DSSqliteStatement &operator=(const DSSqliteStatement &) = delete;

    bool isValid() const { return m_stmt; }
    // Binding positions count from 1, as in SQLite.
    void bindNull(int i);
    void bindInt64(int i, qint64 value);
    void bindDouble(int i, double value);
    void bindText(int i, const QString &value);
    void bindBlob(int i, const QByteArray &value);
    void bindStaticBlob(int i, const QByteArray &value);

    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step();
    // Steps to the end; answers whether it got there without an error.
    bool run();
    void reset();

    // Column positions count from 0.
    int columnType(int i) const;
    qint64 columnInt64(int i) const;
    double columnDouble(int i) const;
    QString columnText(int i) const;
    QByteArray columnBlob(int i) const;

private:
    sqlite3_stmt *m_stmt = nullptr;
};

// The connection's last error message, for error texts.
QString ds_sqlite_error(sqlite3 *db);

// Runs one or more statements that return no rows. On failure answers false
// and puts SQLite's message into *error when given.
bool ds_sqlite_exec(sqlite3 *db, const QString &sql, QString *error = nullptr);

// A name quoted as an SQL identifier ("index" is a keyword).
QString ds_sqlite_quote(const QString &identifier);
