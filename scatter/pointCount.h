// The scatter node's pointCount: the radius that gives about that many points, searched by computing. Knows nothing
// of Maya or of how a compute runs; the node hands it its computes, tests hand it count laws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct ScatterMesh;

// The search never runs more computes than this.
constexpr int kMaxSearchComputes = 12;

// A count within this share of the target ends the search.
constexpr double kCountTolerance = 0.01;

struct CountTarget {
    std::int64_t points = 0;
    std::int64_t candidates = 0;  // the node's candidateCount: no compute keeps more points
    double firstRadius = 1.0;     // the radius for this count while candidates are plenty
};

struct CountSearch {
    double radius = 0;      // the closest compute's, as the node's float attribute holds it
    std::size_t count = 0;  // the closest compute's
    int computes = 0;
    bool withinTolerance = false;
    std::string failure;  // why the target cannot be reached; empty when a closest compute is there to keep
};

// The search's computes: one at a radius gives its point count, or nothing when it failed (and said why);
// keepLast is called when the last compute is the closest to the target so far, so that its points can be kept.
struct CountComputes {
    std::function<std::optional<std::size_t>(double radius)> countAt;
    std::function<void()> keepLast;
};

// Computes until one comes within kCountTolerance of the target, or the radii that give too many and too few points
// meet and no radius can do better, or kMaxSearchComputes have run. A target the node cannot reach, and a compute
// that fails, end it with `failure` set.
CountSearch searchRadiusForCount(const CountTarget& target, const CountComputes& computes);

// The radius that gives about `count` points on a surface of this area while candidates are plenty; no less than the
// node's smallest.
double radiusForCount(double area, double count);

// The mesh's area; with a density map, each triangle's weighed by the mean of its corners' weights.
double densityArea(const ScatterMesh& mesh);

// What an exact count searches for: enough above the target that a compute within the tolerance holds it.
std::int64_t exactCountAim(std::int64_t target, std::int64_t candidates);

// Why a compute of `reached` points at `radius` cannot give exactly `target`; empty when it can.
std::string exactCountShortfall(std::int64_t target, std::size_t reached, double radius);

// Whether the point at `index` of a record of `reached` is one of the `target` an exact count keeps: they are spread
// evenly over the record's order, which walks the grid's cells, so the points dropped are spread over the surface.
bool keptByExactCount(std::size_t index, std::size_t reached, std::size_t target);
