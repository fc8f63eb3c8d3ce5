#pragma once

#include "import/dictionary/ds_stata_dct.h"

#include <cstdint>

// Receives one cell: the observation (from 0), the entry's position in the
// record, the field's bytes (NUL-terminated, `length` bytes without the NUL,
// writable, valid only during the call) and the reader's context. 0 goes on;
// anything else stops the read, which then answers 5.
using dct_cell_fn = int (*)(uint64_t row, int32_t entry, char *text, uint64_t length, void *context);

// Results of dct_read_data.
enum {
    DCT_READ_OK = 0,          // the end of the data was reached
    DCT_READ_OPEN = 1,        // the file cannot be opened
    DCT_READ_SHORT_LINE = 2,  // fixed columns: a line shorter than its length at the end of the file
    DCT_READ_MEMORY = 4,      // memory cannot be had
    DCT_READ_STOPPED = 5,     // the callback answered nonzero
};

// Reads the file at `path` as `dct` lays it out and hands every cell to
// `cell`, in observation order and, within one, in entry order. Delimited
// data (`delimiter` not 0) split each observation into num_entries fields,
// the last ending at a newline; quotes mean nothing. Fixed columns read each
// line of an observation by its length (the largest start + width of its
// entries, at least record_length); when record_length is 0 lines end at
// their newline: the rest of a longer line is discarded and a shorter one
// reads as blanks past its end; entries wider than 4,095 bytes or
// outside their observation's lines are never delivered. Keeps no state
// between calls; the file and the buffers are released on every path.
int dct_read_data(const char *path, const ds_stata_dct_s *dct, void *context, dct_cell_fn cell);
