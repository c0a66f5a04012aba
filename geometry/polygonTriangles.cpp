#include "polygonTriangles.h"

std::vector<int> fanTriangleOffsets(const std::vector<int>& polygonCounts)
{
    std::vector<int> offsets;
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
    for (std::size_t polygon = 0; polygon < triangleCounts.size(); ++polygon)
        for (int k = 0; k < triangleCounts[polygon]; ++k)
            polygons.push_back(static_cast<int>(polygon));
    return polygons;
}
