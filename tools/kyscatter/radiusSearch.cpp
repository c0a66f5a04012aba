#include "radiusSearch.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "errors.h"
#include "scatter/controls.h"

namespace kyscatter {
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

    // Files the compute; true when it is close enough. A compute outside the bracket leaves it as it
    // is: counts are not quite monotone in the radius, and the bracket must stay one.
    bool record(const Sample& sample)
    {
        samples_.push_back(sample);
        if (!best_ || offBy(sample) < offBy(*best_))
            best_ = sample;
        const double count = static_cast<double>(sample.count);
        const bool aboveMany = !tooMany_ || sample.radius > tooMany_->radius;
        const bool belowFew = !tooFew_ || sample.radius < tooFew_->radius;
        if (count > goal_ && aboveMany && belowFew)
            tooMany_ = sample;
        if (count < goal_ && aboveMany && belowFew)
            tooFew_ = sample;
        return offBy(sample) <= kCountTolerance * goal_;
    }

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

    [[noreturn]] void failShort(int computes) const
    {
        const std::string asked = "--count " + std::to_string(target_.points) + ": ";
        const std::string reached = std::to_string(best_->count) + " points at radius " + number(best_->radius);
        if (best_->radius <= nodeRadius(kMinRadius))
            throw Failure(asked + "the mesh holds no more than " + reached + ", the node's smallest");
        if (!tooMany_)
            throw Failure(asked + "no more than " + reached + " in " + std::to_string(computes) + " computes");
        throw Failure(asked + "no fewer than " + reached + " in " + std::to_string(computes) + " computes");
    }

    bool bracketed() const { return tooMany_ && tooFew_; }
    const Sample& best() const { return *best_; }
    const Sample& last() const { return samples_.back(); }

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

SearchOutcome searchRadiusForCount(const CountTarget& target, const std::function<std::size_t(double)>& countAt)
{
    if (target.points > target.candidates)
        throw Failure("--count " + std::to_string(target.points) + ": more points than the " +
                      std::to_string(target.candidates) + " candidates the node draws (raise --candidates)");
    Search search(target);
    // The first guess holds while candidates are plenty; fewer bring the count down by about N/C.
    const double share = static_cast<double>(target.points) / static_cast<double>(target.candidates);
    std::optional<double> radius = nodeRadius(target.firstRadius * std::sqrt(std::max(1 - share, 0.0625)));
    int computes = 0;
    bool within = false;
    while (radius && computes < kMaxSearchComputes) {
        ++computes;
        within = search.record({*radius, countAt(*radius)});
        if (within)
            break;
        radius = search.next();
    }
    if (!within && !search.bracketed())
        search.failShort(computes);
    return SearchOutcome{search.best().radius, search.best().count, search.last().radius, computes, within};
}

}  // namespace kyscatter
