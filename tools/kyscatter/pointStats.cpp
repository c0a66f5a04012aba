#include "pointStats.h"

#include <nanoflann.hpp>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

namespace kyscatter {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct PointCloud {
    const std::vector<Point>& points;
    std::size_t kdtree_get_point_count() const { return points.size(); }
    double kdtree_get_pt(std::size_t i, std::size_t dim) const { return points[i][dim]; }
    template <class BBox>
    bool kdtree_get_bbox(BBox&) const { return false; }
};

using Tree = nanoflann::KDTreeSingleIndexAdaptor<nanoflann::L2_Simple_Adaptor<double, PointCloud>,
                                                 PointCloud, 3, std::size_t>;

}  // namespace

double packingDistance(double area, std::size_t n)
{
    return std::sqrt(2.0 * area / (std::sqrt(3.0) * static_cast<double>(n)));
}

std::size_t gapSampleCount(std::size_t points)
{
    return std::clamp<std::size_t>(16 * points, 200000, 2000000);
}

PointStats pointStats(const std::vector<Point>& points, double radius, double area)
{
    PointStats stats;
    stats.count = points.size();
    stats.smallestDistance = kNaN;
    stats.relativeRadius = kNaN;
    stats.largestGap = kNaN;
    if (points.size() < 2)
        return stats;

    PointCloud cloud{points};
    Tree tree(3, cloud, nanoflann::KDTreeSingleIndexAdaptorParams(10));
    tree.buildIndex();

    double smallestSquared = std::numeric_limits<double>::infinity();
    std::vector<char> inClosePair(points.size(), 0);
    const double radiusSquared = radius * radius;
    std::vector<std::pair<std::size_t, double>> close;
    for (std::size_t i = 0; i < points.size(); ++i) {
        std::size_t found[2];
        double distances[2];
        tree.knnSearch(points[i].data(), 2, found, distances);
        // The point itself is one of its two nearest hits, at distance 0.
        smallestSquared = std::min(smallestSquared, distances[1]);

        nanoflann::RadiusResultSet<double, std::size_t> within(radiusSquared, close);
        tree.radiusSearchCustomCallback(points[i].data(), within);
        for (const auto& hit : close) {
            if (hit.first > i) {
                ++stats.closePairs;
                inClosePair[i] = 1;
                inClosePair[hit.first] = 1;
            }
        }
    }
    stats.pointsInClosePairs = static_cast<std::size_t>(std::count(inClosePair.begin(), inClosePair.end(), 1));
    stats.smallestDistance = std::sqrt(smallestSquared);
    stats.relativeRadius = stats.smallestDistance / packingDistance(area, points.size());
    return stats;
}

double largestGap(const std::vector<Point>& points, const Mesh& surface, std::size_t samples)
{
    const std::vector<int> tris = fanTriangles(surface);
    if (points.empty() || tris.empty())
        return kNaN;

    std::vector<double> cumulative;
    cumulative.reserve(tris.size() / 3);
    double total = 0.0;
    for (std::size_t t = 0; t < tris.size(); t += 3) {
        total += triangleArea(surface.vertex(tris[t]), surface.vertex(tris[t + 1]), surface.vertex(tris[t + 2]));
        cumulative.push_back(total);
    }

    PointCloud cloud{points};
    Tree tree(3, cloud, nanoflann::KDTreeSingleIndexAdaptorParams(10));
    tree.buildIndex();

    std::mt19937_64 random(1234);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    double gapSquared = 0.0;
    for (std::size_t s = 0; s < samples; ++s) {
        const double pick = unit(random) * total;
        const std::size_t tri = std::min<std::size_t>(
            static_cast<std::size_t>(std::upper_bound(cumulative.begin(), cumulative.end(), pick) - cumulative.begin()),
            cumulative.size() - 1);
        const Point a = surface.vertex(tris[3 * tri]);
        const Point b = surface.vertex(tris[3 * tri + 1]);
        const Point c = surface.vertex(tris[3 * tri + 2]);
        const double r1 = std::sqrt(unit(random));
        const double r2 = unit(random);
        const double wa = 1.0 - r1, wb = r1 * (1.0 - r2), wc = r1 * r2;
        const Point q{wa * a[0] + wb * b[0] + wc * c[0], wa * a[1] + wb * b[1] + wc * c[1],
                      wa * a[2] + wb * b[2] + wc * c[2]};
        std::size_t nearest;
        double distanceSquared;
        tree.knnSearch(q.data(), 1, &nearest, &distanceSquared);
        gapSquared = std::max(gapSquared, distanceSquared);
    }
    return std::sqrt(gapSquared);
}

}  // namespace kyscatter
