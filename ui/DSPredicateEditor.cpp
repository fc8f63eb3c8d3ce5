#include "ui/DSPredicateEditor.h"

#include "platform/predicate/DSCompoundPredicate.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

struct DSPredicateEditor::Row
{
    QWidget *widget = nullptr;
    QComboBox *key = nullptr;
    QComboBox *op = nullptr;
    QComboBox *popup = nullptr;
    QLineEdit *text = nullptr;
    QLabel *rawText = nullptr;
    QToolButton *add = nullptr;
    QToolButton *remove = nullptr;
    // The template in use, or -1 for a read-only row of raw.
    int templateIndex = -1;
    DSPredicatePtr raw;
};

DSPredicateEditor::DSPredicateEditor(QWidget *parent) : QWidget(parent), m_layout(new QVBoxLayout(this))
{
    m_layout->setContentsMargins(4, 4, 4, 4);
    m_layout->setSpacing(2);
    m_layout->addStretch(1);
}

DSPredicateEditor::~DSPredicateEditor() = default;

QString DSPredicateEditor::operatorTitle(DSPredicateOperatorType type)
{
    switch (type) {
    case DSPredicateOperatorType::LessThan: return QStringLiteral("is less than");
    case DSPredicateOperatorType::LessThanOrEqualTo: return QStringLiteral("is less than or equal to");
    case DSPredicateOperatorType::GreaterThan: return QStringLiteral("is greater than");
    case DSPredicateOperatorType::GreaterThanOrEqualTo: return QStringLiteral("is greater than or equal to");
    case DSPredicateOperatorType::EqualTo: return QStringLiteral("is");
    case DSPredicateOperatorType::NotEqualTo: return QStringLiteral("is not");
    case DSPredicateOperatorType::BeginsWith: return QStringLiteral("begins with");
    case DSPredicateOperatorType::EndsWith: return QStringLiteral("ends with");
    case DSPredicateOperatorType::Contains: return QStringLiteral("contains");
    default: return DSComparisonPredicate::operatorText(type);
    }
}

void DSPredicateEditor::setRowTemplates(QList<DSPredicateEditorRowTemplate> templates)
{
    clear();
    m_templates = std::move(templates);
}

void DSPredicateEditor::clear()
{
    for (auto &row : std::exchange(m_rows, {}))
        delete row->widget;
}

int DSPredicateEditor::rowCount() const
{
    return int(m_rows.size());
}

int DSPredicateEditor::rowIndex(const Row *row) const
{
    for (size_t i = 0; i < m_rows.size(); ++i)
        if (m_rows[i].get() == row)
            return int(i);
    return -1;
}

DSPredicateEditor::Row *DSPredicateEditor::insertRow(int at)
{
    auto row = std::make_unique<Row>();
    Row *made = row.get();
    made->widget = new QWidget(this);
    auto *layout = new QHBoxLayout(made->widget);
    layout->setContentsMargins(0, 0, 0, 0);
    made->key = new QComboBox;
    made->op = new QComboBox;
    made->popup = new QComboBox;
    made->text = new QLineEdit;
    made->rawText = new QLabel;
    made->add = new QToolButton;
    made->add->setText(QStringLiteral("+"));
    made->remove = new QToolButton;
    made->remove->setText(QStringLiteral("−"));
    made->text->setMinimumWidth(120);
    made->popup->setMinimumWidth(120);
    for (QWidget *part : {static_cast<QWidget *>(made->key), static_cast<QWidget *>(made->op),
                          static_cast<QWidget *>(made->popup), static_cast<QWidget *>(made->text),
                          static_cast<QWidget *>(made->rawText)})
        layout->addWidget(part);
    layout->addStretch(1);
    layout->addWidget(made->remove);
    layout->addWidget(made->add);
    QStringList keys;
    for (const DSPredicateEditorRowTemplate &t : m_templates)
        if (!keys.contains(t.key))
            keys << t.key;
    made->key->addItems(keys);
    QObject::connect(made->key, &QComboBox::currentTextChanged, this, [this, made](const QString &key) {
        chooseKey(made, key);
    });
    QObject::connect(made->op, &QComboBox::currentIndexChanged, this, [this, made](int index) {
        if (index >= 0)
            chooseOperator(made, DSPredicateOperatorType(made->op->itemData(index).toInt()));
    });
    QObject::connect(made->add, &QToolButton::clicked, this, [this, made] { addRow(rowIndex(made)); });
    QObject::connect(made->remove, &QToolButton::clicked, this, [this, made] { removeRow(rowIndex(made)); });
    made->widget->setEnabled(m_editable);
    const int place = at < 0 || at > rowCount() ? rowCount() : at;
    m_layout->insertWidget(place, made->widget);
    // A layout shows a widget added to a visible parent only later, from the event loop.
    made->widget->show();
    m_rows.insert(m_rows.begin() + place, std::move(row));
    return made;
}

void DSPredicateEditor::chooseKey(Row *row, const QString &key)
{
    const QSignalBlocker blocker(row->op);
    row->op->clear();
    QList<DSPredicateOperatorType> offered;
    for (const DSPredicateEditorRowTemplate &t : m_templates)
        if (t.key == key)
            for (DSPredicateOperatorType type : t.operators)
                if (!offered.contains(type)) {
                    offered << type;
                    row->op->addItem(operatorTitle(type), int(type));
                }
    if (!offered.isEmpty())
        chooseOperator(row, offered.first());
}

