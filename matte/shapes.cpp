#include "matte/shapes.h"

#include <cmath>
#include <numbers>

namespace {

struct Point {
    double x, y;
};

/// Which side of the line from a to b the point p lies: positive on the left.
double side(Point a, Point b, Point p)
{
    return (b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x);
}

/// In a convex polygon listed anticlockwise, the outline included.
template <std::size_t N>
bool inConvex(const std::array<Point, N> &corners, Point p)
{
    for (std::size_t i = 0; i < N; ++i)
        if (side(corners[i], corners[(i + 1) % N], p) < 0)
            return false;
    return true;
}

bool inDisc(Point centre, double radius, Point p)
{
    const double dx = p.x - centre.x, dy = p.y - centre.y;
    return dx * dx + dy * dy <= radius * radius;
}

// The heart: two lobes, discs touching the top and the sides, and the lines from the
// bottom point that meet each lobe at a tangent.
constexpr double LobeRadius = 0.52;
constexpr Point RightLobe{1 - LobeRadius, 1 - LobeRadius};
constexpr Point HeartTip{0, -1};

/// Where the line from the tip touches the right lobe on its outer side.
Point rightTangent()
{
    const double dx = RightLobe.x - HeartTip.x, dy = RightLobe.y - HeartTip.y;
    const double d = std::hypot(dx, dy);
    const double towardsLobe = std::atan2(dy, dx) - std::asin(LobeRadius / d);
    const double length = std::sqrt(d * d - LobeRadius * LobeRadius);
    return {HeartTip.x + length * std::cos(towardsLobe), HeartTip.y + length * std::sin(towardsLobe)};
}

bool inHeart(Point p)
{
    static const Point t = rightTangent();
    const Point leftLobe{-RightLobe.x, RightLobe.y};
    const std::array<Point, 5> body{{HeartTip, t, RightLobe, leftLobe, {-t.x, t.y}}};
    return inDisc(RightLobe, LobeRadius, p) || inDisc(leftLobe, LobeRadius, p) || inConvex(body, p);
}

// The star: five outer points on the unit circle, the first straight up, and five inner
// corners halfway in; stretched so its points touch all four sides of the square.
constexpr double StarInner = 0.5;

bool inStar(Point p)
{
    using std::numbers::pi;
    const double halfWidth = std::cos(pi / 10);            // the side points
    const double bottom = -std::cos(pi / 5);                // the lower points
    const Point q{p.x * halfWidth, bottom + (p.y + 1) * (1 - bottom) / 2};
    // Folded into the half sector from an outer point (at angle 0) to the next inner corner.
    double angle = std::atan2(q.y, q.x) - pi / 2;
    const double sector = 2 * pi / 5;
    angle -= sector * std::floor(angle / sector);
    if (angle > sector / 2)
        angle = sector - angle;
    const double r = std::hypot(q.x, q.y);
    const Point folded{r * std::cos(angle), r * std::sin(angle)};
    const Point outer{1, 0};
    const Point inner{StarInner * std::cos(sector / 2), StarInner * std::sin(sector / 2)};
    return side(outer, inner, folded) >= 0;
}

} // namespace

bool inside_shape(MatteShape shape, double u, double v)
{
    const Point p{u, v};
    switch (shape) {
    case MatteShape::Circle:
        return u * u + v * v <= 1;
    case MatteShape::Ring: {
        const double r2 = u * u + v * v;
        return r2 <= 1 && r2 >= 0.25;
    }
    case MatteShape::Heart:
        return inHeart(p);
    case MatteShape::Star:
        return inStar(p);
    case MatteShape::Triangle:
        return inConvex(std::array<Point, 3>{{{-1, -1}, {1, -1}, {0, 1}}}, p);
    case MatteShape::Diamond:
        return std::abs(u) + std::abs(v) <= 1;
    case MatteShape::Hexagon:
        return std::abs(v) <= 1 && std::abs(u) + std::abs(v) / 2 <= 1;
    }
    return false;
}

CellMap shape_cells(MatteShape shape, int cols, int rows)
{
    CellMap cells(cols, rows);
    for (int cy = 0; cy < rows; ++cy) {
        const double v = 1 - 2 * (cy + 0.5) / rows;
        for (int cx = 0; cx < cols; ++cx)
            cells.set(cx, cy, inside_shape(shape, 2 * (cx + 0.5) / cols - 1, v));
    }
    return cells;
}

CellMap paper_outside(const CellMap &inside)
{
    CellMap paper(inside.cols(), inside.rows());
    for (int cy = 0; cy < inside.rows(); ++cy)
        for (int cx = 0; cx < inside.cols(); ++cx)
            paper.set(cx, cy, !inside.at(cx, cy));
    return paper;
}
