#pragma once

// Registers the panes the document window makes (DSPaneSwitcher), each under
// the placeholder view it replaces: the records grid and the summary. Once
// per process, before the first window is built; again is harmless.
void ds_register_pane_classes();
