#pragma once

#include <cstdint>

struct ds_dct_name_index_s;

// One variable of a data dictionary.
struct ds_stata_dct_entry_s {
    int32_t line;       // 0-based line of the observation; 0 <= line < lines_per_obs
    int32_t start;      // 0-based byte offset within its line (fixed columns)
    int32_t width;      // bytes (fixed columns)
    int32_t type;       // 0 byte, 1 string, 2 int, 3 long, 4 float, 5 double; only 1 is text
    char name[66];      // NUL-terminated, UTF-8
    char label[81];     // NUL-terminated; empty when none
    char decimal_char;  // '.' or ','
    int32_t decimals;   // implied decimal places of a number written without a '.'; 0 none
};

// How a text data file is laid out: what the dictionary and command-file
// parsers build and the dictionary-driven reader applies.
struct ds_stata_dct_s {
    char data_file[255];   // the file after "using"; kept, not used to find the data
    int32_t lines_per_obs; // lines that make one observation
    int32_t record_length; // 0: lines end with a newline; above 0: fixed-length records
    int32_t first_line;    // 1-based first data line; 0 and 1 skip nothing
    int32_t num_entries;
    char delimiter;        // 0: fixed columns; else the byte between fields
    ds_stata_dct_entry_s *entries; // system allocator, num_entries long
    ds_dct_name_index_s *name_index; // the handlers' lookup by name; none until their first
};

// A new record with the defaults (one line per observation, no entries), or
// none when memory cannot be had ("Error in malloc()" logged). Free it with
// dct_dictionary_free. The record and its entries come from
// ds_column_allocator, so tests can make their growth fail.
ds_stata_dct_s *dct_dictionary_new();

// Frees `entries` and the name index, then the record; none is allowed.
void dct_dictionary_free(ds_stata_dct_s *dct);

// Appends an all-zero entry and returns it, or none, leaving the record as
// it was, when the array cannot grow ("Error in realloc()" logged).
ds_stata_dct_entry_s *dct_append_entry(ds_stata_dct_s *dct);

// The first entry named `name` byte for byte; when there is none, a new
// all-zero entry named `name` (empty when the name is over 31 bytes). None
// when the array cannot grow.
ds_stata_dct_entry_s *dct_find_or_add_entry(ds_stata_dct_s *dct, const char *name);

// Handlers of the command-file parsers' callbacks that fill the record
// passed as `context`. Each returns 0, or 1 when the entry array could not
// grow (the record is then unchanged), which stops the parse that called it.

// on_variable of sps_parse: appends an entry (type 1 for 1, else 3), also
// for a name already there; a name over 31 bytes gives an empty name.
int dct_add_variable(const char *name, int32_t line, int32_t start, int32_t width, int32_t type, int32_t decimals,
                     void *context);

// on_variable_label of sps_parse: the first entry of that name gets the
// label when it is at most 79 bytes; otherwise nothing changes.
int dct_set_variable_label(const char *name, const char *label, void *context);

// on_infile_option of sas_parse: option 1 sets first_line, option 2 the
// delimiter (the value's low byte); other options are ignored.
int dct_set_infile_option(int32_t option, int32_t value, void *context);

// on_variable of sas_parse: merges into the entry of that name; line -1
// keeps line and start, width 0 keeps the width, type -1 keeps the type.
int dct_merge_variable(const char *name, int32_t line, int32_t start, int32_t width, int32_t type, int32_t decimals,
                       void *context);

// on_variable_label of sas_parse: the label (at most 79 bytes) goes to the
// entry of that name, made when there is none.
int dct_merge_variable_label(const char *name, const char *label, void *context);
