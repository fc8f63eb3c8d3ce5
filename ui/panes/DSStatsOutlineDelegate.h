#pragma once

#include "ui/window/DSStatDocumentOutlineDelegate.h"

#include <QHash>
#include <QList>
#include <QPoint>

#include <cstdint>
#include <memory>

class DSColumn;
class DSColumnCategory;
class DSColumnSelection;
class DSMiniChartBuilder;
class DSSummaryViewDelegate;
class DSTable;
class QLabel;

// The data source of the summary pane's statistics outline. Its rows are
// the columns of the pane's filtered list, each expandable into the
// non-empty categories of its cached summary; its cell columns are the
// statistics of ds_summary_table_columns(), shown as the table's
// "summary_table_column_mask" says. A cell's statistic is computed when the
// view asks for it (only painted cells are asked) and cached on the column
// by kind of record, so a hidden statistic is never computed.
//
// The "preview" cells show the mini charts (DSMiniChartBuilder), built when
// painted: at once in small tables, a turn of the event loop later in large
// ones, the row then reloaded.
//
// Items hold no category: a category row's index names its column's row,
// and its category is looked up in the column's current summary. Every
// reload resets the model and opens again the columns that were open.
//
// The selection of rows is the table's column selection: a user's selection
// rebuilds it; the pane's own mirroring of it (while the pane refreshes) is
// ignored. Edits, drops and deletions go to the entities and end with a
// refresh of the pane.
//
// Main thread only. The owner (not owned) outlives the data source.
class DSStatsOutlineDelegate : public DSStatDocumentOutlineDelegate
{
public:
    // The platform's codes of how a cell edit ended.
    static constexpr uint32_t k_otherTextMovement = 0;
    static constexpr uint32_t k_returnTextMovement = 16;
    static constexpr uint32_t k_tabTextMovement = 17;
    static constexpr uint32_t k_backtabTextMovement = 18;
    static constexpr uint32_t k_cancelTextMovement = 23;

    static constexpr char k_columnsType[] = "org.quillmoth.ostrel.columns-index";
    static constexpr char k_categoriesType[] = "org.quillmoth.ostrel.categories-index";

    explicit DSStatsOutlineDelegate(DSSummaryViewDelegate *owner);
    ~DSStatsOutlineDelegate() override;

    DSSummaryViewDelegate *summary_delegate() const { return m_owner; }
    DSTable *active_table() const;

    // Shows the model in the outline and follows its selection and
    // collapses.
    void attachOutline(QTreeView *outline);
    // Rebuilds the pane's filtered list, refetches the masks, resets every
    // row, shows the cell columns of the table's mask, opens again the
    // columns that were open and updates the column count label.
    void reloadData();
    // Selects the rows of those listed columns (others skipped), adding to
    // the selection or replacing it.
    void selectColumns(const QList<DSColumn *> &columns, bool extend);
    // Selects what the selection holds: a column's category rows when it
    // has selected categories (opening the column), else its row.
    void selectRowsOfSelection(const DSColumnSelection *selection);
    // The search field's action: the table's search text, a pane refresh,
    // then the active column scrolled to when it is still listed.
    void updateFilter(const QString &text);
    // The outline row of the column, or -1 when it is not listed (or was
    // listed elsewhere at the last reload).
    int rowOfColumn(const DSColumn *column) const;
    // The item of the column's row (invalid when not listed), and of the
    // category's row under it (invalid outside the column's summary).
    QModelIndex itemOfColumn(const DSColumn *column) const;
    QModelIndex itemOfCategory(const DSColumn *column, qint64 nonemptyIndex) const;

    // Rows. The column of a row (the category's column for a category row),
    // null when the column listed there at the last reload is no longer at
    // its table index; the category of a category row (null for a column
    // row).
    DSColumn *columnOfItem(const QModelIndex &item) const;
    std::shared_ptr<DSColumnCategory> categoryOfItem(const QModelIndex &item) const;
    // Whether a column row opens: an indicator column always, a time column
    // never, any other when treated as categories.
    static bool isColumnExpandable(const DSColumn *column);

    // Statistics. Fills the caches the identifier needs (only when empty),
    // under the row mask, then the summary of an indicator column or one
    // treated as categories when it has none.
    void refreshSummaryForColumn(DSColumn *column, const QString &identifier);
    // The mini charts of the "preview" cells, drawn under the masks below
    // with the pane's preview style.
    DSMiniChartBuilder *chart_builder() const { return m_charts.get(); }
    // Refetches the row mask and the zoom mask snapshots from the document.
    void refreshMasks();
    // The masks, refetched first when they went stale (see
    // refreshStaleMasks()).
    const uint8_t *temp_include_mask() const;
    qint64 temp_include_mask_len() const;
    const uint8_t *temp_zoom_mask() const;
    qint64 temp_zoom_mask_len() const;

    // The value of a statistic cell by column kind, read from the caches
    // (which the caller filled); invalid for none.
    static QVariant valueForNumericOrIndicatorColumn(DSColumn *column, const QString &identifier);
    static QVariant valueForTimeColumn(DSColumn *column, const QString &identifier);
    static QVariant valueForCategoryColumn(DSColumn *column, const QString &identifier);
    // The value of a category row's cell (the column's summary is made
    // first when absent).
    QVariant valueForCategory(const std::shared_ptr<DSColumnCategory> &category, const QString &identifier);
    // "✓" when first is given and has second's index, else "".
    static QString checkIfCategory(const DSColumnCategory *first, const DSColumnCategory *second);

