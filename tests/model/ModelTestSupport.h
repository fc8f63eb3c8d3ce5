#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <ostream>

class DSStatDocument;

// GoogleTest prints QStrings as text.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

// Registers the entity classes, the migration policies and the application
// defaults, as the application does at start-up; every test program of this
// folder does it when its test environment is set up. The standard user defaults
// of a test program live in memory (no organisation is named), so tests
// never touch the user's own settings. Idempotent.
void ds_test_setup();

// A canonical text of a document's root and tables (names, indexes, row
// counts, URIs, columns, other dependent objects by entity): two documents hold the same
// graph when their texts are equal.
QString ds_describe_document(DSStatDocument &document);

// Every entry of a folder, hidden ones included, sorted.
QStringList ds_folder_entries(const QString &path);
QByteArray ds_file_sha256(const QString &path);

// Runs this test program again as a child in a mode of ModelChildTest.cpp;
// answers its exit code and what it printed between its BEGIN-OUTPUT and
// END-OUTPUT lines.
struct ChildResult
{
    int exitCode = -1;
    QString output;
};
ChildResult ds_run_child(const QString &mode, const QStringList &arguments);
