#pragma once

#include <QString>

#include <cstdint>
#include <stdexcept>

// A failure of the zip layer. The reason names the archive or the entry;
// error() is minizip's result code, or 0 for a misuse or an archive that
// could not be opened. Importers let it escape to the import's run, which
// logs it ("Exception: <reason>") and keeps no tables.
class ZipException : public std::runtime_error
{
public:
    explicit ZipException(const QString &reason, int64_t error = 0)
        : std::runtime_error(reason.toStdString()), m_error(error)
    {
    }
    QString reason() const { return QString::fromUtf8(what()); }
    int64_t error() const { return m_error; }

private:
    int64_t m_error;
};
