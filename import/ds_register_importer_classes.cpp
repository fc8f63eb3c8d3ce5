#include "import/ds_register_importer_classes.h"

#include "import/DSDataImporterCSV.h"
#include "import/DSDataImporterMultiple.h"

void ds_register_importer_classes()
{
    DSDataImporter::registerImporterClass<DSDataImporterCSV>(QStringLiteral("DSDataImporterCSV"));
    DSDataImporter::registerImporterClass<DSDataImporterMultiple>(QStringLiteral("DSDataImporterMultiple"));
}
