// What the accepted samples lie on, derived on the host from what the device collected.
#pragma once

#include <vector>

#include "scatterCompute.h"

struct SampleSurface {
    std::vector<unsigned int> ids;  // candidate numbers
    std::vector<int> triId;
    std::vector<float> u, v;  // weights of corners B and C
};

void describeSurface(const ScatterMesh& mesh, const SampleSurface& samples, SurfaceData& surface);
