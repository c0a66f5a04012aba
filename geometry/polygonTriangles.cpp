#include "polygonTriangles.h"

#include <algorithm>
#include <numeric>

std::vector<int> fanTriangleOffsets(const std::vector<int>& polygonCounts)
{
    std::size_t triangles = 0;
    for (int count : polygonCounts)
        triangles += count > 2 ? static_cast<std::size_t>(count - 2) : 0;
    std::vector<int> offsets;
    offsets.reserve(3 * triangles);
    int first = 0;
    for (int count : polygonCounts) {
        for (int k = 1; k + 1 < count; ++k)
            offsets.insert(offsets.end(), {first, first + k, first + k + 1});
        first += count;
    }
    return offsets;
}

std::vector<int> polygonOfEachTriangle(const std::vector<int>& triangleCounts)
{
    std::vector<int> polygons;
    const long long triangles = std::accumulate(triangleCounts.begin(), triangleCounts.end(), 0LL);
    polygons.reserve(static_cast<std::size_t>(std::max(triangles, 0LL)));
    for (std::size_t polygon = 0; polygon < triangleCounts.size(); ++polygon)
        for (int k = 0; k < triangleCounts[polygon]; ++k)
            polygons.push_back(static_cast<int>(polygon));
    return polygons;
}
