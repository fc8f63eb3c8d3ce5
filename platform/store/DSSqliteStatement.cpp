#include "platform/store/DSSqliteStatement.h"

#include <sqlite3.h>

#include <utility>

DSSqliteStatement::DSSqliteStatement(sqlite3 *db, const QString &sql)
{
    const QByteArray utf8 = sql.toUtf8();
    if (sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &m_stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
    }
}

DSSqliteStatement::~DSSqliteStatement()
{
    sqlite3_finalize(m_stmt);
}

DSSqliteStatement::DSSqliteStatement(DSSqliteStatement &&other) noexcept
    : m_stmt(std::exchange(other.m_stmt, nullptr))
{
}

DSSqliteStatement &DSSqliteStatement::operator=(DSSqliteStatement &&other) noexcept
{
    if (this != &other) {
        sqlite3_finalize(m_stmt);
        m_stmt = std::exchange(other.m_stmt, nullptr);
    }
    return *this;
}

void DSSqliteStatement::bindNull(int i)
{
    sqlite3_bind_null(m_stmt, i);
}

void DSSqliteStatement::bindInt64(int i, qint64 value)
{
    sqlite3_bind_int64(m_stmt, i, value);
}

void DSSqliteStatement::bindDouble(int i, double value)
{
    sqlite3_bind_double(m_stmt, i, value);
}

void DSSqliteStatement::bindText(int i, const QString &value)
{
    const QByteArray utf8 = value.toUtf8();
    sqlite3_bind_text64(m_stmt, i, utf8.constData(), sqlite3_uint64(utf8.size()), SQLITE_TRANSIENT, SQLITE_UTF8);
}

void DSSqliteStatement::bindBlob(int i, const QByteArray &value)
{
    // A null data pointer would store NULL; an empty blob stays a blob.
    if (value.isEmpty())
        sqlite3_bind_zeroblob(m_stmt, i, 0);
    else
        sqlite3_bind_blob64(m_stmt, i, value.constData(), sqlite3_uint64(value.size()), SQLITE_TRANSIENT);
}

void DSSqliteStatement::bindStaticBlob(int i, const QByteArray &value)
{
    if (value.isEmpty())
        sqlite3_bind_zeroblob(m_stmt, i, 0);
    else
        sqlite3_bind_blob64(m_stmt, i, value.constData(), sqlite3_uint64(value.size()), SQLITE_STATIC);
}

int DSSqliteStatement::step()
{
    return m_stmt ? sqlite3_step(m_stmt) : SQLITE_MISUSE;
}

bool DSSqliteStatement::run()
{
    if (!m_stmt)
        return false;
    int rc;
    while ((rc = sqlite3_step(m_stmt)) == SQLITE_ROW) {
    }
    return rc == SQLITE_DONE;
}

void DSSqliteStatement::reset()
{
    if (!m_stmt)
        return;
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

int DSSqliteStatement::columnType(int i) const
{
    return sqlite3_column_type(m_stmt, i);
}

qint64 DSSqliteStatement::columnInt64(int i) const
{
    return sqlite3_column_int64(m_stmt, i);
}

double DSSqliteStatement::columnDouble(int i) const
{
    return sqlite3_column_double(m_stmt, i);
}

QString DSSqliteStatement::columnText(int i) const
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, i));
    return QString::fromUtf8(text, sqlite3_column_bytes(m_stmt, i));
}

QByteArray DSSqliteStatement::columnBlob(int i) const
{
    const void *data = sqlite3_column_blob(m_stmt, i);
    return QByteArray(static_cast<const char *>(data), sqlite3_column_bytes(m_stmt, i));
}

QString ds_sqlite_error(sqlite3 *db)
{
    return db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
}

bool ds_sqlite_exec(sqlite3 *db, const QString &sql, QString *error)
{
    char *message = nullptr;
    if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    if (error)
        *error = message ? QString::fromUtf8(message) : ds_sqlite_error(db);
    sqlite3_free(message);
    return false;
}

QString ds_sqlite_quote(const QString &identifier)
{
    QString quoted = identifier;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}
