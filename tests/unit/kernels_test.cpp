// The kernels on their own, launched as the driver launches them, on small hand-made inputs.
#include <hostRuntime.h>
#include <cudaStandinControls.h>

#include <curand.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>
#include <set>
#include <vector>

#include "kernels/cellGrid.h"
#include "kernels/kyScatterPointsKernels.h"
#include "kernels/launch.h"
#include "kernels/textureSampling.h"
#include "scatter/scatterCompute.h"

namespace {

unsigned int blocksFor(size_t count, unsigned int threads)
{
    return static_cast<unsigned int>(count / threads + 1);
}

// ------------------------------------------------------------------------------------------------ surface sampling

TEST(SurfaceSampling, AreasOfTrianglesIncludingDegenerateOnes)
{
    const std::vector<float> points = {0, 0, 0, 2, 0, 0, 0, 3, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3};
    const std::vector<int> tris = {0, 1, 2, 3, 4, 5, 0, 2, 1};
    std::vector<float> areas(tris.size(), -1.0f);
    launchKernel("calculateArea", calculateArea, blocksFor(3, 64), 64u, points.data(), tris.data(), areas.data(), 3);
    ASSERT_EQ(cudaGetLastError(), cudaSuccess);
    EXPECT_FLOAT_EQ(areas[0], 3.0f);
    EXPECT_FLOAT_EQ(areas[1], 0.0f) << "collinear corners";
    EXPECT_FLOAT_EQ(areas[2], 3.0f) << "orientation does not matter";
    EXPECT_EQ(areas[3], -1.0f) << "entries past the triangles are untouched";
}

TEST(SurfaceSampling, TriangleLookupByCumulativeArea)
{
    const std::vector<float> table = {1.0f, 3.0f, 6.0f};
    EXPECT_EQ(getTriIndex(table.data(), 3, 0.1f, 6.0f), 0);
    EXPECT_EQ(getTriIndex(table.data(), 3, 0.4f, 6.0f), 1);
    EXPECT_EQ(getTriIndex(table.data(), 3, 0.5f, 6.0f), 2) << "a value on an entry belongs to the next triangle";
    EXPECT_EQ(getTriIndex(table.data(), 3, 1.0f / 6.0f, 6.0f), 1);
    EXPECT_EQ(getTriIndex(table.data(), 3, 1.0f, 6.0f), 2) << "a random number of exactly 1 picks the last triangle";
    EXPECT_EQ(getTriIndex(nullptr, 1, 0.7f, 5.0f), 0) << "one triangle: the table is not read";

    // Zero-area triangles own empty intervals and are never picked.
    const std::vector<float> withEmpty = {1.0f, 1.0f, 1.0f, 2.0f, 2.0f};
    for (float r = 0.01f; r <= 1.0f; r += 0.01f) {
        const int tri = getTriIndex(withEmpty.data(), 5, r, 2.0f);
        EXPECT_TRUE(tri == 0 || tri == 3) << "r " << r << " picked " << tri;
    }
    // The search ends for every value, even ones no real table produces.
    EXPECT_EQ(getTriIndex(table.data(), 3, NAN, 6.0f), 2);
    EXPECT_EQ(getTriIndex(table.data(), 3, 2.0f, 6.0f), 2);

    // Every table length, runs of empty triangles among them, against the first entry past the value.
    std::mt19937 rng(7);
    for (int count = 2; count < 70; ++count) {
        std::vector<float> sums(static_cast<size_t>(count));
        float sum = 0.0f;
        for (float& s : sums)
            s = sum += rng() % 3 == 0 ? 0.0f : static_cast<float>(rng() % 5 + 1);
        for (int k = 0; k <= 64; ++k) {
            const float r = static_cast<float>(k) / 64.0f;
            const auto past = std::upper_bound(sums.begin(), sums.end() - 1, sum * r);
            EXPECT_EQ(getTriIndex(sums.data(), count, r, sum), past - sums.begin()) << count << " triangles, r " << r;
        }
    }
}

TEST(SurfaceSampling, CellKeysOfTheWorkedExamples)
{
    EXPECT_EQ(cellKey(cellCoordinate(2.5f, 1.0f), cellCoordinate(1.2f, 1.0f), cellCoordinate(0.7f, 1.0f), 4, 12), 14u);
    EXPECT_EQ(cellKey(cellCoordinate(0.5f, 1.0f), cellCoordinate(0.5f, 1.0f), cellCoordinate(2.5f, 1.0f), 4, 12), 8u);
    EXPECT_EQ(cellCoordinate(-3.0f, 1.0f), 0) << "below the corner counts as cell 0";
    EXPECT_EQ(cellCoordinate(3e12f, 1e-3f), INT_MAX) << "saturates instead of overflowing";
}

struct Candidates {
    std::vector<float> x, y, z, u, v;
    std::vector<int> triId;
    std::vector<unsigned int> cellId;
};

Candidates generate(const std::vector<float>& randoms, const std::vector<float>& points, const std::vector<int>& tris,
                    float cellSize, const float anchor[3], int stepZ, int stepY)
{
    const int triCount = static_cast<int>(tris.size() / 3);
    std::vector<float> cumulative(tris.size(), 0.0f);
    launchKernel("calculateArea", calculateArea, blocksFor(triCount, 64), 64u, points.data(), tris.data(),
                 cumulative.data(), triCount);
    std::partial_sum(cumulative.begin(), cumulative.end(), cumulative.begin());
    const int n = static_cast<int>(randoms.size());
    Candidates c{std::vector<float>(n), std::vector<float>(n), std::vector<float>(n), std::vector<float>(n),
                 std::vector<float>(n), std::vector<int>(n), std::vector<unsigned int>(n)};
    launchKernel("generateRandomPoints", generateRandomPoints, blocksFor(n, 64), 64u, randoms.data(), c.x.data(),
                 c.y.data(), c.z.data(), c.u.data(), c.v.data(), c.triId.data(), c.cellId.data(), points.data(),
                 tris.data(), cumulative.data(), cumulative.back(), triCount, n, cellSize, anchor[0], anchor[1],
                 anchor[2], stepZ, stepY);
    EXPECT_EQ(cudaGetLastError(), cudaSuccess);
    return c;
}

std::vector<float> hostRandoms(size_t count)
{
    curandGenerator_t generator;
    EXPECT_EQ(curandCreateGeneratorHost(&generator, CURAND_RNG_PSEUDO_DEFAULT), CURAND_STATUS_SUCCESS);
    curandSetPseudoRandomGeneratorSeed(generator, 1234);
    std::vector<float> randoms(count);
    curandGenerateUniform(generator, randoms.data(), count);
    curandDestroyGenerator(generator);
    return randoms;
}

TEST(SurfaceSampling, CandidatesLieInTheirTrianglesWithTheirWeights)
{
    const std::vector<float> points = {0, 0, 0, 4, 0, 0, 0, 0, 4, 1, 2, 1, 3, 5, 2, 0, 7, -3};
    const std::vector<int> tris = {0, 1, 2, 3, 4, 5};
    const float anchor[3] = {-10, -10, -10};
    const std::vector<float> randoms = hostRandoms(10000);
    const Candidates c = generate(randoms, points, tris, 0.5f, anchor, 100, 10000);
    const int n = static_cast<int>(randoms.size());
    for (int i = 0; i < n; ++i) {
        const int j = (i + 1) % n;
        ASSERT_FLOAT_EQ(c.u[i], 1.0f - std::sqrt(randoms[j]));
        ASSERT_FLOAT_EQ(c.v[i], std::sqrt(randoms[j]) * randoms[n - 1 - j]);
        ASSERT_LE(c.u[i] + c.v[i], 1.0f + 1e-6f);
        const float* a = &points[3 * tris[3 * c.triId[i]]];
        const float* b = &points[3 * tris[3 * c.triId[i] + 1]];
        const float* cc = &points[3 * tris[3 * c.triId[i] + 2]];
        const float p[3] = {c.x[i], c.y[i], c.z[i]};
        for (int axis = 0; axis < 3; ++axis)
            ASSERT_NEAR(p[axis], a[axis] + (b[axis] - a[axis]) * c.u[i] + (cc[axis] - a[axis]) * c.v[i], 1e-5f);
    }
    // The last candidate takes randoms[0] as r1 and its own r0 as r2.
    EXPECT_FLOAT_EQ(c.v[n - 1], std::sqrt(randoms[0]) * randoms[n - 1]);
}

TEST(SurfaceSampling, TrianglesReceiveCandidatesInProportionToArea)
{
    // Four separate triangles of areas 1, 2, 3 and 4.
    std::vector<float> points;
    std::vector<int> tris;
    for (int k = 1; k <= 4; ++k) {
        const float base = static_cast<float>(10 * k);
        const float corners[9] = {base, 0, 0, base + 2.0f * k, 0, 0, base, 1, 0};
        points.insert(points.end(), corners, corners + 9);
        for (int c = 0; c < 3; ++c)
            tris.push_back(3 * (k - 1) + c);
    }
    const float anchor[3] = {0, 0, 0};
    const std::vector<float> randoms = hostRandoms(1000000);
    const Candidates c = generate(randoms, points, tris, 1.0f, anchor, 100, 10000);
    std::vector<int> counts(4, 0);
    for (int tri : c.triId)
        ++counts[tri];
    // The seed is fixed, so this cannot flake; the bound is some ten standard deviations wide.
    for (int k = 0; k < 4; ++k)
        EXPECT_NEAR(counts[k] / 1e6, (k + 1) / 10.0, 0.005) << "triangle " << k;
}

TEST(SurfaceSampling, OneTriangleGetsEveryCandidateAndKeysFollowThePoint)
{
    const std::vector<float> points = {2.5f, 1.2f, 0.7f, 2.5f, 1.2f, 0.7f, 2.5f, 1.2f, 0.7f};
    const std::vector<int> tris = {0, 1, 2};
    const float anchor[3] = {0, 0, 0};
    const Candidates c = generate(hostRandoms(1000), points, tris, 1.0f, anchor, 4, 12);
    for (size_t i = 0; i < c.triId.size(); ++i) {
        ASSERT_EQ(c.triId[i], 0);
        ASSERT_EQ(c.cellId[i], 14u);
    }
}

// ------------------------------------------------------------------------------------------------ cell grid

// The hash table as the driver lays it out: five slots of keys, addresses and samples, plus the bucket counters.
struct HashTable {
    explicit HashTable(unsigned int size)
        : size(size), bucketIndex(size, 0u), keys(5, std::vector<unsigned int>(size, kNoKey)),
          address(5, std::vector<unsigned int>(size, 0u)), samples(5, std::vector<unsigned int>(size, kNoSample))
    {
        for (int s = 0; s < 5; ++s) {
            keyPtrs.push_back(keys[s].data());
            addressPtrs.push_back(address[s].data());
            samplePtrs.push_back(samples[s].data());
        }
    }
    unsigned int size;
    std::vector<unsigned int> bucketIndex;
    std::vector<std::vector<unsigned int>> keys, address, samples;
    std::vector<unsigned int*> keyPtrs, addressPtrs, samplePtrs;
};

// Sorted keys -> flags, cell count, cell list and table (counted, then one slot a round, over the cells), as the
// driver does it.
struct CellGrid {
    std::vector<unsigned int> aux, cells;
    unsigned int occupied = 0;
    HashTable table{1};
};

void fillTable(const std::vector<unsigned int>& cells, const std::vector<unsigned int>& sortedKeys, HashTable& t)
{
    const int n = static_cast<int>(cells.size());
    auto* const* keys = static_cast<unsigned int* const*>(t.keyPtrs.data());
    launchKernel("countBucketCells", countBucketCells, blocksFor(n, 64), 64u, cells.data(), sortedKeys.data(),
                 t.bucketIndex.data(), t.size, n);
    for (unsigned int slot = 0; slot < 5; ++slot) {
        launchKernel("offerCellsToSlot", offerCellsToSlot, blocksFor(n, 64), 64u, cells.data(), sortedKeys.data(),
                     keys, slot, t.size, n);
        launchKernel("fillHashTable", fillHashTable, blocksFor(n, 64), 64u, cells.data(), sortedKeys.data(), keys,
                     static_cast<unsigned int* const*>(t.addressPtrs.data()), slot, t.size, n);
    }
}

CellGrid buildGrid(const std::vector<unsigned int>& sortedKeys, unsigned int tableSize)
{
    const int n = static_cast<int>(sortedKeys.size());
    CellGrid grid;
    grid.aux.assign(n, 0u);
    launchKernel("detectCells", detectCells, blocksFor(n, 64), 64u, sortedKeys.data(), grid.aux.data(), n);
    std::partial_sum(grid.aux.begin(), grid.aux.end(), grid.aux.begin());
    grid.occupied = grid.aux.back() + 1;
    grid.cells.assign(grid.occupied, 0u);
    launchKernel("getCells", getCells, blocksFor(n, 64), 64u, grid.cells.data(),
                 static_cast<const unsigned int*>(grid.aux.data()), n);
    grid.table = HashTable(tableSize);
    fillTable(grid.cells, sortedKeys, grid.table);
    EXPECT_EQ(cudaGetLastError(), cudaSuccess);
    return grid;
}

TEST(CellGrid, WorkedExampleOfSixSortedKeys)
{
    const CellGrid grid = buildGrid({5, 5, 7, 9, 9, 9}, 12);
    EXPECT_EQ(grid.occupied, 3u);
    EXPECT_EQ(grid.aux, (std::vector<unsigned int>{0, 0, 1, 2, 2, 2}));
    EXPECT_EQ(grid.cells, (std::vector<unsigned int>{0, 2, 3}));
    const HashTable& t = grid.table;
    EXPECT_EQ(t.keys[0][5], 5u);
    EXPECT_EQ(t.address[0][5], 0u);
    EXPECT_EQ(t.keys[0][7], 7u);
    EXPECT_EQ(t.address[0][7], 2u);
    EXPECT_EQ(t.keys[0][9], 9u);
    EXPECT_EQ(t.address[0][9], 3u);
    EXPECT_EQ(t.bucketIndex[5] + t.bucketIndex[7] + t.bucketIndex[9], 3u);
}

TEST(CellGrid, OneCellTakesTheFirstSlotOfItsBucket)
{
    const CellGrid grid = buildGrid(std::vector<unsigned int>(100, 42u), 4);
    EXPECT_EQ(grid.occupied, 1u);
    EXPECT_EQ(grid.cells, std::vector<unsigned int>{0});
    EXPECT_EQ(grid.table.bucketIndex, (std::vector<unsigned int>{0, 0, 1, 0}));
    EXPECT_EQ(grid.table.keys[0][2], 42u);
    EXPECT_EQ(grid.table.address[0][2], 0u);
    EXPECT_EQ(grid.table.keys[1][2], kNoKey) << "the bucket's other slots stay free";
}

// Whatever order the threads run in: the smallest five keys of a full bucket, ascending, and the same table for the
// same keys on any number of threads.
TEST(CellGrid, AFullBucketKeepsItsFiveSmallestKeysInOrder)
{
    // Keys 0, 12, ..., 72 all hash to bucket 0 of a 12-bucket table; they arrive sorted, as in a compute.
    std::vector<unsigned int> sortedKeys;
    for (unsigned int k = 0; k <= 72; k += 12)
        sortedKeys.insert(sortedKeys.end(), 1 + k % 5, k);
    const std::vector<unsigned int> expected = {0, 12, 24, 36, 48};
    for (int threads : {1, 2, 3, 8}) {
        cudaStandin::setKernelThreads(threads);
        const CellGrid grid = buildGrid(sortedKeys, 12);
        const HashTable& t = grid.table;
        EXPECT_EQ(t.bucketIndex[0], 7u) << "every cell is counted, kept or not";
        for (int s = 0; s < 5; ++s) {
            EXPECT_EQ(t.keys[s][0], expected[s]) << "slot " << s << ", " << threads << " threads";
            EXPECT_EQ(sortedKeys[t.address[s][0]], expected[s]);
            EXPECT_TRUE(t.address[s][0] == 0 || sortedKeys[t.address[s][0] - 1] != expected[s]) << "the cell's start";
        }
    }
    cudaStandin::setKernelThreads(0);
}

TEST(CellGrid, SingleCandidateWritesNothing)
{
    std::vector<unsigned int> keys = {3};
    std::vector<unsigned int> aux = {77};
    launchKernel("detectCells", detectCells, 1u, 64u, static_cast<const unsigned int*>(keys.data()), aux.data(), 1);
    EXPECT_EQ(aux[0], 77u);
}

// ------------------------------------------------------------------------------------------------ phases and selection

TEST(PhasedSelection, PhaseOfTheWorkedExample)
{
    const std::vector<float> x = {4.5f}, y = {7.2f}, z = {2.1f};
    const std::vector<unsigned int> map = {0}, cells = {0};
    std::vector<unsigned int> phase(1, 99);
    launchKernel("calculateCellPhase", calculateCellPhase, 1u, 64u, phase.data(),
                 static_cast<const unsigned int*>(cells.data()), 1.0f, 3.0f, 0.0f, 0.0f, 0.0f,
                 static_cast<const float*>(x.data()), static_cast<const float*>(y.data()),
                 static_cast<const float*>(z.data()), static_cast<const unsigned int*>(map.data()), 1);
    EXPECT_EQ(phase[0], 16u);
}

TEST(PhasedSelection, PhaseAgreesWithTheKeyForEveryCandidate)
{
    // Awkward sizes: a remainder within a 3-cell box rounds differently from the key's own division now and then.
    const std::vector<float> points = {-1.3f, 0.2f, -0.7f, 5.9f, 3.1f, -0.1f, 0.4f, 7.7f, 6.3f};
    const std::vector<int> tris = {0, 1, 2};
    const float anchor[3] = {-1.3f, 0.2f, -0.7f};
    const float cellSize = 0.1f / 1.7320508f;
    const int stepZ = 200, stepY = 200 * 200;
    const Candidates c = generate(hostRandoms(1000000), points, tris, cellSize, anchor, stepZ, stepY);
    const int n = static_cast<int>(c.x.size());
    std::vector<unsigned int> map(n), phase(n);
    std::iota(map.begin(), map.end(), 0u);
    launchKernel("calculateCellPhase", calculateCellPhase, blocksFor(n, 64), 64u, phase.data(),
                 static_cast<const unsigned int*>(map.data()), cellSize, cellSize * 3.0f, anchor[0], anchor[1],
                 anchor[2], static_cast<const float*>(c.x.data()), static_cast<const float*>(c.y.data()),
                 static_cast<const float*>(c.z.data()), static_cast<const unsigned int*>(map.data()), n);
    for (int i = 0; i < n; ++i) {
        const unsigned int key = c.cellId[i];
        const unsigned int cx = key % stepZ, cz = (key / stepZ) % (stepY / stepZ), cy = key / stepY;
        ASSERT_EQ(phase[i], cx % 3 + 3 * (cz % 3) + 9 * (cy % 3)) << "candidate " << i;
    }
}

TEST(PhasedSelection, CountsFromSortedPhases)
{
    const std::vector<unsigned int> phases = {0, 0, 4, 4, 4, 9};
    std::vector<unsigned int> counts(27, 0);
    counts[phases.back()] += 6;
    launchKernel("countCellsInPhases", countCellsInPhases, 1u, 64u, counts.data(),
                 static_cast<const unsigned int*>(phases.data()), 6);
    std::vector<unsigned int> expected(27, 0);
    expected[0] = 2;
    expected[4] = 3;
    expected[9] = 1;
    EXPECT_EQ(counts, expected);

    std::vector<unsigned int> single(27, 0);
    const std::vector<unsigned int> onePhase = {13, 13, 13};
    single[13] += 3;
    launchKernel("countCellsInPhases", countCellsInPhases, 1u, 64u, single.data(),
                 static_cast<const unsigned int*>(onePhase.data()), 3);
    EXPECT_EQ(single[13], 3u);
}

// The whole selection over a handful of candidates, one cell per key, as the driver runs it.
std::vector<bool> select(const std::vector<float>& x, const std::vector<float>& y, const std::vector<float>& z, float r,
                         int stepZ, int stepY, int passes = 5, bool strict = false)
{
    const float cellSize = static_cast<float>(r / 1.7320508075688772);
    const int n = static_cast<int>(x.size());
    std::vector<unsigned int> keys(n), map(n);
    for (int i = 0; i < n; ++i)
        keys[i] = cellKey(cellCoordinate(x[i], cellSize), cellCoordinate(y[i], cellSize),
                          cellCoordinate(z[i], cellSize), stepZ, stepY);
    std::iota(map.begin(), map.end(), 0u);
    std::stable_sort(map.begin(), map.end(), [&](unsigned a, unsigned b) { return keys[a] < keys[b]; });
    std::vector<unsigned int> sorted(n);
    for (int i = 0; i < n; ++i)
        sorted[i] = keys[map[i]];
    CellGrid grid = buildGrid(sorted, 4 * static_cast<unsigned int>(std::set<unsigned int>(sorted.begin(), sorted.end()).size()));
    HashTable& t = grid.table;
    std::vector<unsigned int> phase(grid.occupied);
    launchKernel("calculateCellPhase", calculateCellPhase, blocksFor(grid.occupied, 64), 64u, phase.data(),
                 static_cast<const unsigned int*>(grid.cells.data()), cellSize, 3 * cellSize, 0.0f, 0.0f, 0.0f,
                 x.data(), y.data(), z.data(), static_cast<const unsigned int*>(map.data()),
                 static_cast<int>(grid.occupied));
    std::vector<unsigned int> order(grid.occupied);
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(), [&](unsigned a, unsigned b) { return phase[a] < phase[b]; });
    std::vector<unsigned int> cells(grid.occupied);
    for (size_t i = 0; i < order.size(); ++i)
        cells[i] = grid.cells[order[i]];
    for (int pass = 0; pass < passes; ++pass) {
        unsigned int start = 0;
        for (unsigned int p = 0; p < 27; ++p) {
            const unsigned int count =
                static_cast<unsigned int>(std::count(phase.begin(), phase.end(), p));
            launchKernel("chooseSamplesInCells", chooseSamplesInCells, count / 32 + 1, 32u,
                         static_cast<const unsigned int*>(cells.data()), start, count,
                         static_cast<const unsigned int*>(t.bucketIndex.data()),
                         static_cast<unsigned int* const*>(t.keyPtrs.data()),
                         static_cast<unsigned int* const*>(t.addressPtrs.data()),
                         static_cast<unsigned int* const*>(t.samplePtrs.data()), static_cast<unsigned int>(stepZ),
                         static_cast<unsigned int>(stepY), static_cast<short>(pass), r, x.data(), y.data(), z.data(),
                         static_cast<const unsigned int*>(sorted.data()), static_cast<const unsigned int*>(map.data()),
                         t.size, n, strict, static_cast<const float*>(nullptr),
                         static_cast<const unsigned int*>(nullptr));
            start += count;
        }
    }
    EXPECT_EQ(cudaGetLastError(), cudaSuccess);
    std::vector<bool> accepted(n, false);
    for (int s = 0; s < 5; ++s)
        for (unsigned int q : t.samples[s])
            if (q != kNoSample)
                accepted[q] = true;
    return accepted;
}

