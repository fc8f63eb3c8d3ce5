#pragma once

#include "ui/sheets/DSImportDictionarySheetDelegate.h"

class QLabel;

// The dictionary sheet for SPSS (.sps) and SAS (.sas) command files
// ("ImportCommandsSheet"): the variables and their positions, value labels
// and, from SPSS, the values declared missing.
class DSImportCommandsSheetDelegate : public DSImportDictionarySheetDelegate
{
public:
    QString defaultPathExtension() const override { return QStringLiteral("sps or .sas"); }
    QStringList pathExtensions() const override;
    ds_stata_dct_s *parseDictionary(const QUrl &url, DSError *error) const override;
    bool parseValueLabels(const QUrl &url, ds_value_labels *labels, DSError *error) const override;
    bool parseMissingValues(const QUrl &url, ds_missing_values *missing, DSError *error) const override;

    QLabel *step2_label() const { return m_step2Label; }
    QLabel *step2_instructions() const { return m_step2Instructions; }

    // Words step 2 for the two kinds of command file, then as the base.
    void refreshView(QObject *sender) override;

protected:
    void didLoadNib() override;

private:
    QPointer<QLabel> m_step2Label;
    QPointer<QLabel> m_step2Instructions;
};
