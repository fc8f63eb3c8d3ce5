#pragma once

#include "import/dictionary/ds_value_labels.h"
#include "model/DSDataImporter.h"

// Reads Stata (.dta), SPSS (.sav, portable .por) and SAS (.sas7bdat) data
// files, one table per file: text variables become text columns, numbers
// numeric columns, and numbers shown in a date, time or date-time format
// time columns on the file kind's epoch. A variable with a value-label set
// is treated as categories labelled from the file (or from
// value_label_dict when one is given).
class DSDataImporterDTA : public DSDataImporter
{
public:
    explicit DSDataImporterDTA(const QList<QUrl> &urls);

    QString className() const override { return QStringLiteral("DSDataImporterDTA"); }

    // Labels by value-label set name; when set, they take the place of the
    // files' own labels (a SAS catalogue's, for SAS data files).
    const ds_value_labels &value_label_dict() const { return m_valueLabelDict; }
    void setValue_label_dict(const ds_value_labels &labels)
    {
        m_valueLabelDict = labels;
        m_hasValueLabelDict = true;
    }

    // One table per file, in list order. A file of an unknown kind, or one
    // the library cannot read ("Error parsing data file: %@", code = the
    // library's result), fails the whole list; an abort ends it without an
    // error.
    bool parseIntoPool(DSObjectPool &pool, DSError *error) override;

private:
    ds_value_labels m_valueLabelDict;
    bool m_hasValueLabelDict = false;
};
