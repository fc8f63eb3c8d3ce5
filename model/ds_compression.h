#pragma once

#include <QByteArray>
#include <optional>

// zlib and gzip streams of stored column arrays and of gzip-compressed files.
// zlib streams are made and read in one call through libdeflate, which
// deflates in about a third of zlib's time and inflates in under half; the
// streams are plain RFC 1950 all the same, so any zlib reads them and they
// read any zlib's. gzip streams go through zlib's incremental calls.
//
// A stream is read whole, to its checksum: a stream cut short, one whose
// checksum does not match, and one followed by bytes that are not part of
// it all fail, so damage never reads as other numbers.
//
// Each operation returns a new byte array, or std::nullopt on failure; an
// empty input is returned as it is. The inflated array is built in place and
// handed over without a copy. No compression state survives a call, so the
// functions may run on any thread. The streams' working memory comes from
// ds_column_allocator() (model/DSColumnBuffer.h); when it runs out the call
// fails.

// A zlib stream (RFC 1950) at libdeflate's level 6. Fails when the deflater
// cannot start (no memory): a partial stream is never returned.
std::optional<QByteArray> zlibDeflate(const QByteArray &data);

// The bytes of a zlib stream. Damaged, truncated or foreign data, and a
// stream asking for a preset dictionary, give std::nullopt.
std::optional<QByteArray> zlibInflate(const QByteArray &data);
// The same for a stream that may inflate to maxBytes at most (a negative
// limit counts as 0): one that holds more gives std::nullopt as soon as its
// output would pass the limit, and the output buffer is never made larger
// than maxBytes, so a small stream that claims gigabytes costs no more than
// the limit.
std::optional<QByteArray> zlibInflate(const QByteArray &data, qsizetype maxBytes);

// A gzip stream (RFC 1952) at the default level, 15-bit window, memory level 8.
std::optional<QByteArray> gzipDeflate(const QByteArray &data);

// The bytes of a gzip or zlib stream; the header decides which. A gzip
// file of several members (`cat a.gz b.gz`, bgzip) reads as their bytes
// one after the other.
std::optional<QByteArray> gzipInflate(const QByteArray &data);
// The same, with an output limit as zlibInflate() has.
std::optional<QByteArray> gzipInflate(const QByteArray &data, qsizetype maxBytes);
