#pragma once

#include "import/dictionary/ds_missing_values.h"
#include "import/dictionary/ds_value_labels.h"
#include "model/DSError.h"

#include <QUrl>

struct ds_stata_dct_s;

// The files that describe text data, read whole from disk and parsed: a
// Stata dictionary (.dct), or an SPSS (.sps) or SAS (.sas) command file
// chosen by its extension in any case. Each call reads the file afresh, so
// a file edited since the last call is read in its new form. Main thread or
// any other; nothing is shared.
//
// A file that cannot be read gives "The file “f” could not be read: reason";
// a syntax error gives the parser's line in "Failed to parse .dct file.
// Error on line 4. Please contact Ostrel support for help." (command files:
// "Failed to parse .SPS file. Error on line #12. ...", the extension as
// written).

// The record of a Stata dictionary, owned by the caller (free it with
// dct_dictionary_free), or null with *error set when given.
ds_stata_dct_s *ds_parse_stata_dictionary_file(const QUrl &url, DSError *error);

// The record of a command file, its lines_per_obs the highest record any
// variable names (at least 1), owned by the caller; null with *error set
// when the file cannot be read or parsed. A file of another extension gives
// an empty record.
ds_stata_dct_s *ds_parse_command_file(const QUrl &url, DSError *error);

// The value labels of a command file by variable name: SPSS's VALUE LABELS;
// SAS's VALUE formats by the variables whose FORMAT names them (variables
// of one format share its labels). False with *error only when the file
// cannot be read: a syntax error keeps the labels read before it, since
// ds_parse_command_file refuses such a file first.
bool ds_command_file_value_labels(const QUrl &url, ds_value_labels *labels, DSError *error);

// The values an SPSS command file declares missing (MISSING VALUES), by
// variable name; none for other files. Errors as for the value labels.
bool ds_command_file_missing_values(const QUrl &url, ds_missing_values *missing, DSError *error);
