#pragma once

// The bottom line's interface file, "DSStatDocumentBottomLine": the
// sentence in its two styles, the information line and its button, and the
// diagnostics popover with the test's fields and picture.
namespace DSBottomLineNib {
void registerNib();
}
