#include "ui/sheets/DSImportStataDictionarySheetDelegate.h"

#include "import/dictionary/ds_dictionary_file.h"

ds_stata_dct_s *DSImportStataDictionarySheetDelegate::parseDictionary(const QUrl &url, DSError *error) const
{
    return ds_parse_stata_dictionary_file(url, error);
}
