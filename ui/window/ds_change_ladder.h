#pragma once

class DSManagedObject;
class DSTable;
struct DSObjectsDidChange;

// What one change notification of a document's store asks of the active
// table's view: the first rule of the ladder that matches, and its action.
// Objects are classified by the first entity they are a kind of (so entities
// added later count at once) and reach their table by key paths, through the
// notification for deleted objects, whose relationships are already cleared.
enum class DSLadderAction {
    None,
    ShowDataSide,
    ShowPivotPaneAndList,  // the pivot pane and the table's show_pivots
    ShowPivotPane,
    ShowFilters,           // the table's show_filters
    ShowModeler,
    ShowModelSideAndResults,  // the model side and the table's show_results
    ShowModelSide,
    ShowSummary,
};

struct DSLadderDecision
{
    int rule = 17;  // 1 to 17, the rule that matched
    DSLadderAction action = DSLadderAction::None;
};

// The decision for a notification while activeTable is shown (not null).
DSLadderDecision ds_change_ladder(const DSObjectsDidChange &change, const DSManagedObject *activeTable);

// Sets the view flags the action names on the table; answers whether any
// flag changed.
bool ds_apply_ladder_action(DSLadderAction action, DSTable *table);
