#include "ui/panes/ds_register_pane_classes.h"

#include "ui/panes/DSRecordsViewDelegate.h"
#include "ui/panes/DSSummaryViewDelegate.h"
#include "ui/window/DSPaneSwitcher.h"

void ds_register_pane_classes()
{
    DSPaneSwitcher::registerPane(DSPaneSwitcher::recordsView, [] { return std::make_unique<DSRecordsViewDelegate>(); });
    DSPaneSwitcher::registerPane(DSPaneSwitcher::summaryView, [] { return std::make_unique<DSSummaryViewDelegate>(); });
}
