#pragma once

#include <QByteArray>
#include <QList>

#include <cstddef>
#include <cstdint>
#include <memory>

class DSManagedObjectModel;
class DSObjectPool;

// The entity model of the importers' fuzz targets, registered once.
std::shared_ptr<const DSManagedObjectModel> ds_fuzz_model();

// Reads back every column of every table in the pool, so that saving and
// decoding run on what a parse stored; traps when a column holds more rows
// than its table, or a text column more than maxTextBytes in all (0: no
// limit).
void ds_fuzz_read_back(DSObjectPool &pool, size_t maxTextBytes);

// A zip archive of stored entries with these names and contents, assembled
// here so that a target can feed its parts straight to the XML readers.
QByteArray ds_fuzz_stored_zip(const QList<QByteArray> &names, const QList<QByteArray> &contents);
