#pragma once

#include "ui/sheets/DSProgressSheetDelegate.h"

class DSExporter;

// The sheet shown while an export writes in the background ("ExporterSheet").
class DSExporterSheetDelegate : public DSProgressSheetDelegate
{
public:
    // The exporter the sheet shows, or null between exports.
    std::shared_ptr<DSExporter> exporter() const;
    void setExporter(std::shared_ptr<DSExporter> exporter);
};
