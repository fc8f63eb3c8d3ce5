#pragma once

// Registers the sheet controllers built so far with the document's sheet
// registry, and their interface files. Once, at start-up, before the first
// document window.
void ds_register_sheet_classes();