TEST(PhasedSelection, NeighbourWithinRadiusRejectsTwoCellsApartDoesNot)
{
    // r = 1: cells of edge 0.577 along one row.
    EXPECT_EQ(select({0.1f, 0.7f}, {0.1f, 0.1f}, {0.1f, 0.1f}, 1.0f, 4, 16), (std::vector<bool>{true, false}));
    EXPECT_EQ(select({0.55f, 1.16f}, {0.1f, 0.1f}, {0.1f, 0.1f}, 1.0f, 4, 16), (std::vector<bool>{true, true}))
        << "cells 0 and 2 are not neighbours, so 0.61 apart is allowed";
}

TEST(PhasedSelection, StrictRadiusAlsoTestsCellsTwoStepsAway)
{
    // r = 1, cells of edge 0.577: cells 0 and 2 of a row, 0.61 apart; then two steps along x and along y, 0.96 apart.
    EXPECT_EQ(select({0.55f, 1.16f}, {0.1f, 0.1f}, {0.1f, 0.1f}, 1.0f, 4, 16, 5, true), (std::vector<bool>{true, false}));
    EXPECT_EQ(select({0.5f, 1.18f}, {0.5f, 1.18f}, {0.1f, 0.1f}, 1.0f, 4, 16, 5, true), (std::vector<bool>{true, false}));
    EXPECT_EQ(select({0.5f, 1.18f}, {0.5f, 1.18f}, {0.1f, 0.1f}, 1.0f, 4, 16), (std::vector<bool>{true, true}))
        << "without it the cell diagonally two steps away is not a neighbour";
    // Three steps away is never closer than two cell edges.
    EXPECT_EQ(select({0.5f, 1.8f}, {0.1f, 0.1f}, {0.1f, 0.1f}, 1.0f, 4, 16, 5, true), (std::vector<bool>{true, true}));
}

