#include "platform/graphics/DSPath.h"

#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace {

// Control-point distance of a cubic that follows a quarter circle of radius 1.
double arcHandle(double sweep)
{
    return 4.0 / 3.0 * std::tan(sweep / 4);
}

DSPoint lerp(DSPoint a, DSPoint b, double t)
{
    return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
}

} // namespace

void DSPath::moveTo(DSPoint p)
{
    m_elements.push_back({DSPathElement::MoveTo, {p, {}, {}}});
    m_current = m_subpathStart = p;
}

void DSPath::lineTo(DSPoint p)
{
    if (m_elements.empty()) {
        moveTo(p);
        return;
    }
    m_elements.push_back({DSPathElement::LineTo, {p, {}, {}}});
    m_current = p;
}

void DSPath::curveTo(DSPoint c1, DSPoint c2, DSPoint end)
{
    if (m_elements.empty())
        moveTo(c1);
    m_elements.push_back({DSPathElement::CurveTo, {c1, c2, end}});
    m_current = end;
}

void DSPath::quadCurveTo(DSPoint control, DSPoint end)
{
    const DSPoint start = m_current;
    curveTo(lerp(start, control, 2.0 / 3), lerp(end, control, 2.0 / 3), end);
}

void DSPath::closeSubpath()
{
    if (m_elements.empty() || m_elements.back().type == DSPathElement::Close)
        return;
    m_elements.push_back({DSPathElement::Close, {}});
    m_current = m_subpathStart;
}

void DSPath::addRect(const DSRect &r)
{
    moveTo({r.minX(), r.minY()});
    lineTo({r.maxX(), r.minY()});
    lineTo({r.maxX(), r.maxY()});
    lineTo({r.minX(), r.maxY()});
    closeSubpath();
}

void DSPath::addEllipseInRect(const DSRect &r)
{
    const double cx = r.midX(), cy = r.midY(), rx = r.width() / 2, ry = r.height() / 2;
    const double k = arcHandle(M_PI / 2);
    moveTo({cx + rx, cy});
    curveTo({cx + rx, cy + k * ry}, {cx + k * rx, cy + ry}, {cx, cy + ry});
    curveTo({cx - k * rx, cy + ry}, {cx - rx, cy + k * ry}, {cx - rx, cy});
    curveTo({cx - rx, cy - k * ry}, {cx - k * rx, cy - ry}, {cx, cy - ry});
    curveTo({cx + k * rx, cy - ry}, {cx + rx, cy - k * ry}, {cx + rx, cy});
    closeSubpath();
}

void DSPath::addArc(DSPoint center, double radius, double startAngle, double endAngle, bool clockwise)
{
    double sweep = endAngle - startAngle;
    // A clockwise arc runs through decreasing angles, a counter-clockwise
    // one through increasing angles; whole turns beyond one are dropped.
    if (clockwise) {
        sweep = std::fmod(sweep, 2 * M_PI);
        if (sweep > 0)
            sweep -= 2 * M_PI;
    } else {
        sweep = std::fmod(sweep, 2 * M_PI);
        if (sweep < 0)
            sweep += 2 * M_PI;
    }
    if (sweep == 0 && endAngle != startAngle)
        sweep = clockwise ? -2 * M_PI : 2 * M_PI;
    const DSPoint start{center.x + radius * std::cos(startAngle), center.y + radius * std::sin(startAngle)};
    if (m_elements.empty())
        moveTo(start);
    else
        lineTo(start);
    const int pieces = std::max(1, int(std::ceil(std::fabs(sweep) / (M_PI / 2) - 1e-9)));
    const double step = sweep / pieces;
    const double k = arcHandle(step);
    double angle = startAngle;
    for (int i = 0; i < pieces; ++i) {
        const double next = angle + step;
        const double c0 = std::cos(angle), s0 = std::sin(angle), c1 = std::cos(next), s1 = std::sin(next);
        curveTo({center.x + radius * (c0 - k * s0), center.y + radius * (s0 + k * c0)},
                {center.x + radius * (c1 + k * s1), center.y + radius * (s1 - k * c1)},
                {center.x + radius * c1, center.y + radius * s1});
        angle = next;
    }
}

void DSPath::addLines(const std::vector<DSPoint> &points)
{
    for (size_t i = 0; i < points.size(); ++i) {
        if (i == 0)
            moveTo(points[i]);
        else
            lineTo(points[i]);
    }
}

