#pragma once

// The estimation-command window's interface file "EstimationCommand": a
// small tool panel "window" holding the package selector view
// "pro_syntax_view" (with its one-row radio matrix "pro_syntax_matrix"),
// the read-only command text "text_field" and the "clipboard_copy_button".
class DSEstimationCommandNib
{
public:
    // Registers the builder with DSNib; idempotent.
    static void registerNib();
};
