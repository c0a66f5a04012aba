#include "countCompute.h"

#include <algorithm>
#include <vector>

namespace {

// Keeps the entries of the kept points, `width` values per point.
template <typename T>
void keepPoints(std::vector<T>& values, std::size_t width, std::size_t reached, std::size_t target)
{
    if (values.size() != width * reached)
        return;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < reached; ++i)
        if (keptByExactCount(i, reached, target))
            std::copy_n(values.begin() + static_cast<std::ptrdiff_t>(width * i), width,
                        values.begin() + static_cast<std::ptrdiff_t>(width * kept++));
    values.resize(width * target);
}

}  // namespace

void keepExactCount(std::size_t target, ScatterResult& result)
{
    const std::size_t reached = result.pointCount();
    if (target >= reached)
        return;
    SurfaceData& s = result.surface;
    keepPoints(result.points, 3, reached, target);
    keepPoints(s.normals, 3, reached, target);
    keepPoints(s.rotations, 3, reached, target);
    keepPoints(s.ids, 1, reached, target);
    keepPoints(s.faceIds, 1, reached, target);
    keepPoints(s.barycentric, 3, reached, target);
    keepPoints(s.triangleVertices, 3, reached, target);
}

CountSearch computeForCount(const ScatterMesh& mesh, std::int64_t target, bool exact, const RunCompute& run,
                            ScatterSettings& settings, ScatterResult& result)
{
    // A target above the candidates is refused by the search in its own words.
    const bool aimAbove = exact && target <= settings.candidateCount;
    const std::int64_t aim = aimAbove ? exactCountAim(target, settings.candidateCount) : target;
    const CountTarget wanted{aim, settings.candidateCount, radiusForCount(densityArea(mesh), static_cast<double>(aim))};
    ScatterResult last;
    CountComputes computes;
    computes.countAt = [&](double radius) -> std::optional<std::size_t> {
        ScatterSettings tried = settings;
        tried.radius = static_cast<float>(radius);
        if (!run(tried, last))
            return std::nullopt;
        return last.pointCount();
    };
    computes.keepLast = [&] { result = std::move(last); };
    CountSearch search = searchRadiusForCount(wanted, computes);
    if (!search.failure.empty())
        return search;
    settings.radius = static_cast<float>(search.radius);
    if (aimAbove) {
        search.failure = exactCountShortfall(target, search.count, search.radius);
        keepExactCount(static_cast<std::size_t>(target), result);
        search.count = result.pointCount();
        search.withinTolerance = search.failure.empty();
    }
    return search;
}
