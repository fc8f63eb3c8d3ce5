#pragma once

#include "import/dictionary/ds_value_labels.h"
#include "model/DSError.h"

#include <QUrl>

#include <cstdint>

// The value labels of a SAS catalogue (.sas7bcat) by format name, keyed as
// the statistical-package importer keys a data file's own labels (numbers
// as doubles, texts as strings), so they can take the place of those.
// False with "Error parsing catalog file" (code: the library's result) when
// the file cannot be opened or read as a catalogue.
bool ds_sas7bcat_value_labels(const QUrl &url, ds_value_labels *labels, DSError *error);

// The library's value-label callback: stores the label under its format's
// dictionary in `context` (a ds_value_labels), made when new. Text values
// and labels that are not UTF-8 and values of an unknown type are skipped.
// Always goes on (0).
int sas7bcat_handle_value_label(const char *label_set, const void *value, int32_t type, const char *label,
                                void *context);