void DSPath::addPath(const DSPath &other)
{
    m_elements.insert(m_elements.end(), other.m_elements.begin(), other.m_elements.end());
    if (!other.isEmpty()) {
        m_current = other.m_current;
        m_subpathStart = other.m_subpathStart;
    }
}

DSPath DSPath::transformed(const DSAffineTransform &t) const
{
    DSPath out = *this;
    for (DSPathElement &e : out.m_elements) {
        for (DSPoint &p : e.points)
            p = ds_point_apply(p, t);
    }
    out.m_current = ds_point_apply(m_current, t);
    out.m_subpathStart = ds_point_apply(m_subpathStart, t);
    return out;
}

DSRect DSPath::boundingBox() const
{
    DSRect box = DSRect::null();
    for (const DSPathElement &e : m_elements) {
        const int n = e.type == DSPathElement::CurveTo ? 3 : e.type == DSPathElement::Close ? 0 : 1;
        for (int i = 0; i < n; ++i)
            box = ds_rect_union(box, ds_rect_make(e.points[i].x, e.points[i].y, 0, 0));
    }
    return box;
}

std::vector<std::vector<DSPoint>> DSPath::polygons(double tolerance) const
{
    std::vector<std::vector<DSPoint>> out;
    DSPoint current;
    bool closed = false;
    for (const DSPathElement &e : m_elements) {
        // Drawing on after a close starts a new subpath where the last ended.
        if (closed && (e.type == DSPathElement::LineTo || e.type == DSPathElement::CurveTo))
            out.push_back({current});
        closed = e.type == DSPathElement::Close;
        switch (e.type) {
        case DSPathElement::MoveTo:
            out.push_back({e.points[0]});
            current = e.points[0];
            break;
        case DSPathElement::LineTo:
            out.back().push_back(e.points[0]);
            current = e.points[0];
            break;
        case DSPathElement::CurveTo: {
            const double length = std::hypot(e.points[0].x - current.x, e.points[0].y - current.y)
                                  + std::hypot(e.points[1].x - e.points[0].x, e.points[1].y - e.points[0].y)
                                  + std::hypot(e.points[2].x - e.points[1].x, e.points[2].y - e.points[1].y);
            const int n = std::clamp(int(std::ceil(std::sqrt(length / tolerance))), 1, 1000);
            for (int i = 1; i <= n; ++i) {
                const double t = double(i) / n, u = 1 - t;
                out.back().push_back({u * u * u * current.x + 3 * u * u * t * e.points[0].x
                                          + 3 * u * t * t * e.points[1].x + t * t * t * e.points[2].x,
                                      u * u * u * current.y + 3 * u * u * t * e.points[0].y
                                          + 3 * u * t * t * e.points[1].y + t * t * t * e.points[2].y});
            }
            current = e.points[2];
            break;
        }
        case DSPathElement::Close:
            if (!out.empty() && !out.back().empty()) {
                current = out.back().front();
                out.back().push_back(current);
            }
            break;
        }
    }
    return out;
}

QPainterPath DSPath::toQPainterPath(DSFillRule rule) const
{
    QPainterPath path;
    path.setFillRule(rule == DSFillRule::EvenOdd ? Qt::OddEvenFill : Qt::WindingFill);
    for (const DSPathElement &e : m_elements) {
        switch (e.type) {
        case DSPathElement::MoveTo:
            path.moveTo(e.points[0].x, e.points[0].y);
            break;
        case DSPathElement::LineTo:
            path.lineTo(e.points[0].x, e.points[0].y);
            break;
        case DSPathElement::CurveTo:
            path.cubicTo(e.points[0].x, e.points[0].y, e.points[1].x, e.points[1].y, e.points[2].x, e.points[2].y);
            break;
        case DSPathElement::Close:
            path.closeSubpath();
            break;
        }
    }
    return path;
}

bool DSPath::operator==(const DSPath &other) const
{
    if (m_elements.size() != other.m_elements.size())
        return false;
    for (size_t i = 0; i < m_elements.size(); ++i) {
        const DSPathElement &a = m_elements[i], &b = other.m_elements[i];
        if (a.type != b.type)
            return false;
        for (int k = 0; k < 3; ++k) {
            if (!(a.points[k] == b.points[k]))
                return false;
        }
    }
    return true;
}
