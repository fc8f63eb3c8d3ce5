#include "ui/sheets/DSMissingValuesSheetDelegate.h"

#include "model/DSColumn.h"
#include "model/DSIndicatorColumn.h"
#include "model/DSNumericColumn.h"
#include "model/DSTextColumn.h"
#include "model/DSTimeColumn.h"
#include "model/ds_missing_values_predicate.h"
#include "platform/predicate/DSCompoundPredicate.h"
#include "ui/DSPredicateEditor.h"
#include "ui/window/DSStatDocumentWindow.h"

#include <QCborMap>
#include <QAbstractButton>
#include <QCheckBox>

#include <algorithm>
#include <cmath>

namespace {

using Op = DSPredicateOperatorType;
using Template = DSPredicateEditorRowTemplate;

const QList<Op> k_textOperators{Op::EqualTo, Op::BeginsWith, Op::Contains, Op::EndsWith};
const QList<Op> k_comparisonOperators{Op::EqualTo, Op::GreaterThan, Op::GreaterThanOrEqualTo, Op::LessThan,
                                      Op::LessThanOrEqualTo};
const QList<Op> k_partialTextOperators{Op::BeginsWith, Op::Contains, Op::EndsWith};

const QString k_value = QStringLiteral("value");
const QString k_label = QStringLiteral("label");

// The right-hand constants of the predicate's members whose left side is the key.
QList<DSPredicateValue> constantsOf(const DSPredicatePtr &predicate, const QString &key)
{
    QList<DSPredicateValue> constants;
    if (predicate)
        for (const DSComparisonPredicate *member : ds_predicate_comparisons(*predicate))
            if (member->leftExpression().fieldName() == key &&
                member->rightExpression().kind() == DSExpression::Kind::ConstantValue)
                constants << member->rightExpression().constantValue();
    return constants;
}

// Adds the value unless the list holds it, keeping the list a set.
void addOnce(QList<DSPredicateValue> &values, const DSPredicateValue &value)
{
    if (!values.contains(value))
        values << value;
}

void sortByText(QList<DSPredicateValue> &values)
{
    std::sort(values.begin(), values.end(),
              [](const DSPredicateValue &a, const DSPredicateValue &b) { return a.toText() < b.toText(); });
}

void sortByNumber(QList<DSPredicateValue> &values)
{
    std::sort(values.begin(), values.end(),
              [](const DSPredicateValue &a, const DSPredicateValue &b) { return a.numberValue() < b.numberValue(); });
}

// The distinct non-missing numbers of a numeric column.
void addDistinctNumbers(DSColumn *column, QList<DSPredicateValue> &numbers)
{
    auto *numeric = dynamic_cast<DSNumericColumn *>(column);
    if (!numeric)
        return;
    const double *index = nullptr;
    const qint64 n = numeric->getIndex(&index);
    for (qint64 i = 0; i < n && index; ++i)
        if (!std::isnan(index[i]))
            addOnce(numbers, DSPredicateValue::fromNumber(index[i]));
}

// The distinct non-blank texts of a text column.
void addDistinctTexts(DSColumn *column, QList<DSPredicateValue> &texts)
{
    auto *text = dynamic_cast<DSTextColumn *>(column);
    if (!text)
        return;
    const char *const *index = nullptr;
    const qint64 n = text->getIndex(&index);
    for (qint64 i = 0; i < n && index; ++i)
        if (index[i] && *index[i])
            addOnce(texts, DSPredicateValue::fromString(QString::fromUtf8(index[i])));
}

DSPredicatePtr valueIs(Op type, const DSPredicateValue &value)
{
    return Template::comparison(k_value, type, value);
}

} // namespace

