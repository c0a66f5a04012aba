#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace kyscatter {

// The search never runs more computes than this; the caller may add one to bring the best back.
constexpr int kMaxSearchComputes = 12;

// A count within this share of the target ends the search.
constexpr double kCountTolerance = 0.01;

struct CountTarget {
    std::int64_t points = 0;
    std::int64_t candidates = 0;  // the node's candidateCount: no compute keeps more points
    double firstRadius = 1.0;     // the radius for this count while candidates are plenty
};

struct SearchOutcome {
    double radius = 0;      // the best compute's, as the node's float attribute holds it
    std::size_t count = 0;  // the best compute's
    double lastRadius = 0;  // the node's radius when the search ended
    int computes = 0;
    bool withinTolerance = false;
};

// Runs computes through `countAt` (a radius in, the compute's point count out) until one comes
// within kCountTolerance of the target, or the radii that give too many and too few points meet
// and no radius can do better. Throws Failure, naming why, for a target the node cannot reach.
SearchOutcome searchRadiusForCount(const CountTarget& target, const std::function<std::size_t(double)>& countAt);

}  // namespace kyscatter
