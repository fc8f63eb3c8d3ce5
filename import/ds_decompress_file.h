#pragma once

#include <QByteArray>

#include <optional>

// The bytes of a file that may be compressed whole, as R writes its
// workspaces and objects: gzip, bzip2 or xz, told apart by their magic
// bytes; anything else is returned as it is. A compressed stream must read
// to its end (a damaged or truncated one gives std::nullopt, never a
// shortened file). Runs on any thread; no state survives the call.
std::optional<QByteArray> ds_decompress_file(QByteArray bytes);