    // Hooks of the base.
    QString columnIdentifier(int section) const override;
    QVariant valueForItem(const QModelIndex &item, const QString &identifier) const override;
    QVariant placeholderValueForItem(const QModelIndex &item, const QString &identifier) const override;
    QColor textColorForItem(const QModelIndex &item, const QString &identifier, DSStyle *style) const override;
    QColor backgroundColorForItem(const QModelIndex &item, const QString &identifier, DSStyle *style) const override;
    bool shouldBoldfaceItem(const QModelIndex &item, const QString &identifier) const override;
    bool shouldItalicizeItem(const QModelIndex &item, const QString &identifier) const override;
    // Two for the deviations: a standard error of 0.012 never reads as a
    // bare 0 under a formatter of one fraction digit.
    int minimumSignificantDigits(const QModelIndex &item, const QString &identifier) const override;
    const DSPlatformNumberFormatter *numberFormatterForItem(const QModelIndex &item, const QString &identifier,
                                                            DSStyle *style) const override;
    std::shared_ptr<DSPlatformDateFormatter> dateFormatterForItem(const QModelIndex &item, const QString &identifier,
                                                                  DSStyle *style) const override;
    bool shouldParenthesizeNumber(double value, const QModelIndex &item, const QString &identifier) const override;

    // Editing: which cells take an edit (none while the tutorial runs), and
    // what an edit does.
    bool shouldEditItem(const QModelIndex &item, const QString &identifier) const;
    // Deletes the columns of the selected column rows (category rows are
    // ignored), then selects the next listed column when one was deleted.
    // While the tutorial runs it only beeps.
    void deleteSelectedColumns();

    bool is_dragging() const { return m_isDragging; }
    void setIs_dragging(bool dragging) { m_isDragging = dragging; }
    uint32_t text_movement() const { return m_textMovement; }
    void setText_movement(uint32_t movement) { m_textMovement = movement; }
    QLabel *number_of_columns_label() const;
    // Where the pointer of a drag over the outline is (viewport
    // coordinates), for placing a drop onto a row.
    void setDropPoint(QPoint point) { m_dropPoint = point; }

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    bool hasChildren(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Drag and drop within the outline: all column rows write their indexes
    // ("3-5-7"), the category rows of one reorderable column write
    // "column:category" pairs; a mix writes nothing.
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    Qt::DropActions supportedDragActions() const override;
    Qt::DropActions supportedDropActions() const override;
    // Columns drop between column rows; categories between the rows of
    // their own column. A drop onto a row is first placed before or after
    // it. Positions are listed positions (the list may be narrowed by the
    // search).
    bool canDropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                         const QModelIndex &parent) const override;
    bool dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                      const QModelIndex &parent) override;

private:
    bool tutorialRuns() const;
    // Refetches the masks when the document has built its mask again, or the
    // table's row count has changed, since they were fetched: the document
    // then frees (or is about to free) the buffer they point into, so every
    // reader of the masks calls this first.
    void refreshStaleMasks() const;
    struct Drop
    {
        int row;
        QModelIndex parent;
    };
    // A drop onto a row placed between rows; between rows unchanged.
    Drop placeDrop(int row, const QModelIndex &parent) const;
    // The table position of the listed position: the table's column count
    // at (or past) the end of the list.
    qint64 tablePositionOfListedPosition(int position) const;
    void dropColumns(const QString &text, int position);
    void dropCategories(const QString &text, DSColumn *column, int position);
    void selectionDidChange();
    void itemWillCollapse(const QModelIndex &item);
    void showColumnsOfMask();
    // The highlight colour key of a column row while active is the table's
    // active column: the column's role among active's inputs; none for no
    // role (and for a recode's input that is open while a category is
    // chosen).
    QString highlightKeyForColumn(DSColumn *active, const DSColumn *column, bool expanded) const;
    // The tint of an input category that the active recode column maps onto
    // its chosen category: that category's hue, saturation 0.86, lightness
    // 0.7; none otherwise.
    QColor recodedCategoryTint(DSColumn *active, const DSColumnCategory *category) const;
    // The column's row draws its chart again (a deferred build ended).
    void reloadPreview(DSColumn *column);
    void setColumnValue(DSColumn *column, const QString &identifier, const QString &text);
    void setCategoryLabel(DSColumn *column, const std::shared_ptr<DSColumnCategory> &category, const QString &text);
    // Starts editing the identifier's cell of the column's row, or of the
    // category at nonemptyIndex under it, once the current edit has ended.
    void editLater(DSColumn *column, qint64 nonemptyIndex, const QString &identifier);
    // The column's summary, made under the row mask when absent.
    std::shared_ptr<class DSColumnSummary> summaryOfColumn(DSColumn *column) const;
    // The column's own number formatter with the fraction digits of the
    // style's formatter under key (none: as it is), kept until the reload.
    const DSPlatformNumberFormatter *columnFormatter(DSColumn *column, const QString &key, DSStyle *style) const;

    DSSummaryViewDelegate *m_owner;
    DSRowMaskRef m_includeMask;
    DSRowMaskRef m_zoomMask;
    // The column of each row at the last reload: the pane's list holds
    // table indexes, which name other columns once a column is deleted or
    // moved before the next reload. Compared, never followed.
    QList<const DSColumn *> m_listedColumns;
    bool m_isDragging = false;
    uint32_t m_textMovement = k_otherTextMovement;
    QPoint m_dropPoint;
    std::unique_ptr<DSMiniChartBuilder> m_charts;
    mutable QHash<QString, std::shared_ptr<DSPlatformNumberFormatter>> m_formatters;
};
