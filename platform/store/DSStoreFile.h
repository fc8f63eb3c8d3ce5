#pragma once

#include <QString>

// File steps that make replacing a store atomic: a new store is written
// completely under a side name in the target's folder, synced, then renamed
// over the target, so a reader (or a crash) sees the old file or the new
// one, never half of one.

// The side name a new file for `path` is written under:
// "<folder>/.<file name>.partial". A stale one left by a crash is replaced
// by the next write.
QString ds_store_partial_path(const QString &path);

// Flushes a file's data to the disk. On failure answers false and puts the
// reason into *error when given.
bool ds_store_sync_file(const QString &path, QString *error = nullptr);

// Renames `from` over `to` in one step (rename(2) within one folder) and
// syncs the folder, so the rename itself survives a crash. On failure `to`
// is untouched, `from` stays where it was, and *error says why.
bool ds_store_replace_file(const QString &from, const QString &to, QString *error = nullptr);
