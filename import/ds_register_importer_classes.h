#pragma once

// Registers the importers of this folder by their class names, so that the
// document's importers for a file type and the multiple-file importer make
// them. Idempotent.
void ds_register_importer_classes();