void DSPredicateEditor::chooseOperator(Row *row, DSPredicateOperatorType type)
{
    const QString key = row->key->currentText();
    int chosen = -1;
    for (int i = 0; i < m_templates.size() && chosen < 0; ++i)
        if (m_templates[i].key == key && m_templates[i].operators.contains(type))
            chosen = i;
    {
        const QSignalBlocker blocker(row->op);
        row->op->setCurrentIndex(row->op->findData(int(type)));
    }
    if (chosen == row->templateIndex)
        return;
    row->templateIndex = chosen;
    const bool popup = chosen >= 0 && m_templates[chosen].isPopup();
    row->popup->setVisible(popup);
    row->text->setVisible(chosen >= 0 && !popup);
    row->popup->clear();
    if (popup)
        for (const DSPredicateValue &value : m_templates[chosen].popupValues)
            row->popup->addItem(m_templates[chosen].format(value));
}

void DSPredicateEditor::showComparison(Row *row, const DSComparisonPredicate &comparison)
{
    row->key->setCurrentText(comparison.leftExpression().fieldName());
    chooseKey(row, row->key->currentText());
    chooseOperator(row, comparison.predicateOperatorType());
    const DSPredicateEditorRowTemplate &t = m_templates[row->templateIndex];
    const DSPredicateValue &value = comparison.rightExpression().constantValue();
    if (t.isPopup())
        row->popup->setCurrentIndex(int(t.popupValues.indexOf(value)));
    else
        row->text->setText(t.format(value));
}

void DSPredicateEditor::setObjectValue(const DSPredicatePtr &predicate)
{
    clear();
    if (!predicate)
        return;
    std::vector<DSPredicatePtr> members;
    if (const DSCompoundPredicate *compound = predicate->asCompound())
        members = compound->subpredicates();
    else
        members.push_back(predicate);
    for (const DSPredicatePtr &member : members) {
        const DSComparisonPredicate *comparison = member->asComparison();
        const bool shown = comparison && std::any_of(m_templates.begin(), m_templates.end(),
                                                     [&](const auto &t) { return t.matches(*comparison); });
        Row *row = insertRow(-1);
        if (shown) {
            // The first template that shows the whole comparison, not just its key.
            for (int i = 0; i < m_templates.size(); ++i)
                if (m_templates[i].matches(*comparison)) {
                    row->key->setCurrentText(m_templates[i].key);
                    chooseKey(row, m_templates[i].key);
                    break;
                }
            showComparison(row, *comparison);
            row->rawText->hide();
        } else {
            row->raw = member;
            for (QWidget *part : {static_cast<QWidget *>(row->key), static_cast<QWidget *>(row->op),
                                  static_cast<QWidget *>(row->popup), static_cast<QWidget *>(row->text)})
                part->hide();
            row->rawText->setText(member->toString());
        }
    }
}

void DSPredicateEditor::addRow(int after)
{
    if (m_templates.isEmpty())
        return;
    Row *row = insertRow(after < 0 ? -1 : after + 1);
    row->rawText->hide();
    chooseKey(row, row->key->currentText());
}

void DSPredicateEditor::removeRow(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    delete m_rows[size_t(row)]->widget;
    m_rows.erase(m_rows.begin() + row);
}

DSPredicatePtr DSPredicateEditor::rowPredicate(const Row &row) const
{
    if (row.raw || row.templateIndex < 0)
        return row.raw;
    const DSPredicateEditorRowTemplate &t = m_templates[row.templateIndex];
    const auto type = DSPredicateOperatorType(row.op->currentData().toInt());
    DSPredicateValue value;
    if (t.isPopup())
        value = t.popupValues.value(row.popup->currentIndex());
    else
        value = t.parse(row.text->text()).value_or(DSPredicateValue::fromString(row.text->text()));
    return DSPredicateEditorRowTemplate::comparison(t.key, type, value);
}

DSPredicatePtr DSPredicateEditor::objectValue() const
{
    std::vector<DSPredicatePtr> members;
    for (const auto &row : m_rows)
        if (DSPredicatePtr member = rowPredicate(*row))
            members.push_back(std::move(member));
    return DSCompoundPredicate::orPredicate(std::move(members));
}

void DSPredicateEditor::setEditable(bool editable)
{
    m_editable = editable;
    for (const auto &row : m_rows)
        row->widget->setEnabled(editable);
}

QString DSPredicateEditor::rowText(int row) const
{
    const Row &r = *m_rows.at(size_t(row));
    if (r.raw || r.templateIndex < 0)
        return r.rawText->text();
    const QString value = m_templates[r.templateIndex].isPopup() ? r.popup->currentText() : r.text->text();
    return r.key->currentText() + QLatin1Char(' ') + r.op->currentText() + QLatin1Char(' ') + value;
}

QStringList DSPredicateEditor::rowKeys(int row) const
{
    QStringList keys;
    const QComboBox *combo = m_rows.at(size_t(row))->key;
    for (int i = 0; i < combo->count(); ++i)
        keys << combo->itemText(i);
    return keys;
}

QStringList DSPredicateEditor::rowPopupValues(int row) const
{
    QStringList values;
    const Row &r = *m_rows.at(size_t(row));
    if (r.templateIndex >= 0 && m_templates[r.templateIndex].isPopup())
        for (int i = 0; i < r.popup->count(); ++i)
            values << r.popup->itemText(i);
    return values;
}
