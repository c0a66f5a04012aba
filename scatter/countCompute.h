// The node's pointCount as a compute: the count search run on the scatter's own computes. Apart from pointCount.h,
// whose search knows nothing of the compute's types.
#pragma once

#include <cstdint>
#include <functional>

#include "pointCount.h"
#include "scatterCompute.h"

// One compute at the settings' radius; false when it failed (and said why).
using RunCompute = std::function<bool(const ScatterSettings& settings, ScatterResult& result)>;

// The node's pointCount compute: the search above from the mesh's weighed area, each compute at a radius the node's
// float attribute holds. The closest compute's points are left in `result` and its radius in `settings.radius`.
// With `exact`, the search aims a little above the target (exactCountAim) and the surplus is dropped
// (keepExactCount), so that exactly `target` points remain, still no closer than the radius; a closest compute with
// fewer fails the search.
CountSearch computeForCount(const ScatterMesh& mesh, std::int64_t target, bool exact, const RunCompute& run,
                            ScatterSettings& settings, ScatterResult& result);

// Keeps the points of `result` that an exact count of `target` keeps (keptByExactCount), with their surface data,
// in their order.
void keepExactCount(std::size_t target, ScatterResult& result);
