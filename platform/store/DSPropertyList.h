#pragma once

#include <QByteArray>
#include <QCborValue>
#include <QString>

// Property lists are the values of transformable attributes: maps with number
// or string keys, arrays, integers, doubles, booleans, null, text, byte
// strings and tagged values (a predicate stores itself as a tagged value).
// They travel as CBOR; bytes read from a store or the pasteboard are decoded
// by the strict reader below, never by QCborValue::fromCbor. The standard
// tags Qt turns into its own types (0 and 1 dates, 32 URLs, 35 regular
// expressions, 37 UUIDs) are not property-list values: tagged values use
// tags of their own.

// The deepest nesting of containers and tags accepted when decoding.
inline constexpr int ds_property_list_max_depth = 256;

// Encodes a property list. The caller owns the returned bytes.
QByteArray ds_property_list_to_cbor(const QCborValue &value);

// Decodes bytes that may be hostile. Answers true and sets *out on success.
// On failure answers false, leaves *out undefined and, when why is not null,
// says what was wrong. Lengths are checked against the bytes present before
// anything is allocated; nesting deeper than ds_property_list_max_depth,
// trailing bytes, map keys other than numbers and text, and simple values
// other than false, true, null and undefined are refused.
bool ds_property_list_from_cbor(const QByteArray &bytes, QCborValue *out, QString *why = nullptr);

// Whether a value holds only what a property list may hold (the same rules
// as the decoder). Setters refuse values for which this answers false.
bool ds_property_list_is_valid(const QCborValue &value, QString *why = nullptr);
