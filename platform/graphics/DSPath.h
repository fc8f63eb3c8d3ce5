#pragma once

#include "platform/graphics/ds_geometry.h"

#include <vector>

class QPainterPath;

enum class DSFillRule { NonZero, EvenOdd };

// One element of a path: a move, a line or a cubic curve (arcs, ellipses and
// quadratic curves are turned into cubic curves as they are added), or the
// closing of the subpath.
struct DSPathElement
{
    enum Type { MoveTo, LineTo, CurveTo, Close };
    Type type;
    // MoveTo and LineTo use points[0]; CurveTo two control points and its
    // end point.
    DSPoint points[3];
};

// A path of subpaths in a y-up space. Value type.
class DSPath
{
public:
    bool isEmpty() const { return m_elements.empty(); }
    const std::vector<DSPathElement> &elements() const { return m_elements; }
    // The end of the last element; (0, 0) for an empty path.
    DSPoint currentPoint() const { return m_current; }

    void moveTo(DSPoint p);
    // A line from the current point (a move when the path is empty).
    void lineTo(DSPoint p);
    void curveTo(DSPoint c1, DSPoint c2, DSPoint end);
    void quadCurveTo(DSPoint control, DSPoint end);
    void closeSubpath();
    // A closed subpath: (minX, minY), (maxX, minY), (maxX, maxY), (minX, maxY).
    void addRect(const DSRect &r);
    // A closed subpath of four curves, counter-clockwise from (maxX, midY).
    void addEllipseInRect(const DSRect &r);
    // An arc of the circle at `center` from `startAngle` to `endAngle`
    // (radians from the x axis, counter-clockwise in y-up space), drawn
    // clockwise when `clockwise`; joined to the current point by a line.
    void addArc(DSPoint center, double radius, double startAngle, double endAngle, bool clockwise);
    // Lines through the points, starting with a move.
    void addLines(const std::vector<DSPoint> &points);
    void addPath(const DSPath &other);

    // Every point mapped through t.
    DSPath transformed(const DSAffineTransform &t) const;
    // The box of every end and control point; null for an empty path.
    DSRect boundingBox() const;
    // The points of the path with curves flattened into segments at most
    // `tolerance` from the curve; one list per subpath.
    std::vector<std::vector<DSPoint>> polygons(double tolerance = 0.1) const;

    QPainterPath toQPainterPath(DSFillRule rule = DSFillRule::NonZero) const;

    bool operator==(const DSPath &other) const;

private:
    std::vector<DSPathElement> m_elements;
    DSPoint m_current;
    DSPoint m_subpathStart;
};
