// The selection with a density map. Each candidate takes the weight of the map at its place and the radius that
// weight asks for (kernels/densityLevels.h); the candidates are split into levels by weight, and the levels are decided
// one after another, the sparsest first, each through the cell stages on a grid of its own whose cells fit its largest
// radius (a few candidates of the next denser level among them, to blur the border). Within a level a pair keeps the larger of its two radii; the phases keep each launch race-free as without a
// map, since no radius of the level exceeds its grid's. Across levels the points already decided block, before a
// level's selection starts, every candidate of it that lies within its own radius of them. Every step is a plain
// launch or a stable primitive, so the points are the same on any number of threads and on both roads; a map of full
// weight everywhere puts every candidate in level 0, decided exactly as without a map.
#include <cuda_runtime.h>

#include <thrust/copy.h>
#include <thrust/device_vector.h>
#include <thrust/functional.h>
#include <thrust/gather.h>
#include <thrust/transform_reduce.h>
#include <thrust/iterator/counting_iterator.h>
#include <thrust/remove.h>
#include <thrust/sort.h>
#include <thrust/transform.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iostream>

#include "../kernels/densityLevels.h"
#include "../kernels/kyScatterPointsKernels.h"
#include "stages.h"
#include "textureStage.h"

namespace {

// The stable layout keys a candidate's draws by its trial key, which an edit elsewhere in the mesh keeps, where the
// global layout keys them by the candidate's number.
const unsigned int* drawKeysOf(CandidateArrays& c)
{
    return c.trialKey.empty() ? nullptr : raw(c.trialKey);
}

// Each candidate's weight and level.
struct DensityField {
    thrust::device_vector<float> weight;
    thrust::device_vector<unsigned int> level;
};

ScatterStatus weighAll(const ScatterMesh& mesh, const ScatterSettings& settings, CandidateArrays& c,
                       DensityField& field)
{
    // Without a map every corner weighs 1: a layered grid's candidates all fall in level 0.
    const std::vector<float> full(hasDensityMap(mesh) ? 0 : mesh.triangleVertices.size(), 1.0f);
    const std::vector<float>& cornerWeights = hasDensityMap(mesh) ? mesh.cornerWeights : full;
    const std::size_t weights = cornerWeights.size();
    const ScatterStatus budget = budgetFor(4ull * weights + 8ull * static_cast<unsigned long long>(c.count));
    if (budget != ScatterStatus::ok)
        return budget;
    field.weight.resize(c.count, 0.0f);
    field.level.resize(c.count, kNoLevel);
    if (!mesh.densityTexture.texels.empty())
        return weighByTexture(mesh, settings, c, field.weight, field.level);
    thrust::device_vector<float> corners(cornerWeights.begin(), cornerWeights.end());
    if (!launchChecked({"weighCandidates", "Failed to launch weighCandidates kernel, error code: ",
                        blocksFor(c.count, 64), 64},
                       weighCandidates, static_cast<const float*>(raw(corners)), raw(c.triId), raw(c.u), raw(c.v),
                       drawKeysOf(c), static_cast<unsigned int>(settings.seed), raw(field.weight), raw(field.level),
                       c.count))
        return ScatterStatus::failed;
    return ScatterStatus::ok;
}

// One level's candidates, in candidate order, on the level's own grid.
struct Level {
    int index = 0;
    ScatterSettings settings;  // the level's largest radius
    ScatterGrid grid;
    thrust::device_vector<unsigned int> members;  // candidate numbers
    CandidateArrays candidates;                   // positions and keys only
    thrust::device_vector<float> radii;
    thrust::device_vector<unsigned int> blocked;
    int layerRows = 0;  // a layer of a layered grid: only points near its rows can block its candidates
};

// A bit for each level that holds a candidate.
struct LevelBit {
    __host__ __device__ unsigned int operator()(unsigned int level) const
    {
        return level == kNoLevel ? 0u : 1u << level;
    }
};

struct OfLevel {
    const unsigned int* level;
    unsigned int wanted;
    __host__ __device__ bool operator()(unsigned int candidate) const { return level[candidate] == wanted; }
};

// Gathers the level's candidates; a level without any leaves `members` empty. Shrinking the list to its members
// copies them while the whole list is still held.
ScatterStatus collectMembers(CandidateArrays& all, DensityField& field, Level& level)
{
    const ScatterStatus budget = budgetFor(8ull * static_cast<unsigned long long>(all.count));
    if (budget != ScatterStatus::ok)
        return budget;
    level.members.resize(all.count, 0u);
    const thrust::counting_iterator<unsigned int> first(0u);
    const auto last = thrust::copy_if(first, first + all.count, level.members.begin(),
                                      OfLevel{raw(field.level), static_cast<unsigned int>(level.index)});
    level.members.resize(static_cast<std::size_t>(last - level.members.begin()));
    level.members.shrink_to_fit();
    return ScatterStatus::ok;
}

// The level's members' positions, keys on its grid and radii.
ScatterStatus fillLevel(CandidateArrays& all, DensityField& field, float radius, Level& level)
{
    const int count = static_cast<int>(level.members.size());
    const ScatterStatus status =
        budgetFor((all.trialKey.empty() ? 24ull : 28ull) * static_cast<unsigned long long>(count));
    if (status != ScatterStatus::ok)
        return status;
    CandidateArrays& c = level.candidates;
    c.count = count;
    for (thrust::device_vector<float>* array : {&c.x, &c.y, &c.z, &level.radii})
        array->resize(count, 0.0f);
    c.cellId.resize(count, 0u);
    level.blocked.resize(count, 0u);
    const ScatterGrid& g = level.grid;
    if (!launchChecked({"gatherLevelCandidates", "Failed to launch gatherLevelCandidates kernel, error code: ",
                        blocksFor(count, 64), 64},
                       gatherLevelCandidates, raw(level.members), count, raw(all.x), raw(all.y), raw(all.z),
                       raw(field.weight), radius, raw(c.x), raw(c.y), raw(c.z), raw(c.cellId), raw(level.radii),
                       g.cellSize, g.minX, g.minY, g.minZ, g.stepZ, g.stepY))
        return ScatterStatus::failed;
    // The level's cells try its candidates in trial-key order, so that an edit elsewhere keeps their turns.
    if (!all.trialKey.empty()) {
        c.trialKey.resize(count, 0u);
        thrust::gather(level.members.begin(), level.members.end(), all.trialKey.begin(), c.trialKey.begin());
    }
    return ScatterStatus::ok;
}

// Whether a point lies within two cells of a layer's rows, where it can block one of its candidates.
struct NearLayer {
    const float* y;
    float minY, cellSize;
    int rows;
    __host__ __device__ bool operator()(unsigned int point) const
    {
        const float row = (y[point] - minY) / cellSize;
        return row >= -2.0f && row < static_cast<float>(rows + 2);
    }
};

// The decided points a layer's candidates can meet: the others lie in other layers, out of reach.
ScatterStatus pointsNearLayer(CandidateArrays& all, thrust::device_vector<unsigned int>& decided, const Level& layer,
                              thrust::device_vector<unsigned int>& near)
{
    if (decided.empty())
        return ScatterStatus::ok;
    const ScatterStatus budget = budgetFor(4ull * decided.size());
    if (budget != ScatterStatus::ok)
        return budget;
    near.resize(decided.size(), 0u);
    const ScatterGrid& g = layer.grid;
    const auto last = thrust::copy_if(decided.begin(), decided.end(), near.begin(),
                                      NearLayer{raw(all.y), g.minY, g.cellSize, layer.layerRows});
    near.resize(static_cast<std::size_t>(last - near.begin()));
    return ScatterStatus::ok;
}

// The points of the sparser levels block the level's candidates within their own radius of them.
ScatterStatus blockNearDecided(CandidateArrays& all, thrust::device_vector<unsigned int>& decided,
                               SortedCandidates& sorted, CellTable& table, Level& level)
{
    thrust::device_vector<unsigned int> near;
    const ScatterStatus status = level.layerRows > 0 ? pointsNearLayer(all, decided, level, near) : ScatterStatus::ok;
    thrust::device_vector<unsigned int>& blockers = level.layerRows > 0 ? near : decided;
    const unsigned int count = static_cast<unsigned int>(blockers.size());
    if (status != ScatterStatus::ok || count == 0)
        return status;
    CandidateArrays& c = level.candidates;
    const ScatterGrid& g = level.grid;
    if (!launchChecked({"blockNearSamples", "Failed to launch blockNearSamples kernel, error code: ",
                        blocksFor(count, 64), 64},
                       blockNearSamples, raw(blockers), count, raw(all.x), raw(all.y), raw(all.z),
                       raw(table.bucketCounts), raw(table.tabKeys), raw(table.tabAddress), table.hashTableSize,
                       raw(c.cellId), raw(sorted.map), c.count, raw(c.x), raw(c.y),
                       raw(c.z), raw(level.radii), raw(level.blocked), g.cellSize, g.minX, g.minY, g.minZ, g.stepZ,
                       g.stepY))
        return ScatterStatus::failed;
    return ScatterStatus::ok;
}

// The level's points, as candidate numbers, appended to the points decided before it.
ScatterStatus appendLevelSamples(CellTable& table, const DensityField& field, const ScatterSettings& settings,
                                 const unsigned int* drawKeys, Level& level,
                                 thrust::device_vector<unsigned int>& decided)
{
    ScatterStatus status = budgetFor(4ull * table.hashTableSize * kSlotsPerBucket);
    if (status != ScatterStatus::ok)
        return status;
    thrust::device_vector<unsigned int> samples;
    if (tableSamples(table, samples) != ScatterStatus::ok)
        return ScatterStatus::failed;
    const unsigned int count = static_cast<unsigned int>(samples.size());
    if (!launchChecked({"levelSamplesAsCandidates", "Failed to launch levelSamplesAsCandidates kernel, error code: ",
                        blocksFor(count, 64), 64},
                       levelSamplesAsCandidates, raw(samples), count, raw(level.members),
                       field.weight.data().get(), drawKeys, static_cast<unsigned int>(settings.seed)))
        return ScatterStatus::failed;
    samples.erase(thrust::remove(samples.begin(), samples.end(), kNoSample), samples.end());
    const std::size_t before = decided.size();
    // Grown to the exact size: the old points and the new array are held together while they are copied.
    status = budgetFor(4ull * (2 * before + samples.size()));
    if (status != ScatterStatus::ok)
        return status;
    decided.reserve(before + samples.size());
    decided.resize(before + samples.size());
    thrust::copy(samples.begin(), samples.end(), decided.begin() + static_cast<std::ptrdiff_t>(before));
    return ScatterStatus::ok;
}

// One level through the cell stages, its candidates blocked by the points decided before it.
ScatterStatus selectLevel(CandidateArrays& all, const DensityField& field, Level& level,
                          thrust::device_vector<unsigned int>& decided)
{
    CandidateArrays& c = level.candidates;
    SortedCandidates sorted;
    ScatterStatus status = sortByCell(c, sorted, true);
    CellTable table;
    if (status == ScatterStatus::ok)
        status = buildCellTable(c, sorted, table);
    if (status == ScatterStatus::ok)
        status = blockNearDecided(all, decided, sorted, table, level);
    PhaseRuns phases;
    if (status == ScatterStatus::ok)
        status = assignPhases(c, level.grid, sorted, phases);
    // The stable layout's further draws of a stratum belong to the whole layout, not to a level: a level's cells
    // try its candidates pass by pass, as the global layout's do.
    ScatterSettings passByPass = level.settings;
    passByPass.stableLayout = false;
    if (status == ScatterStatus::ok)
        status = choosePoints(c, level.grid, passByPass, sorted, table, phases, raw(level.radii), raw(level.blocked));
    if (status != ScatterStatus::ok)
        return status;
    phases = PhaseRuns();
    return appendLevelSamples(table, field, level.settings, drawKeysOf(all), level, decided);
}

// The layer of a member of a layered grid.
struct LayerOf {
    const float* y;
    float minY, cellSize;
    int layerRows;
    __host__ __device__ unsigned int operator()(unsigned int candidate) const
    {
        return static_cast<unsigned int>(cellCoordinate(y[candidate] - minY, cellSize) / layerRows);
    }
};

// Layer `layer` of a layered grid, with keys of its own; its candidates' rows count from its lowest.
ScatterGrid layerGrid(const ScatterGrid& grid, unsigned int layer)
{
    ScatterGrid g = grid;
    g.minY = static_cast<float>(static_cast<double>(grid.minY) +
                                static_cast<double>(layer) * grid.layerRows * static_cast<double>(grid.cellSize));
    g.layerRows = 0;
    g.rowCount = 0;
    return g;
}

// A level of a layered grid, layer by layer from the lowest, each layer's members in candidate order and decided as a
// level of their own, blocked by the points near them in the layers below, as a sparser level's points block.
ScatterStatus decideLayers(CandidateArrays& all, DensityField& field, float radius, Level& level,
                           thrust::device_vector<unsigned int>& decided)
{
    const ScatterGrid grid = level.grid;
    const std::size_t count = level.members.size();
    // The layers, and the second pair of arrays of their stable sort with the members.
    ScatterStatus status = budgetFor(12ull * count);
    if (status != ScatterStatus::ok)
        return status;
    thrust::device_vector<unsigned int> layers(count, 0u);
    thrust::transform(level.members.begin(), level.members.end(), layers.begin(),
                      LayerOf{raw(all.y), grid.minY, grid.cellSize, grid.layerRows});
    thrust::stable_sort_by_key(layers.begin(), layers.end(), level.members.begin(), thrust::less<unsigned int>());
    std::vector<unsigned int> layerOf(count);
    thrust::copy(layers.begin(), layers.end(), layerOf.begin());
    thrust::device_vector<unsigned int>().swap(layers);
    for (std::size_t begin = 0, end = 0; begin < count && status == ScatterStatus::ok; begin = end) {
        end = static_cast<std::size_t>(std::upper_bound(layerOf.begin() + begin, layerOf.end(), layerOf[begin]) -
                                       layerOf.begin());
        Level layer;
        layer.index = level.index;
        layer.settings = level.settings;
        layer.grid = layerGrid(grid, layerOf[begin]);
        layer.layerRows = grid.layerRows;
        status = budgetFor(4ull * (end - begin));
        if (status != ScatterStatus::ok)
            break;
        layer.members.assign(level.members.begin() + static_cast<std::ptrdiff_t>(begin),
                             level.members.begin() + static_cast<std::ptrdiff_t>(end));
        status = fillLevel(all, field, radius, layer);
        if (status == ScatterStatus::ok)
            status = selectLevel(all, field, layer, decided);
    }
    return status;
}

// A level on its own grid, or layer by layer where that grid has more cells than a 32-bit key numbers.
ScatterStatus decideLevel(const ScatterMesh& mesh, CandidateArrays& all, DensityField& field, float radius,
                          Level& level, thrust::device_vector<unsigned int>& decided)
{
    level.settings.radius = densityRadius(radius, levelWeight(level.index));
    ScatterStatus status = planGrid(mesh, level.settings, level.grid);
    if (status != ScatterStatus::ok)
        return status;
    if (level.grid.layerRows > 0)
        return decideLayers(all, field, radius, level, decided);
    status = fillLevel(all, field, radius, level);
    if (status != ScatterStatus::ok)
        return status;
    return selectLevel(all, field, level, decided);
}

}  // namespace