TEST(PhasedSelection, ExactlyAtTheRadiusIsRejected)
{
    // 0.0625 and 0.5625 lie in neighbouring cells of edge 0.289 and exactly 0.5 apart in float.
    EXPECT_EQ(select({0.0625f, 0.5625f}, {0.0f, 0.0f}, {0.0f, 0.0f}, 0.5f, 8, 64), (std::vector<bool>{true, false}));
}

TEST(PhasedSelection, ACellOffersAtMostFiveCandidatesInOrder)
{
    // Cell 0 holds one candidate; the neighbouring cell 1 holds six: the first five too close, the sixth far enough
    // but never offered.
    const std::vector<float> x = {0.0f, 0.40f, 0.41f, 0.42f, 0.43f, 0.44f, 0.57f};
    const std::vector<float> zeros(x.size(), 0.0f);
    EXPECT_EQ(select(x, zeros, zeros, 0.5f, 8, 64), (std::vector<bool>{true, false, false, false, false, false, false}));
    // The same cell accepts a later candidate once one is far enough.
    const std::vector<float> fifth = {0.0f, 0.40f, 0.41f, 0.42f, 0.52f, 0.44f};
    EXPECT_EQ(select(fifth, std::vector<float>(6, 0.0f), std::vector<float>(6, 0.0f), 0.5f, 8, 64),
              (std::vector<bool>{true, false, false, false, true, false}));
}

