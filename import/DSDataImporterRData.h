#pragma once

#include "model/DSDataImporter.h"

// Reads R files: workspaces (.RData, .rda), whose data frames and other
// objects each become a table in the order saved, and single serialised
// objects (.rds), which become one table named after the file. Factors
// become numeric columns of their codes labelled with their levels,
// logicals 0 and 1 labelled FALSE and TRUE, dates and date-times time
// columns. A gzip-compressed file is inflated in memory.
class DSDataImporterRData : public DSDataImporter
{
public:
    explicit DSDataImporterRData(const QList<QUrl> &urls);

    QString className() const override { return QStringLiteral("DSDataImporterRData"); }

    // The tables of every file, in list order. A file that cannot be opened
    // ("Error opening the RData file: %@"), holds fewer than two bytes
    // ("Error reading from the RData file: %@") or cannot be parsed ("Error
    // parsing the RData file: %@", also for a column whose length differs
    // from its table's) fails the whole list; an abort ends it without an
    // error.
    bool parseIntoPool(DSObjectPool &pool, DSError *error) override;
};
