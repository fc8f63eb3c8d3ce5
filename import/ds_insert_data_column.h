#pragma once

class DSColumn;
class DSDataColumn;
class DSObjectPool;

// The stored column kinds an importer makes.
enum class DSDataColumnKind { Numeric, Time, Text };

// A new column seen both as a column and through its import protocol (the
// same object); both null when the pool's model has no such entity.
struct DSNewDataColumn
{
    DSColumn *column = nullptr;
    DSDataColumn *data = nullptr;
};

// Inserts a new stored column of the kind into the pool, which owns it.
DSNewDataColumn ds_insert_data_column(DSObjectPool &pool, DSDataColumnKind kind);
