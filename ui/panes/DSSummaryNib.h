#pragma once

// The summary pane's interface file, "DSStatDocumentSummary": the column
// search and list beside the graphics pane (picture, option views, treat-as
// controls, confidence, covariate pane), and the model-building area under
// them.
namespace DSSummaryNib {
void registerNib();
}
