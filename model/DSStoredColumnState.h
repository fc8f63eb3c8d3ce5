#pragma once

// The states of a stored column (numeric, time, text), named once and
// checked by DSStoredColumn where a column moves between them, as SQLite's
// pager does: a build with assertions stops at the first wrong move instead
// of storing wrong data later.
//
//   Importing  values are being written into the column's import buffers (a
//              new column's import, or a row change rewriting the whole
//              array); save() stores them and the column is Encoded.
//   Encoded    only the stored (deflated) data holds the values.
//   Decoded    a reader inflated them; teardown, a fault or new stored data
//              go back to Encoded.
//   Editing    a cell edit is under way (until it returns).
//   Edited     cell edits wait in memory for the document's save.
//   Saving     the document prepared the edited arrays for its save and has
//              not yet committed or discarded them.
//
// The moves and the states they may start in:
//
//   Save                      Importing (a column whose stored data was
//                             never loaded would store an empty array over it)
//   BeginEdit                 Encoded, Decoded, Edited (never while Saving:
//                             the prepared arrays would miss the edit)
//   Fault                     any but Editing (the edit would write into
//                             released data)
//   PrepareSave, FinishSave   any (an edit outside a document stores
//                             itself at once, from within the edit)
enum class DSStoredColumnState { Importing, Encoded, Decoded, Editing, Edited, Saving };

enum class DSStoredColumnMove { Save, BeginEdit, Fault, PrepareSave, FinishSave };

// Whether the move may start in the state.
constexpr bool ds_stored_column_allows(DSStoredColumnState from, DSStoredColumnMove move)
{
    using S = DSStoredColumnState;
    switch (move) {
    case DSStoredColumnMove::Save:
        return from == S::Importing;
    case DSStoredColumnMove::BeginEdit:
        return from == S::Encoded || from == S::Decoded || from == S::Edited;
    case DSStoredColumnMove::Fault:
        return from != S::Editing;
    case DSStoredColumnMove::PrepareSave:
    case DSStoredColumnMove::FinishSave:
        return true;
    }
    return false;
}
