#pragma once

#include <QJsonObject>
#include <QString>

// Test-only: a store of an older version written from a recipe, so that
// migration fixtures come from our own store and nothing else.
//
// A recipe names the entity model and lists the objects:
//
//   { "model": "DSDataModel",
//     "objects": [
//       { "id": "root", "entity": "DSDataRoot" },
//       { "id": "t", "entity": "DSDataTable", "data_root": "root", "name": "Trees", "index": 0 },
//       { "id": "x", "entity": "DSNumericDataColumn", "table": "t", "values": { "float32": [1.5, "NaN"] } } ] }
//
// Every other key of an object is an attribute or a relationship of its
// entity: a relationship takes an id (to-one) or a list of ids (to-many),
// an attribute its value (null for none; "NaN", "Infinity", "-Infinity" for
// those doubles). Binary data is written as { "float32": [...] } or
// { "float64": [...] } (little-endian reals, zlib-deflated, as columns store
// them), { "deflate-hex": "..." } (bytes, deflated) or { "hex": "..." }
// (the bytes themselves). Values are set as they are (primitive), so no
// entity class adds to them; inverses follow.

// Writes the recipe's store into the package folder at packagePath (made
// when missing) under the store file name of the model's version. Answers
// false with what is wrong (the object and key named) in *error.
bool ds_write_store_from_recipe(const QJsonObject &recipe, const QString &packagePath, QString *error);

// The JSON object of a recipe text or file; an empty object, with the
// reason in *error, when it does not parse.
QJsonObject ds_recipe_from_json(const QByteArray &json, QString *error);
QJsonObject ds_recipe_from_file(const QString &path, QString *error);