void DSMissingValuesSheetDelegate::setColumns(const QList<DSColumn *> &edited, const QList<DSPredicateValue> &defaults)
{
    columns = edited;
    default_values = defaults;
    DSColumn *first = edited.value(0);
    auto *time = dynamic_cast<DSTimeColumn *>(first);
    auto *numeric = dynamic_cast<DSNumericColumn *>(first);
    columns_are_text = dynamic_cast<DSTextColumn *>(first);
    columns_are_date = time && !time->isTimeOfDay();
    columns_are_time_of_day = time && time->isTimeOfDay();
    columns_are_numeric = numeric;
    columns_are_duration = numeric && numeric->isDuration();
    columns_are_categories = !edited.isEmpty() && std::all_of(edited.begin(), edited.end(), [](DSColumn *c) {
        return c->treat_as_categories();
    });
    enable_predicate = std::any_of(edited.begin(), edited.end(), [](DSColumn *c) {
        const bool kind = dynamic_cast<DSTextColumn *>(c) || dynamic_cast<DSNumericColumn *>(c) ||
                          dynamic_cast<DSTimeColumn *>(c);
        return kind && c->apply_missing_values_predicate();
    });
}

DSPredicateEditor *DSMissingValuesSheetDelegate::predicate_editor() const
{
    return outlet<DSPredicateEditor>(QStringLiteral("predicate_editor"));
}

QCheckBox *DSMissingValuesSheetDelegate::apply_predicate_checkbox() const
{
    return outlet<QCheckBox>(QStringLiteral("apply_predicate_checkbox"));
}

void DSMissingValuesSheetDelegate::didLoadNib()
{
    DSStatDocumentSheetDelegate::didLoadNib();
    if (QCheckBox *box = apply_predicate_checkbox())
        QObject::connect(box, &QCheckBox::toggled, this, [this, box] { setPredicateEnabled(box); });
    if (auto *save = outlet<QAbstractButton>(QStringLiteral("save_button")))
        QObject::connect(save, &QAbstractButton::clicked, this, [this, save] { saveSheet(save); });
    if (auto *cancel = outlet<QAbstractButton>(QStringLiteral("cancel_button")))
        QObject::connect(cancel, &QAbstractButton::clicked, this, [this, cancel] { closeSheet(cancel); });
}

QList<DSPredicateOperatorType> DSMissingValuesSheetDelegate::rowOperators() const
{
    return columns_are_text ? k_textOperators : k_comparisonOperators;
}

DSPredicatePtr DSMissingValuesSheetDelegate::startingPredicate() const
{
    DSPredicatePtr stored = columns.isEmpty() ? nullptr : columns.first()->missing_values_predicate();
    if (default_values.isEmpty())
        return stored;
    std::vector<DSPredicatePtr> members;
    // A stored lone comparison is kept as a member too: dropping it would
    // lose the user's condition on save.
    if (stored && stored->asCompound())
        members = stored->asCompound()->subpredicates();
    else if (stored)
        members.push_back(stored);
    for (const DSPredicateValue &value : default_values)
        members.push_back(valueIs(Op::EqualTo, value));
    return DSCompoundPredicate::orPredicate(std::move(members));
}

DSMissingValuesSheetDelegate::Start DSMissingValuesSheetDelegate::startingEditor() const
{
    Start start;
    start.predicate = startingPredicate();
    DSPredicatePtr startingDefault = valueIs(Op::EqualTo, DSPredicateValue::fromString(QString()));
    const bool categoryRows = columns_are_categories && (columns_are_text || columns_are_numeric);
    if (categoryRows) {
        QList<DSPredicateValue> labels = constantsOf(start.predicate, k_label);
        for (DSColumn *column : columns) {
            const QCborMap map = column->category_labels();
            for (auto it = map.constBegin(); it != map.constEnd(); ++it)
                addOnce(labels, DSPredicateValue::fromString(it.value().toString()));
        }
        if (!labels.isEmpty()) {
            sortByText(labels);
            start.templates << Template::popup(k_label, {Op::EqualTo}, labels)
                            << Template::typed(QStringLiteral("string"), k_label, k_partialTextOperators);
        }
        QList<DSPredicateValue> texts, numbers;
        for (const DSPredicateValue &constant : constantsOf(start.predicate, k_value))
            if (constant.kind() == DSPredicateValue::Kind::String)
                addOnce(texts, constant);
            else if (constant.kind() == DSPredicateValue::Kind::Number)
                addOnce(numbers, constant);
        if (columns_are_text) {
            for (DSColumn *column : columns)
                addDistinctTexts(column, texts);
            if (!texts.isEmpty()) {
                sortByText(texts);
                start.templates << Template::popup(k_value, {Op::EqualTo}, texts)
                                << Template::typed(QStringLiteral("string"), k_value, k_partialTextOperators);
                startingDefault = valueIs(Op::EqualTo, texts.first());
            }
        } else {
            for (DSColumn *column : columns)
                addDistinctNumbers(column, numbers);
            if (!numbers.isEmpty()) {
                sortByNumber(numbers);
                sortByText(texts);
                start.templates << Template::popup(k_value, k_comparisonOperators, numbers + texts);
                startingDefault = numbers.first().numberValue() < 0
                                      ? valueIs(Op::LessThanOrEqualTo, numbers.first())
                                      : valueIs(Op::GreaterThanOrEqualTo, numbers.last());
            }
        }
    } else {
        const QString kind = columns_are_time_of_day ? QStringLiteral("time_of_day")
                             : columns_are_duration  ? QStringLiteral("duration")
                             : columns_are_numeric   ? QStringLiteral("numeric")
                             : columns_are_date      ? QStringLiteral("date")
                                                     : QStringLiteral("string");
        start.templates << Template::typed(kind, k_value, rowOperators());
    }
    if (!start.predicate)
        start.predicate = DSCompoundPredicate::orPredicate({startingDefault});
    return start;
}