TEST(PhasedSelection, CellWithFewerCandidatesStopsTrying)
{
    // Both cells have one candidate; the second is rejected in pass 0 and has nothing more to offer.
    const std::vector<bool> accepted = select({0.1f, 0.3f}, {0.0f, 0.0f}, {0.0f, 0.0f}, 0.5f, 8, 64, 5);
    EXPECT_EQ(accepted, (std::vector<bool>{true, false}));
}

// ------------------------------------------------------------------------------------------------ texture density

// Texels at their centres, bilinear between them, repeating, rows from v = 0 up; equal texels give exactly their value.
TEST(TextureDensity, SamplingIsBilinearAndRepeatsAsAFileTexture)
{
    const std::vector<float> texels = {0.0f, 1.0f, 0.5f, 0.5f};  // bottom row 0, 1; top row 0.5, 0.5
    const TextureView texture = {texels.data(), 2, 2};
    EXPECT_FLOAT_EQ(sampleTexture(texture, 0.25f, 0.25f), 0.0f);
    EXPECT_FLOAT_EQ(sampleTexture(texture, 0.75f, 0.25f), 1.0f);
    EXPECT_FLOAT_EQ(sampleTexture(texture, 0.5f, 0.25f), 0.5f) << "halfway between the centres";
    EXPECT_FLOAT_EQ(sampleTexture(texture, 0.25f, 0.75f), 0.5f) << "the top row";
    EXPECT_FLOAT_EQ(sampleTexture(texture, 0.0f, 0.25f), 0.5f) << "u = 0 blends with the texel at u = 1";
    EXPECT_FLOAT_EQ(sampleTexture(texture, 1.25f, -0.75f), 0.0f) << "repeats outside [0, 1]";
    EXPECT_EQ(sampleTexture(texture, std::nanf(""), 0.5f), 0.0f);
    const std::vector<float> equal(9, 0.7f);
    const TextureView flat = {equal.data(), 3, 3};
    for (float s : {0.0f, 0.1f, 0.33f, 0.5f, 0.99f, 7.3f})
        EXPECT_EQ(sampleTexture(flat, s, 1.0f - s), 0.7f) << s;
}

