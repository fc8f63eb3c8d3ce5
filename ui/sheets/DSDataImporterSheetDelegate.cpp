#include "ui/sheets/DSDataImporterSheetDelegate.h"

#include "ui/window/DSImportRun.h"

std::shared_ptr<DSImportRun> DSDataImporterSheetDelegate::importer() const
{
    return std::static_pointer_cast<DSImportRun>(task());
}

void DSDataImporterSheetDelegate::setImporter(std::shared_ptr<DSImportRun> importer)
{
    setTask(std::move(importer));
}
