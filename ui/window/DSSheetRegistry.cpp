#include "ui/window/DSSheetRegistry.h"

#include "ui/sheets/DSStatDocumentSheetDelegate.h"

DSSheetRegistry::DSSheetRegistry(DSStatDocumentWindow *document) : m_document(document) {}

DSSheetRegistry::~DSSheetRegistry()
{
    teardown();
}

const QList<std::pair<QString, QString>> &DSSheetRegistry::sheetDelegateInfo()
{
    static const QList<std::pair<QString, QString>> info{
        {QStringLiteral("indicator_variable_sheet_delegate"), QStringLiteral("DSIndicatorVariableSheetDelegate")},
        {QStringLiteral("joined_column_sheet_delegate"), QStringLiteral("DSJoinedColumnSheetDelegate")},
        {QStringLiteral("data_importer_sheet_delegate"), QStringLiteral("DSDataImporterSheetDelegate")},
        {QStringLiteral("exporter_sheet_delegate"), QStringLiteral("DSExporterSheetDelegate")},
        {QStringLiteral("stacked_table_sheet_delegate"), QStringLiteral("DSStackedTableSheetDelegate")},
        {QStringLiteral("recode_variable_sheet_delegate"), QStringLiteral("DSRecodeVariableSheetDelegate")},
        {QStringLiteral("constant_column_sheet_delegate"), QStringLiteral("DSConstantColumnSheetDelegate")},
        {QStringLiteral("power_column_sheet_delegate"), QStringLiteral("DSPowerColumnSheetDelegate")},
        {QStringLiteral("missing_values_sheet_delegate"), QStringLiteral("DSMissingValuesSheetDelegate")},
        {QStringLiteral("scale_up_column_sheet_delegate"), QStringLiteral("DSScaleUpColumnSheetDelegate")},
        {QStringLiteral("scale_down_column_sheet_delegate"), QStringLiteral("DSScaleDownColumnSheetDelegate")},
        {QStringLiteral("compose_date_column_sheet_delegate"), QStringLiteral("DSComposeDateColumnSheetDelegate")},
        {QStringLiteral("compose_time_column_sheet_delegate"), QStringLiteral("DSComposeTimeColumnSheetDelegate")},
        {QStringLiteral("compute_time_difference_column_sheet_delegate"),
         QStringLiteral("DSComputeTimeDifferenceColumnSheetDelegate")},
        {QStringLiteral("import_stata_dictionary_sheet_delegate"),
         QStringLiteral("DSImportStataDictionarySheetDelegate")},
        {QStringLiteral("import_spss_dictionary_sheet_delegate"), QStringLiteral("DSImportCommandsSheetDelegate")},
        {QStringLiteral("import_sas_binary_sheet_delegate"), QStringLiteral("DSImportSASBinarySheetDelegate")},
        {QStringLiteral("import_database_sheet_delegate"), QStringLiteral("DSImportDatabaseSheetDelegate")},
    };
    return info;
}

void DSSheetRegistry::setup()
{
    teardown();
    for (const auto &[property, className] : sheetDelegateInfo()) {
        const DSStatDocumentSheetDelegate::Maker make = DSStatDocumentSheetDelegate::registeredClass(className);
        if (!make)
            continue;
        std::unique_ptr<DSStatDocumentSheetDelegate> sheet = make();
        sheet->setDocument(m_document);
        sheet->awakeFromNib();
        m_sheets.emplace_back(property, std::move(sheet));
    }
}

void DSSheetRegistry::teardown()
{
    // A sheet still up ends as cancelled (an import's ending aborts it).
    for (auto &[property, sheet] : std::exchange(m_sheets, {}))
        sheet->teardown();
}

DSStatDocumentSheetDelegate *DSSheetRegistry::sheetDelegate(const QString &property) const
{
    for (const auto &[name, sheet] : m_sheets)
        if (name == property)
            return sheet.get();
    return nullptr;
}

QList<DSStatDocumentSheetDelegate *> DSSheetRegistry::sheet_delegates() const
{
    QList<DSStatDocumentSheetDelegate *> sheets;
    for (const auto &[name, sheet] : m_sheets)
        sheets.append(sheet.get());
    return sheets;
}

DSStatDocumentSheetDelegate *DSSheetRegistry::attached_sheet() const
{
    return m_attachedSheet;
}

void DSSheetRegistry::setAttached_sheet(DSStatDocumentSheetDelegate *sheet)
{
    m_attachedSheet = sheet;
}
