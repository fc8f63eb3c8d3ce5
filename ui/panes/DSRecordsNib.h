#pragma once

// The records pane's interface file, "DSStatDocumentRecords": the grid, its
// count label, the browsing controls (column search, category labels) and
// the editing controls (add and drop rows, add a column) in one place, and
// the padlock.
namespace DSRecordsNib {
void registerNib();
}
