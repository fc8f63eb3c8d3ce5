#include "import/ds_register_importer_classes.h"

#include "import/DSDataImporterCSV.h"
#include "import/DSDataImporterMultiple.h"
#include "import/DSDataImporterXLS.h"
#include "import/DSDataImporterXLSX.h"

void ds_register_importer_classes()
{
    DSDataImporter::registerImporterClass<DSDataImporterCSV>(QStringLiteral("DSDataImporterCSV"));
    DSDataImporter::registerImporterClass<DSDataImporterMultiple>(QStringLiteral("DSDataImporterMultiple"));
    DSDataImporter::registerImporterClass<DSDataImporterXLS>(QStringLiteral("DSDataImporterXLS"));
    DSDataImporter::registerImporterClass<DSDataImporterXLSX>(QStringLiteral("DSDataImporterXLSX"));
}
