#include "ui/sheets/DSImportCommandsSheetDelegate.h"

#include "import/dictionary/ds_dictionary_file.h"

#include <QLabel>

QStringList DSImportCommandsSheetDelegate::pathExtensions() const
{
    return {QStringLiteral("sps"), QStringLiteral("SPS"), QStringLiteral("sas"), QStringLiteral("SAS")};
}

ds_stata_dct_s *DSImportCommandsSheetDelegate::parseDictionary(const QUrl &url, DSError *error) const
{
    return ds_parse_command_file(url, error);
}

bool DSImportCommandsSheetDelegate::parseValueLabels(const QUrl &url, ds_value_labels *labels, DSError *error) const
{
    return ds_command_file_value_labels(url, labels, error);
}

bool DSImportCommandsSheetDelegate::parseMissingValues(const QUrl &url, ds_missing_values *missing,
                                                       DSError *error) const
{
    return ds_command_file_missing_values(url, missing, error);
}

void DSImportCommandsSheetDelegate::didLoadNib()
{
    m_step2Label = outlet<QLabel>(QStringLiteral("step2_label"));
    m_step2Instructions = outlet<QLabel>(QStringLiteral("step2_instructions"));
    DSImportDictionarySheetDelegate::didLoadNib();
}

void DSImportCommandsSheetDelegate::refreshView(QObject *sender)
{
    if (m_step2Label)
        m_step2Label->setText(QStringLiteral("Step 2: %1 commands").arg(QStringList{"SPSS", "SAS"}.join(" or ")));
    if (m_step2Instructions)
        m_step2Instructions->setText(
            QStringLiteral("Choose a .%1 file to describe the data:").arg(defaultPathExtension()));
    DSImportDictionarySheetDelegate::refreshView(sender);
}
