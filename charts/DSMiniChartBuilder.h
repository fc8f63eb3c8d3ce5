#pragma once

#include "model/DSRowMask.h"

#include <QObject>
#include <QPointer>
#include <QSet>

#include <cstdint>
#include <functional>
#include <memory>

class DSBitmapContext;
class DSColumn;
class DSColumnCategory;
class DSColumnSummary;
class DSStyle;
class DSTable;
class QImage;

// What the charts are drawn under: the table whose rows the masks select
// (compared only), the outline's row mask and zoom mask snapshots (null:
// every row) and the pane's preview style sheet (borrowed for one build).
struct DSMiniChartInputs
{
    const DSTable *table = nullptr;
    DSRowMaskRef include_mask;
    DSRowMaskRef zoom_mask;
    DSStyle *style = nullptr;
};

// The mini charts of a column list: the small picture of each column's
// distribution (a count of distinct texts, a histogram, a timeline, a
// survival curve, a proportion bar), and of each category row, 64 x 17
// points drawn at twice that in pixels. Charts are cached on the columns
// (temp_image, with last_image shown until a new one exists) and made on
// demand by the list's cells: at once for tables of up to 100,000 rows,
// else one per turn of the event loop, so a large table's list shows at
// once and its charts fill in one by one.
//
// Every chart is drawn into one bitmap the builder owns; each build runs to
// its end before the next starts. Charts whose painter the application does
// not have yet (histogram, survival curve, timeline, proportion bar) stay
// the white canvas.
//
// Main thread only. Deferred builds run on the main event loop; one that
// finds the builder, its column's document or the column gone, or the inputs
// moved on to another table, does nothing.
class DSMiniChartBuilder : public QObject
{
public:
    using Image = std::shared_ptr<const QImage>;
    // Answers the inputs at the moment a chart is built.
    using InputsSource = std::function<DSMiniChartInputs()>;

    static constexpr int preview_image_width = 128;
    static constexpr int preview_image_height = 34;
    // The largest table whose charts are built while its cells are drawn.
    static constexpr qint64 largest_immediate_table = 100000;

    explicit DSMiniChartBuilder(InputsSource inputs, QObject *parent = nullptr);
    ~DSMiniChartBuilder() override;

    // Makes sure the column has a chart: nothing when it has a temp_image;
    // built now when its table has at most 100,000 rows; else built at a
    // later turn of the event loop, after which, when a chart was made and
    // target still lives, reload runs (the list reloads the column's row).
    // A column has at most one build waiting; it is dropped when by then the
    // inputs are another table's (their masks would not fit the column).
    void refreshImageForColumn(DSColumn *column, QObject *target, std::function<void()> reload);

    // One build: the chart goes into the column's temp_image (none
    // included); when one was made and the target lives, the callback runs.
    struct Request
    {
        DSColumn *column = nullptr;
        QPointer<QObject> target;
        std::function<void()> callback;
    };
    void updateImage(const Request &request);

    // The charts of each kind, drawn under the current inputs' masks with
    // the given style sheet; null where the kind has no chart.
    Image imageForNumericColumn(DSColumn *column, DSStyle *style);
    Image imageForTextColumn(DSColumn *column, DSStyle *style);
    Image imageForTimeColumn(DSColumn *column, DSStyle *style);
    // The proportion bar of a categorical column (focus null) or of one of
    // its categories.
    Image imageForSummary(const DSColumnSummary *summary, const DSColumnCategory *focus, DSStyle *style);

    // Whether a deferred build of the column is waiting.
    bool isPending(const DSColumn *column) const { return m_pending.contains(column); }
    qsizetype pendingCount() const { return m_pending.size(); }

private:
    // Whether the inputs are now those of the table.
    bool inputsAreFor(const DSTable *table) const;
    // The chart of the column's kind, as updateImage stores it.
    Image buildImage(DSColumn *column);
    // Clears the bitmap to transparent and fills the chart's white band.
    void beginCanvas();
    // The bitmap as a 64 x 17-point image.
    Image finishCanvas() const;

    InputsSource m_inputs;
    std::unique_ptr<DSBitmapContext> m_canvas;
    QSet<const DSColumn *> m_pending;
};
