#pragma once

#include "ui/sheets/DSProgressSheetDelegate.h"

class DSImportRun;

// The sheet shown while an import parses in the background ("DataImporterSheet").
class DSDataImporterSheetDelegate : public DSProgressSheetDelegate
{
public:
    // The run the sheet shows, or null between imports.
    std::shared_ptr<DSImportRun> importer() const;
    void setImporter(std::shared_ptr<DSImportRun> importer);
};
