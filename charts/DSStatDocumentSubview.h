#pragma once

#include "charts/DSPicturePainter.h"

#include "platform/graphics/ds_geometry.h"
#include "platform/graphics/ds_rgba.h"

#include <QByteArray>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class DSGraphicsContext;
class DSPictureOwner;
class DSStyle;
class DSTable;
class QImageWriter;
class QPdfWriter;

// The base of every picture of the document window. A picture owns one
// painter of each class of its list (painterClasses(), made once, in order,
// and kept for the view's life), draws through drawRect(dirty, style,
// screen, context) in y-up view coordinates, and renders itself as PDF, PNG
// or TIFF data. It belongs to a pane controller, its owner (not owned),
// which supplies the style sheet and the document's active table; without
// an owner it draws with no style sheet.
//
// Exports draw a fresh view of the same class, so the on-screen view's
// drawing state (stored transforms, minimum sizes) is never touched: each
// subclass declares Q_OBJECT and a Q_INVOKABLE constructor taking the
// parent, which the fresh copy is made with, and carries over what the
// copy needs in transferAttributesFromView().
//
// The frame may be fractional (a picture of 100.5 by 50 points); the widget
// covers it with whole pixels. Main thread only.
class DSStatDocumentSubview : public QWidget
{
    Q_OBJECT

public:
    using PainterClass = std::function<std::unique_ptr<DSPicturePainter>()>;

    Q_INVOKABLE explicit DSStatDocumentSubview(QWidget *parent = nullptr);
    ~DSStatDocumentSubview() override;

    DSPictureOwner *owner() const;
    void setOwner(DSPictureOwner *owner);
    // The owner's document's active table, or null.
    DSTable *active_table() const;

    // The frame in the parent's coordinates and the bounds (origin 0, 0)
    // in points.
    // A layout that resizes the widget replaces the stored frame with the
    // widget's geometry.
    DSRect frame() const;
    void setFrame(const DSRect &frame);
    DSRect bounds() const;

    // The painters of painterClasses(), made on first use and kept.
    const std::vector<std::unique_ptr<DSPicturePainter>> &painters();

    // The file name (without extension) an export proposes; none here.
    virtual QString suggestedFileName() const;
    // Lets a fresh copy lay itself out for the style before it draws;
    // nothing here.
    virtual void calculateMinimumFrame(DSStyle *style);
    // Takes over what a fresh copy needs of the view it copies: its owner
    // here.
    virtual void transferAttributesFromView(const DSStatDocumentSubview *other);
    // Called on a fresh copy after it is made, as the interface file would;
    // nothing here.
    virtual void awakeFromNib();
    // What the view's bounds are filled with first: white here.
    virtual ds_rgba_s backgroundColor() const;

    // Draws the picture: `dirtyRect` in view coordinates, `screen` true only
    // when drawing into a window. Nothing here.
    virtual void drawRect(const DSRect &dirtyRect, DSStyle *style, bool screen, DSGraphicsContext *context);
    // The drawing entry every path takes (screen, PDF, PNG): drawRect()
    // inside the tutorial's dimming, whose layer is ended however drawRect()
    // returns.
    void drawPicture(const DSRect &dirtyRect, DSStyle *style, bool screen, DSGraphicsContext *context);

    // One-page PDF of the bounds (in points), Creator "Ostrel", Author the
    // user's full name, Title suggestedFileName() when there is one; an
    // empty array when the PDF cannot be made.
    QByteArray PDFData();
    // The same written to the file, titled by the file's name without its
    // extension. The file is replaced only once the PDF is complete. False
    // when it cannot be written (an existing file is then left as it was).
    bool writePDFToURL(const QString &path);
    // Draws one page into the writer (which sets its size) and ends it;
    // false when the writer cannot be painted on.
    bool drawPDFRect(const DSRect &rect, bool withTransparency, QPdfWriter *writer);

    // PNG of twice the bounds' size (each truncated to whole pixels), on
    // white; an empty array on failure.
    QByteArray PNGData();
    // Writes the PNG image to the destination, leaving undrawn pixels
    // transparent when asked to; false when the image was not written.
    bool writePNGToDestination(QImageWriter *destination, bool withTransparency);
    bool writePNGToURL(const QString &path, bool withTransparency);
    // The picture at twice the bounds' size, as the PNG exports draw it.
    QImage renderImage(bool withTransparency);

    // TIFF of the view as it shows itself on screen; empty on failure.
    QByteArray TIFFData();

    // The full name of the logged-in user (their login name when the
    // account has none): the Author of exported PDFs.
    static QString userFullName();

protected:
    // The painters' classes, in the order the view asks them; none here.
    virtual std::vector<PainterClass> painterClasses() const;
    // Whether the document's tutorial is at a step that dims this picture;
    // no here. A dimmed picture is drawn at alpha 0.2 in a transparency
    // layer.
    virtual bool isDimmedByTutorial() const;

    void paintEvent(QPaintEvent *event) override;
    // Closes the owner's filter popover, then the widget's own handling.
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    // A new view of this class, with this frame and owner, laid out for the
    // owner's style; null when the class cannot be made.
    std::unique_ptr<DSStatDocumentSubview> makeFreshCopy() const;
    DSStyle *ownerStyle() const;
    // Lets the fresh copy draw the rectangle of an export page with the
    // owner's style, on white unless transparency is asked for.
    void drawExport(DSStatDocumentSubview &copy, const DSRect &rect, bool withTransparency,
                    DSGraphicsContext *context) const;

    // The owner, and while it is a QObject, a guard that forgets it when it
    // is destroyed.
    DSPictureOwner *m_owner = nullptr;
    QPointer<QObject> m_ownerObject;
    bool m_ownerGuarded = false;
    // Set while TIFFData() caches the view's display: not the screen.
    bool m_caching = false;
    DSRect m_frame;
    std::vector<std::unique_ptr<DSPicturePainter>> m_painters;
    bool m_paintersMade = false;
};
