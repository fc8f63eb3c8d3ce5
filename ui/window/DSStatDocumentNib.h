#pragma once

// The document window's interface file "DSStatDocument": a main window of
// split views (the sidebar "tables_table" | the filter pane over the stat
// pane), the panes of the stat pane ("summary_view", "records_view",
// "pivot_view", "model_pane" holding "model_view" and "predictor_view"),
// and the three toolbars "summary_toolbar", "summary_toolbar_no_model" and
// "model_toolbar" whose items are named by identifier ("summary1", ...).
// Panes not built yet are empty views of those names.
class DSStatDocumentNib
{
public:
    // Registers the builder with DSNib; idempotent.
    static void registerNib();
};