ScatterStatus checkDensityMap(const ScatterMesh& mesh)
{
    const std::vector<float>& weights = mesh.cornerWeights;
    const ScatterStatus texture = checkDensityTexture(mesh);
    if (texture != ScatterStatus::ok || weights.empty())
        return texture;
    if (weights.size() != mesh.triangleVertices.size()) {
        std::cerr << "ERROR the density map gives " << weights.size() << " corner weights for "
                  << mesh.triangleVertices.size() / 3 << " triangles (three each); no points computed" << std::endl;
        return ScatterStatus::failed;
    }
    for (float w : weights) {
        if (!std::isfinite(w)) {
            std::cerr << "ERROR the density map has weights that are not finite numbers; no points computed"
                      << std::endl;
            return ScatterStatus::failed;
        }
    }
    return ScatterStatus::ok;
}

ScatterStatus selectWeightedSamples(const ScatterMesh& mesh, CandidateArrays& candidates, const ScatterGrid& grid,
                                    const ScatterSettings& settings, ScatterResult& result, StageObserver& observer)
{
    DensityField field;
    ScatterStatus status = weighAll(mesh, settings, candidates, field);
    // Levels without candidates cost nothing, not even a look through the candidates.
    const unsigned int present =
        status != ScatterStatus::ok ? 0u
                                    : thrust::transform_reduce(field.level.begin(), field.level.end(), LevelBit(), 0u,
                                                               thrust::bit_or<unsigned int>());
    thrust::device_vector<unsigned int> decided;
    for (int index = kSparsestLevel; status == ScatterStatus::ok && index >= 0; --index) {
        if ((present & (1u << index)) == 0)
            continue;
        Level level;
        level.index = index;
        level.settings = settings;
        status = collectMembers(candidates, field, level);
        if (status == ScatterStatus::ok && !level.members.empty())
            status = decideLevel(mesh, candidates, field, settings.radius, level, decided);
    }
    if (status != ScatterStatus::ok)
        return status;
    observer.phasesReady();
    observer.selectionDone();
    field = DensityField();
    // In candidate order before the stable sort by cell: points that share a cell of the final grid come in one
    // order on every run. The sort takes a second array while it runs.
    status = budgetFor(4ull * decided.size());
    if (status != ScatterStatus::ok)
        return status;
    thrust::sort(decided.begin(), decided.end());
    status = publishSamples(mesh, candidates, grid, decided, settings, result);
    if (status == ScatterStatus::ok)
        observer.samplesReady(result);
    return status;
}
