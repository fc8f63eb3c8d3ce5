#pragma once

#include <QAbstractItemModel>
#include <QColor>
#include <QPointer>
#include <QTreeView>

#include <memory>

class DSPlatformDateFormatter;
class DSPlatformNumberFormatter;
class DSStatDocumentViewDelegate;
class DSStyle;

// The base of the panes' outline data sources. A subclass answers small
// questions per cell (value, colour, fonts, parentheses, formatters), naming
// the cell by its item (the index of the row's first cell) and its column
// identifier; the base turns the answers into the roles a view paints
// (display text, foreground, background, font, decoration) and writes the
// dragged items' indexes to the pasteboard.
//
// Values a subclass hands over: a double (formatted), a DSDate (through the
// date formatter), a DSRange (a pair), a QString, a QImage (the cell's
// decoration), or an invalid QVariant (the placeholder is shown).
//
// Main thread only. The owner (the pane controller) and the view are not
// owned; the owner outlives the data source.
class DSStatDocumentOutlineDelegate : public QAbstractItemModel
{
public:
    explicit DSStatDocumentOutlineDelegate(DSStatDocumentViewDelegate *owner);
    ~DSStatDocumentOutlineDelegate() override;

    DSStatDocumentViewDelegate *owner() const { return m_owner; }
    QTreeView *table() const { return m_table; }
    void setTable(QTreeView *table) { m_table = table; }

    // The identifier of a cell column, by the view's logical section.
    virtual QString columnIdentifier(int section) const = 0;
    // The section of an identifier, or -1.
    int sectionOfIdentifier(const QString &identifier) const;

    // Hooks; item is the index of the row's first cell.
    virtual QVariant valueForItem(const QModelIndex &item, const QString &identifier) const;
    virtual QVariant placeholderValueForItem(const QModelIndex &item, const QString &identifier) const;
    virtual QColor textColorForItem(const QModelIndex &item, const QString &identifier, DSStyle *style) const;
    // An invalid colour draws no background.
    virtual QColor backgroundColorForItem(const QModelIndex &item, const QString &identifier, DSStyle *style) const;
    virtual bool shouldBoldfaceItem(const QModelIndex &item, const QString &identifier) const;
    virtual bool shouldItalicizeItem(const QModelIndex &item, const QString &identifier) const;
    virtual bool isItemEnabled(const QModelIndex &item, const QString &identifier) const;
    // The formatter belongs to the document, the style or the subclass and
    // stays valid at least until the next reset of the model.
    virtual const DSPlatformNumberFormatter *numberFormatterForItem(const QModelIndex &item, const QString &identifier,
                                                                    DSStyle *style) const;
    virtual std::shared_ptr<DSPlatformDateFormatter> dateFormatterForItem(const QModelIndex &item,
                                                                          const QString &identifier,
                                                                          DSStyle *style) const;
    virtual bool shouldFormatNumber(const QModelIndex &item, const QString &identifier) const;
    // The fewest significant digits a non-zero number of the cell shows,
    // whatever its formatter's fraction digits (0: as the formatter writes it).
    virtual int minimumSignificantDigits(const QModelIndex &item, const QString &identifier) const;
    virtual bool shouldParenthesizeNumber(double value, const QModelIndex &item, const QString &identifier) const;
    virtual bool shouldParenthesizeString(const QString &value, const QModelIndex &item,
                                          const QString &identifier) const;
    // "" for NaN; else the number through the item's formatter, in
    // parentheses when asked.
    virtual QString formatNumber(double value, const QModelIndex &item, const QString &identifier,
                                 DSStyle *style) const;
    virtual bool shouldWriteItemToPasteboard(const QModelIndex &item) const;
    // The item's index as written to the pasteboard; -1 for none.
    virtual qint64 indexOfItem(const QModelIndex &item) const;
    // The one type a subclass writes; none here.
    virtual QString pasteboardItemType() const;

    // The cell's value as shown: text for values, the value itself for
    // anything else (an image), the placeholder for none.
    QVariant objectValue(const QModelIndex &cell) const;

    QVariant data(const QModelIndex &index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QStringList mimeTypes() const override;
    // The items of the cells' rows, each once in row order, written as one
    // string of their indexes joined by "-"; null when one may not be
    // written or has no index.
    QMimeData *mimeData(const QModelIndexList &indexes) const override;

protected:
    // The item of a cell: the first cell of its row.
    QModelIndex itemOfCell(const QModelIndex &cell) const { return cell.siblingAtColumn(0); }
    // The rows' items of the cells, each once, in the order of the view.
    QModelIndexList itemsOfCells(const QModelIndexList &cells) const;
    // The owner's style (may be null without an owner).
    DSStyle *style() const;

private:
    QString textOfNumber(double value, const QModelIndex &item, const QString &identifier) const;

    DSStatDocumentViewDelegate *m_owner;
    QPointer<QTreeView> m_table;
};
