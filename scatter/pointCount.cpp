#include "pointCount.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "controls.h"
#include "geometry/surfaceGeometry.h"
#include "scatterCompute.h"

namespace {

// The steps follow the count the node keeps from C candidates: about 1 / (r²/a + 1/C), where a is
// some 0.7 of the area while candidates are plenty (the count falls as 1/r²) and the count nears C
// as the radius shrinks. In x = r², y = 1/count that is a straight line, which the steps walk.

// One step changes the radius by at most this factor, so a wild first count cannot throw it far.
constexpr double kLargestStep = 4.0;
// A bracket this narrow (relative to its radii) moves the count by far less than the tolerance
// unless the count jumps there, as it does where the grid's cells fit the mesh anew: no radius
// inside can do better.
constexpr double kNarrowestBracket = 1e-4;
// A step inside a bracket stays this far (a share of the bracket) from its ends, so one end that
// never moves cannot stall the search.
constexpr double kBracketMargin = 0.1;

struct Sample {
    double radius;
    std::size_t count;
};

std::string number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

// The radius as the node's float attribute holds it, never below its minimum.
double nodeRadius(double radius)
{
    return std::max(static_cast<double>(static_cast<float>(radius)),
                    static_cast<double>(static_cast<float>(kMinRadius)));
}

// 1/count, with an empty compute standing for half a point.
double inverse(std::size_t count) { return 1 / std::max(static_cast<double>(count), 0.5); }

class Search {
public:
    explicit Search(const CountTarget& target) : target_(target), goal_(static_cast<double>(target.points)) {}

    // Files the compute; true when it is the closest so far. A compute outside the bracket leaves it as it is:
    // counts are not quite monotone in the radius, and the bracket must stay one.
    bool record(const Sample& sample)
    {
        samples_.push_back(sample);
        const bool closest = !best_ || offBy(sample) < offBy(*best_);
        if (closest)
            best_ = sample;
        const double count = static_cast<double>(sample.count);
        const bool aboveMany = !tooMany_ || sample.radius > tooMany_->radius;
        const bool belowFew = !tooFew_ || sample.radius < tooFew_->radius;
        if (count > goal_ && aboveMany && belowFew)
            tooMany_ = sample;
        if (count < goal_ && aboveMany && belowFew)
            tooFew_ = sample;
        return closest;
    }

    bool closeEnough() const { return offBy(*best_) <= kCountTolerance * goal_; }

    // The next radius to try; none when no radius can do better than those tried.
    std::optional<double> next() const
    {
        if (bracketed() && tooFew_->radius < tooMany_->radius * (1 + kNarrowestBracket))
            return std::nullopt;
        const double radius = nodeRadius(bracketed() ? inBracket() : stepFromLast());
        for (const Sample& s : samples_)
            if (s.radius == radius)
                return std::nullopt;
        return radius;
    }

    std::string whyShort(int computes) const
    {
        const std::string asked = "pointCount " + std::to_string(target_.points) + ": ";
        const std::string reached = std::to_string(best_->count) + " points at radius " + number(best_->radius);
        if (best_->radius <= nodeRadius(kMinRadius))
            return asked + "the mesh holds no more than " + reached + ", the node's smallest";
        if (!tooMany_)
            return asked + "no more than " + reached + " in " + std::to_string(computes) + " computes";
        return asked + "no fewer than " + reached + " in " + std::to_string(computes) + " computes";
    }

    bool bracketed() const { return tooMany_ && tooFew_; }
    const Sample& best() const { return *best_; }

private:
    double offBy(const Sample& s) const { return std::abs(static_cast<double>(s.count) - goal_); }

    // Where the line through the bracket's two ends meets the target.
    double inBracket() const
    {
        const double low = tooMany_->radius * tooMany_->radius, high = tooFew_->radius * tooFew_->radius;
        const double many = inverse(tooMany_->count), few = inverse(tooFew_->count);
        const double t = std::clamp((1 / goal_ - many) / (few - many), kBracketMargin, 1 - kBracketMargin);
        return std::sqrt(low + t * (high - low));
    }

    // The line through the last compute, with its intercept at 1/C.
    double stepFromLast() const
    {
        const Sample& last = samples_.back();
        const double floor = 1 / static_cast<double>(target_.candidates);
        const double wanted = std::max(1 / goal_ - floor, 0.0), got = inverse(last.count) - floor;
        const double factor = got > 0 ? std::sqrt(wanted / got) : kLargestStep;
        return last.radius * std::clamp(factor, 1 / kLargestStep, kLargestStep);
    }

