// Triangle geometry shared by the kernels of both candidate layouts.
#pragma once

#include <cuda_runtime.h>

#include <cmath>

// Half the length of the cross product of the edges from corner a, in one order of operations on both roads.
__host__ __device__ inline float triangleArea(const float* a, const float* b, const float* c)
{
    const float e1x = b[0] - a[0], e1y = b[1] - a[1], e1z = b[2] - a[2];
    const float e2x = c[0] - a[0], e2y = c[1] - a[1], e2z = c[2] - a[2];
    const float wx = e1y * e2z - e1z * e2y;
    const float wy = e1z * e2x - e1x * e2z;
    const float wz = e1x * e2y - e1y * e2x;
    return 0.5f * sqrtf(wy * wy + wx * wx + wz * wz);
}

// The point with weights wu of corner b and wv of corner c, as both layouts place their candidates.
__host__ __device__ inline void pointAt(const float* a, const float* b, const float* c, float wu, float wv, float p[3])
{
    for (int axis = 0; axis < 3; ++axis) {
        const float alongB = (b[axis] - a[axis]) * wu + a[axis];
        p[axis] = alongB + (c[axis] - a[axis]) * wv;
    }
}
