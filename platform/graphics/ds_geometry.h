#pragma once

#include <cmath>
#include <limits>

// Points, sizes, rectangles and affine transforms of the drawing context, in
// a y-up space. Plain records with inline functions; no Qt.

struct DSPoint
{
    double x = 0;
    double y = 0;
    bool operator==(const DSPoint &) const = default;
};

struct DSSize
{
    double width = 0;
    double height = 0;
    bool operator==(const DSSize &) const = default;
};

// A rectangle by its origin (the corner of least x and y once standardized)
// and its size. The null rectangle (infinite origin) stands for "no
// rectangle": the rectangle of no text, the intersection of disjoint ones.
struct DSRect
{
    DSPoint origin;
    DSSize size;

    static DSRect null()
    {
        const double inf = std::numeric_limits<double>::infinity();
        return {{inf, inf}, {0, 0}};
    }
    // The rectangle that clips nothing.
    static DSRect infinite()
    {
        const double big = std::numeric_limits<double>::max() / 4;
        return {{-big, -big}, {2 * big, 2 * big}};
    }
    bool isNull() const { return std::isinf(origin.x) || std::isinf(origin.y); }
    bool isEmpty() const { return isNull() || size.width == 0 || size.height == 0; }

    double width() const { return std::fabs(size.width); }
    double height() const { return std::fabs(size.height); }
    double minX() const { return size.width < 0 ? origin.x + size.width : origin.x; }
    double minY() const { return size.height < 0 ? origin.y + size.height : origin.y; }
    double maxX() const { return minX() + width(); }
    double maxY() const { return minY() + height(); }
    double midX() const { return minX() + width() / 2; }
    double midY() const { return minY() + height() / 2; }

    DSRect standardized() const { return {{minX(), minY()}, {width(), height()}}; }
    DSRect insetBy(double dx, double dy) const
    {
        const DSRect r = standardized();
        return {{r.origin.x + dx, r.origin.y + dy}, {r.size.width - 2 * dx, r.size.height - 2 * dy}};
    }
    bool contains(DSPoint p) const { return p.x >= minX() && p.x <= maxX() && p.y >= minY() && p.y <= maxY(); }

    bool operator==(const DSRect &) const = default;
};

inline DSRect ds_rect_make(double x, double y, double width, double height)
{
    return {{x, y}, {width, height}};
}

// The common part of two rectangles; the null rectangle when they do not
// meet. The null rectangle meets nothing.
inline DSRect ds_rect_intersection(const DSRect &a, const DSRect &b)
{
    if (a.isNull() || b.isNull())
        return DSRect::null();
    const double x0 = std::fmax(a.minX(), b.minX()), y0 = std::fmax(a.minY(), b.minY());
    const double x1 = std::fmin(a.maxX(), b.maxX()), y1 = std::fmin(a.maxY(), b.maxY());
    if (x1 < x0 || y1 < y0)
        return DSRect::null();
    return ds_rect_make(x0, y0, x1 - x0, y1 - y0);
}

// The smallest rectangle holding both; the other one when one is null.
inline DSRect ds_rect_union(const DSRect &a, const DSRect &b)
{
    if (a.isNull())
        return b;
    if (b.isNull())
        return a;
    const double x0 = std::fmin(a.minX(), b.minX()), y0 = std::fmin(a.minY(), b.minY());
    const double x1 = std::fmax(a.maxX(), b.maxX()), y1 = std::fmax(a.maxY(), b.maxY());
    return ds_rect_make(x0, y0, x1 - x0, y1 - y0);
}

// x' = a·x + c·y + tx, y' = b·x + d·y + ty.
struct DSAffineTransform
{
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

    bool isIdentity() const { return a == 1 && b == 0 && c == 0 && d == 1 && tx == 0 && ty == 0; }
    bool operator==(const DSAffineTransform &) const = default;
};

inline DSAffineTransform ds_affine_identity()
{
    return {};
}

// t1 followed by t2.
inline DSAffineTransform ds_affine_concat(const DSAffineTransform &t1, const DSAffineTransform &t2)
{
    return {t1.a * t2.a + t1.b * t2.c,
            t1.a * t2.b + t1.b * t2.d,
            t1.c * t2.a + t1.d * t2.c,
            t1.c * t2.b + t1.d * t2.d,
            t1.tx * t2.a + t1.ty * t2.c + t2.tx,
            t1.tx * t2.b + t1.ty * t2.d + t2.ty};
}

// A translation by (x, y) followed by t.
inline DSAffineTransform ds_affine_translate(const DSAffineTransform &t, double x, double y)
{
    return ds_affine_concat({1, 0, 0, 1, x, y}, t);
}

// A scaling by (sx, sy) followed by t.
inline DSAffineTransform ds_affine_scale(const DSAffineTransform &t, double sx, double sy)
{
    return ds_affine_concat({sx, 0, 0, sy, 0, 0}, t);
}

// A rotation by `angle` radians (counter-clockwise in y-up space) followed by t.
inline DSAffineTransform ds_affine_rotate(const DSAffineTransform &t, double angle)
{
    const double c = std::cos(angle), s = std::sin(angle);
    return ds_affine_concat({c, s, -s, c, 0, 0}, t);
}

// The inverse transform; t itself when it cannot be inverted.
inline DSAffineTransform ds_affine_invert(const DSAffineTransform &t)
{
    const double det = t.a * t.d - t.b * t.c;
    if (det == 0 || !std::isfinite(det))
        return t;
    return {t.d / det,
            -t.b / det,
            -t.c / det,
            t.a / det,
            (t.c * t.ty - t.d * t.tx) / det,
            (t.b * t.tx - t.a * t.ty) / det};
}

inline DSPoint ds_point_apply(const DSPoint &p, const DSAffineTransform &t)
{
    return {t.a * p.x + t.c * p.y + t.tx, t.b * p.x + t.d * p.y + t.ty};
}

// The bounding box of the transformed rectangle.
inline DSRect ds_rect_apply(const DSRect &r, const DSAffineTransform &t)
{
    if (r.isNull())
        return r;
    const DSPoint p[4] = {ds_point_apply({r.minX(), r.minY()}, t), ds_point_apply({r.maxX(), r.minY()}, t),
                          ds_point_apply({r.minX(), r.maxY()}, t), ds_point_apply({r.maxX(), r.maxY()}, t)};
    double x0 = p[0].x, x1 = p[0].x, y0 = p[0].y, y1 = p[0].y;
    for (const DSPoint &q : p) {
        x0 = std::fmin(x0, q.x);
        x1 = std::fmax(x1, q.x);
        y0 = std::fmin(y0, q.y);
        y1 = std::fmax(y1, q.y);
    }
    return ds_rect_make(x0, y0, x1 - x0, y1 - y0);
}