    const CountTarget& target_;
    const double goal_;
    std::vector<Sample> samples_;
    std::optional<Sample> best_;
    std::optional<Sample> tooMany_;  // the largest radius that gave more points than the target
    std::optional<Sample> tooFew_;   // the smallest radius that gave fewer
};

}  // namespace

CountSearch searchRadiusForCount(const CountTarget& target, const CountComputes& computes)
{
    CountSearch outcome;
    if (target.points > target.candidates) {
        outcome.failure = "pointCount " + std::to_string(target.points) + " is more than the " +
                          std::to_string(target.candidates) + " candidates the node draws (raise candidateCount)";
        return outcome;
    }
    Search search(target);
    // The first guess holds while candidates are plenty; fewer bring the count down by about N/C.
    const double share = static_cast<double>(target.points) / static_cast<double>(target.candidates);
    std::optional<double> radius = nodeRadius(target.firstRadius * std::sqrt(std::max(1 - share, 0.0625)));
    while (radius && outcome.computes < kMaxSearchComputes) {
        ++outcome.computes;
        const std::optional<std::size_t> count = computes.countAt(*radius);
        if (!count) {
            outcome.failure = "pointCount " + std::to_string(target.points) + ": the compute at radius " +
                              number(*radius) + " failed";
            return outcome;
        }
        if (search.record({*radius, *count}) && computes.keepLast)
            computes.keepLast();
        if (search.closeEnough())
            break;
        radius = search.next();
    }
    outcome.withinTolerance = search.closeEnough();
    if (!outcome.withinTolerance && !search.bracketed())
        outcome.failure = search.whyShort(outcome.computes);
    outcome.radius = search.best().radius;
    outcome.count = search.best().count;
    return outcome;
}

namespace {

// A texture's mean weight, for the whole surface: where the texture is painted in UV space, only the search learns.
double meanTextureWeight(const DensityTexture& texture)
{
    double sum = 0;
    for (float texel : texture.texels)
        sum += std::clamp(static_cast<double>(texel), 0.0, 1.0);
    return texture.texels.empty() ? 1.0 : sum / static_cast<double>(texture.texels.size());
}

}  // namespace

double densityArea(const ScatterMesh& mesh)
{
    const std::vector<float>& p = mesh.points;
    const std::vector<int>& corners = mesh.triangleVertices;
    const std::vector<float>& w = mesh.cornerWeights;
    const double textureWeight = meanTextureWeight(mesh.densityTexture);
    double area = 0;
    for (std::size_t t = 0; t + 2 < corners.size(); t += 3) {
        const double weight =
            w.size() == corners.size() ? std::clamp((w[t] + w[t + 1] + w[t + 2]) / 3.0, 0.0, 1.0) : textureWeight;
        area += triangleArea(triangleCorners(p.data(), &corners[t])) * weight;
    }
    return area;
}

double radiusForCount(double area, double count)
{
    // Points per radius squared of area that the node's sampling reaches.
    constexpr double kPointsPerSquareRadius = 0.7;
    const double radius = std::sqrt(kPointsPerSquareRadius * area / count);
    return std::isfinite(radius) ? std::max(kMinRadius, radius) : kMinRadius;
}

std::int64_t exactCountAim(std::int64_t target, std::int64_t candidates)
{
    // Twice the tolerance above: a count within it of the aim is still above the target; a few more for small
    // targets, whose tolerance is under one point.
    const auto margin = static_cast<std::int64_t>(std::ceil(2 * kCountTolerance * static_cast<double>(target)));
    return std::max(target, std::min(target + std::max<std::int64_t>(margin, 2), candidates));
}

std::string exactCountShortfall(std::int64_t target, std::size_t reached, double radius)
{
    if (reached >= static_cast<std::size_t>(target))
        return "";
    return "pointCount " + std::to_string(target) + " exactly: the closest compute holds " + std::to_string(reached) +
           " points, at radius " + number(radius);
}

bool keptByExactCount(std::size_t index, std::size_t reached, std::size_t target)
{
    if (target >= reached)
        return true;
    // Point i is kept where floor(i * target / reached) steps up: exactly `target` of them, evenly spaced.
    const auto step = [&](std::size_t i) {
        return static_cast<unsigned __int128>(i) * target / reached;
    };
    return step(index + 1) > step(index);
}
