#include "import/ds_register_importer_classes.h"

#include "import/DSDataImporterCSV.h"
#include "import/DSDataImporterDCT.h"
#include "import/DSDataImporterDTA.h"
#include "import/DSDataImporterMultiple.h"
#include "import/DSDataImporterNumbers.h"
#include "import/DSDataImporterNumbers09.h"
#include "import/DSDataImporterNumbers13.h"
#include "import/DSDataImporterRData.h"
#include "import/DSDataImporterDBF.h"
#include "import/DSDataImporterMDB.h"
#include "import/DSDataImporterSQLite.h"
#include "import/DSDataImporterXLS.h"
#include "import/DSDataImporterXLSX.h"

void ds_register_importer_classes()
{
    DSDataImporter::registerImporterClass<DSDataImporterCSV>(QStringLiteral("DSDataImporterCSV"));
    DSDataImporter::registerImporterClass<DSDataImporterDCT>(QStringLiteral("DSDataImporterDCT"));
    DSDataImporter::registerImporterClass<DSDataImporterDTA>(QStringLiteral("DSDataImporterDTA"));
    DSDataImporter::registerImporterClass<DSDataImporterMultiple>(QStringLiteral("DSDataImporterMultiple"));
    DSDataImporter::registerImporterClass<DSDataImporterNumbers>(QStringLiteral("DSDataImporterNumbers"));
    DSDataImporter::registerImporterClass<DSDataImporterNumbers09>(QStringLiteral("DSDataImporterNumbers09"));
    DSDataImporter::registerImporterClass<DSDataImporterNumbers13>(QStringLiteral("DSDataImporterNumbers13"));
    DSDataImporter::registerImporterClass<DSDataImporterRData>(QStringLiteral("DSDataImporterRData"));
    DSDataImporter::registerImporterClass<DSDataImporterDBF>(QStringLiteral("DSDataImporterDBF"));
    DSDataImporter::registerImporterClass<DSDataImporterMDB>(QStringLiteral("DSDataImporterMDB"));
    DSDataImporter::registerImporterClass<DSDataImporterSQLite>(QStringLiteral("DSDataImporterSQLite"));
    DSDataImporter::registerImporterClass<DSDataImporterXLS>(QStringLiteral("DSDataImporterXLS"));
    DSDataImporter::registerImporterClass<DSDataImporterXLSX>(QStringLiteral("DSDataImporterXLSX"));
}
