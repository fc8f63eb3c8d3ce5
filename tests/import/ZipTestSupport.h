#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <cstdint>

// Test archives: a real zip written with minizip's writer, and the places
// of its directory fields, to damage on purpose.
struct ZipEntrySpec
{
    QString name;
    QByteArray data;
    int level = -1;  // 0 stores the entry
};

// The bytes of an archive holding the entries in order.
QByteArray ds_make_zip(const QList<ZipEntrySpec> &entries);
// The bytes of an .xlsx archive of the named parts (deflated).
QByteArray ds_make_xlsx(const QList<QPair<QString, QByteArray>> &parts);

// Offsets of the central-directory record and of the local header of the
// entry with that name; -1 when absent.
qsizetype ds_zip_central_record(const QByteArray &zip, const QString &name);
qsizetype ds_zip_local_header(const QByteArray &zip, const QString &name);
// Overwrites a little-endian 32-bit field.
void ds_zip_put32(QByteArray *zip, qsizetype offset, uint32_t value);