ScatterMesh texturedSquare(std::vector<float> texels, int width, int height)
{
    ScatterMesh mesh;
    mesh.points = {0, 0, 0, 1, 0, 0, 1, 0, 1, 0, 0, 1};
    mesh.triangleVertices = {0, 1, 2, 0, 2, 3};
    mesh.densityTexture.texels = std::move(texels);
    mesh.densityTexture.width = width;
    mesh.densityTexture.height = height;
    mesh.densityTexture.cornerUVs = {0, 0, 1, 0, 1, 1, 0, 0, 1, 1, 0, 1};
    return mesh;
}

TEST(TextureDensity, TexelsThatAreNoNumbersWeighNothingAndBadShapesAreRefused)
{
    ScatterSettings settings;
    settings.radius = 0.05f;
    settings.candidateCount = 20000;
    ScatterResult result;
    const float nan = std::nanf("");
    ASSERT_EQ(scatterPoints(texturedSquare({nan, nan, nan, nan}, 2, 2), settings, result), ScatterStatus::ok);
    EXPECT_EQ(result.pointCount(), 0u);
    ASSERT_EQ(scatterPoints(texturedSquare({7.0f}, 1, 1), settings, result), ScatterStatus::ok);
    const std::size_t clamped = result.pointCount();
    ASSERT_EQ(scatterPoints(texturedSquare({1.0f}, 1, 1), settings, result), ScatterStatus::ok);
    EXPECT_EQ(clamped, result.pointCount()) << "weights above 1 clamp to 1";

    testing::internal::CaptureStderr();
    EXPECT_EQ(scatterPoints(texturedSquare({1.0f, 1.0f}, 2, 2), settings, result), ScatterStatus::failed);
    ScatterMesh fewUVs = texturedSquare({1.0f}, 1, 1);
    fewUVs.densityTexture.cornerUVs.pop_back();
    EXPECT_EQ(scatterPoints(fewUVs, settings, result), ScatterStatus::failed);
    ScatterMesh both = texturedSquare({1.0f}, 1, 1);
    both.cornerWeights.assign(6, 1.0f);
    EXPECT_EQ(scatterPoints(both, settings, result), ScatterStatus::failed);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "ERROR the density texture does not hold width times height texels; no points computed\n"
                   "ERROR the density texture has no u and v for every triangle corner; no points computed\n"
                   "ERROR the density texture comes with corner weights as well: a mesh takes one density map; no "
                   "points computed\n");
}

}  // namespace