void DSMissingValuesSheetDelegate::showSheet(QWidget *window)
{
    DSPredicateEditor *editor = predicate_editor();
    if (!editor || isShown() || (document() && document()->attached_sheet())) {
        DSStatDocumentSheetDelegate::showSheet(window);
        return;
    }
    Start start = startingEditor();
    editor->setRowTemplates(std::move(start.templates));
    editor->setObjectValue(start.predicate);
    editor->setEditable(enable_predicate);
    if (QCheckBox *box = apply_predicate_checkbox()) {
        const QSignalBlocker blocker(box);
        box->setChecked(enable_predicate);
    }
    DSStatDocumentSheetDelegate::showSheet(window);
}

void DSMissingValuesSheetDelegate::setPredicateEnabled(QObject *sender)
{
    auto *box = qobject_cast<QCheckBox *>(sender);
    enable_predicate = box && box->isChecked();
    if (DSPredicateEditor *editor = predicate_editor())
        editor->setEditable(enable_predicate);
}

void DSMissingValuesSheetDelegate::saveSheet(QObject *sender)
{
    if (!isShown())
        return;
    if (enable_predicate) {
        std::vector<DSPredicatePtr> members;
        if (DSPredicatePtr edited = predicate_editor()->objectValue()) {
            if (const DSCompoundPredicate *compound = edited->asCompound())
                members = compound->subpredicates();
            else if (edited->asComparison())
                members.push_back(edited);
        }
        const DSPredicatePtr shared = DSCompoundPredicate::orPredicate(std::move(members));
        for (DSColumn *column : columns)
            column->setMissing_values_predicate(shared);
    }
    for (DSColumn *column : columns) {
        column->setApply_missing_values_predicate(enable_predicate);
        column->recursivePurge();
    }
    if (document())
        document()->refreshView(sender);
    DSStatDocumentSheetDelegate::saveSheet(sender);
}

void DSMissingValuesSheetDelegate::didEndSheet(QDialog *sheet, int returnCode)
{
    columns.clear();
    default_values.clear();
    DSStatDocumentSheetDelegate::didEndSheet(sheet, returnCode);
}

void DSMissingValuesSheetDelegate::showForColumns(DSStatDocumentWindow *document, const QList<DSColumn *> &columns,
                                                  const QList<DSPredicateValue> &defaultValues)
{
    auto *sheet = document ? dynamic_cast<DSMissingValuesSheetDelegate *>(
                                 document->sheetDelegate(QStringLiteral("missing_values_sheet_delegate")))
                           : nullptr;
    if (!sheet || columns.isEmpty())
        return;
    if (document->attached_sheet()) {
        document->beep();
        return;
    }
    sheet->setColumns(columns, defaultValues);
    sheet->showSheet(document->windowForSheet());
}
