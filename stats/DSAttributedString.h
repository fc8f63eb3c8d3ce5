#pragma once

#include <QList>
#include <QString>

// The attributes of one run of sentence text: the system font at the
// regular control size, upright or italic. The panes turn them into fonts
// where they draw.
struct DSTextAttributes
{
    bool italic = false;

    bool operator==(const DSTextAttributes &) const = default;
};

// Text made of runs, each with its attributes, as the bottom-line sentence
// is built (column names italic, the rest standard).
class DSAttributedString
{
public:
    struct Run
    {
        QString text;
        DSTextAttributes attributes;

        bool operator==(const Run &) const = default;
    };

    // Appends text in those attributes; a run continues the last one when
    // their attributes agree. Empty text adds nothing.
    void append(const QString &text, DSTextAttributes attributes);
    void append(const DSAttributedString &other);

    const QList<Run> &runs() const { return m_runs; }
    // The plain text of every run in order.
    QString string() const;
    bool isEmpty() const { return m_runs.isEmpty(); }
    // The text with italic runs between asterisks, for logs and tests.
    QString markedString() const;

private:
    QList<Run> m_runs;
};
