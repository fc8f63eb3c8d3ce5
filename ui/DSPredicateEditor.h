#pragma once

#include "platform/predicate/DSPredicate.h"
#include "ui/DSPredicateEditorRowTemplate.h"

#include <QList>
#include <QWidget>

#include <vector>

class QVBoxLayout;

// An editor of an OR of comparisons, one row each: a key pop-up, an
// operator pop-up and a value (a pop-up of constants or a typed entry), with
// buttons that add a row below and remove the row. The row templates decide
// what each key offers; a key's operators are those of its templates, and
// the chosen operator picks the first template that offers it.
//
// A member no template can show keeps a read-only row of its own text, so
// editing never drops what was stored.
//
// Main thread only.
class DSPredicateEditor : public QWidget
{
    Q_OBJECT

public:
    explicit DSPredicateEditor(QWidget *parent = nullptr);
    ~DSPredicateEditor() override;

    // Replaces the templates; the rows are cleared.
    void setRowTemplates(QList<DSPredicateEditorRowTemplate> templates);
    const QList<DSPredicateEditorRowTemplate> &rowTemplates() const { return m_templates; }

    // One row per member of the compound (or for the one comparison); none
    // for null.
    void setObjectValue(const DSPredicatePtr &predicate);
    // The OR of the rows, in row order (an empty OR without rows). A typed
    // value that cannot be read is kept as the text typed.
    DSPredicatePtr objectValue() const;
    void clear();

    // Whether the rows can be changed; the controls are disabled otherwise.
    void setEditable(bool editable);
    bool isEditable() const { return m_editable; }

    // Adds a row of the first template after the row (at the end for -1).
    void addRow(int after = -1);
    void removeRow(int row);
    int rowCount() const;
    // The row's controls, for tests and accessibility: its text as
    // displayed ("value is less than or equal to -99"), the keys of its key
    // pop-up, and the entries of its value pop-up (empty for a typed value).
    QString rowText(int row) const;
    QStringList rowKeys(int row) const;
    QStringList rowPopupValues(int row) const;

    // The words shown for an operator: "is", "begins with", ...
    static QString operatorTitle(DSPredicateOperatorType type);

private:
    struct Row;
    Row *insertRow(int at);
    void chooseKey(Row *row, const QString &key);
    void chooseOperator(Row *row, DSPredicateOperatorType type);
    void showComparison(Row *row, const DSComparisonPredicate &comparison);
    DSPredicatePtr rowPredicate(const Row &row) const;
    int rowIndex(const Row *row) const;

    QList<DSPredicateEditorRowTemplate> m_templates;
    std::vector<std::unique_ptr<Row>> m_rows;
    QVBoxLayout *m_layout;
    bool m_editable = true;
};
