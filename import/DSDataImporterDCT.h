#pragma once

#include "import/dictionary/ds_missing_values.h"
#include "import/dictionary/ds_value_labels.h"
#include "model/DSDataImporter.h"

struct ds_stata_dct_s;

// Reads text data laid out by a data dictionary (a Stata dictionary, an SPSS
// or SAS command file): each file of the list becomes one table whose
// columns are the dictionary's entries in order, text for string entries
// and numeric for every other type.
class DSDataImporterDCT : public DSDataImporter
{
public:
    explicit DSDataImporterDCT(const QList<QUrl> &urls);
    // Frees the dictionary record when one was handed over.
    ~DSDataImporterDCT() override;

    QString className() const override { return QStringLiteral("DSDataImporterDCT"); }

    // The layout; the importer owns the record from setDct on and frees it
    // (an earlier record too).
    ds_stata_dct_s *dct() const { return m_dct; }
    void setDct(ds_stata_dct_s *dct);
    // Labels by variable name, given to the column of that name as its
    // categories.
    const ds_value_labels &value_labels() const { return m_valueLabels; }
    void setValue_labels(const ds_value_labels &labels) { m_valueLabels = labels; }
    // Values declared missing by variable name: a cell holding one of them
    // is read as missing (a number as NaN, a text as no text), as the
    // statistical-package files read their user-missing values.
    const ds_missing_values &missing_values() const { return m_missingValues; }
    void setMissing_values(const ds_missing_values &missing) { m_missingValues = missing; }

    // One table per file, in list order. A file that cannot be read to its
    // end fails the whole list ("Error parsing file: %@"); an abort ends it
    // without an error. Without a record nothing can be read: an error.
    bool parseIntoPool(DSObjectPool &pool, DSError *error) override;

private:
    ds_stata_dct_s *m_dct = nullptr;
    ds_value_labels m_valueLabels;
    ds_missing_values m_missingValues;
};
