#include "import/ds_register_importer_classes.h"

#include "import/DSDataImporterCSV.h"
#include "import/DSDataImporterDBF.h"
#include "import/DSDataImporterMDB.h"
#include "import/DSDataImporterMultiple.h"
#include "import/DSDataImporterSQLite.h"
#include "import/DSDataImporterXLS.h"
#include "import/DSDataImporterXLSX.h"

void ds_register_importer_classes()
{
    DSDataImporter::registerImporterClass<DSDataImporterCSV>(QStringLiteral("DSDataImporterCSV"));
    DSDataImporter::registerImporterClass<DSDataImporterDBF>(QStringLiteral("DSDataImporterDBF"));
    DSDataImporter::registerImporterClass<DSDataImporterMDB>(QStringLiteral("DSDataImporterMDB"));
    DSDataImporter::registerImporterClass<DSDataImporterMultiple>(QStringLiteral("DSDataImporterMultiple"));
    DSDataImporter::registerImporterClass<DSDataImporterSQLite>(QStringLiteral("DSDataImporterSQLite"));
    DSDataImporter::registerImporterClass<DSDataImporterXLS>(QStringLiteral("DSDataImporterXLS"));
    DSDataImporter::registerImporterClass<DSDataImporterXLSX>(QStringLiteral("DSDataImporterXLSX"));
}
