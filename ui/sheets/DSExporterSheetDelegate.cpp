#include "ui/sheets/DSExporterSheetDelegate.h"

#include "ui/sheets/DSExporter.h"

std::shared_ptr<DSExporter> DSExporterSheetDelegate::exporter() const
{
    return std::static_pointer_cast<DSExporter>(task());
}

void DSExporterSheetDelegate::setExporter(std::shared_ptr<DSExporter> exporter)
{
    setTask(std::move(exporter));
}
