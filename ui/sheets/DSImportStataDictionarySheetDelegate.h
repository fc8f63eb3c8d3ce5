#pragma once

#include "ui/sheets/DSImportDictionarySheetDelegate.h"

// The dictionary sheet for Stata dictionaries (.dct), which carry no value
// labels or missing values ("ImportStataDictionarySheet").
class DSImportStataDictionarySheetDelegate : public DSImportDictionarySheetDelegate
{
public:
    QString defaultPathExtension() const override { return QStringLiteral("dct"); }
    QStringList pathExtensions() const override { return {QStringLiteral("dct"), QStringLiteral("DCT")}; }
    ds_stata_dct_s *parseDictionary(const QUrl &url, DSError *error) const override;
};
