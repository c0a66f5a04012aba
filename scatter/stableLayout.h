// The stable candidate layout: every triangle draws its own candidates, one in each of its strata, so that an edit
// moves only the candidates of the triangles it changes; each cell tries its candidates in the order of their own
// random keys, then further draws of their strata, all in one launch of its phase.
#pragma once

#include <vector>

#include "stages.h"

// Candidates per radius² of surface: stratified, each with further draws of its stratum, enough that hardly any room
// for another point is left.
constexpr double kStableCandidatesPerSquareRadius = 30.0;
// The layout may draw this many candidates for each of candidateCount, at about half the bytes of a global candidate
// each, so that the memory guard lets it keep some 100,000 points stable at the default count, where it needs about
// 43 candidates a point.
constexpr unsigned long long kStableCandidatesPerCount = 5;

// The mesh on the device, as the layout reads it.
struct DeviceTriangles {
    const float* points;
    const int* triIds;
    int triCount;
};

// Each triangle's candidates, their cell keys and their trial keys. More than kStableCandidatesPerCount times
// candidateCount candidates are not drawn: the density is lowered for the whole mesh until they fit, with a warning.
// A density map and a layered grid weigh and file these; without them the layout keeps only the keys (below).
ScatterStatus layStableCandidates(const DeviceTriangles& mesh, const ScatterGrid& grid, const ScatterSettings& settings,
                                  CandidateArrays& candidates);

// The places of the `total` candidates of the strata already counted in `candidates`.
ScatterStatus placeCountedCandidates(const DeviceTriangles& mesh, const ScatterGrid& grid,
                                     const ScatterSettings& settings, unsigned int total, CandidateArrays& candidates);

// The same candidates as their cell keys and trial keys alone: 8 bytes each, where their places take 32. Each is drawn
// again from its stratum wherever it is needed.
ScatterStatus layStableKeys(const DeviceTriangles& mesh, const ScatterGrid& grid, const ScatterSettings& settings,
                            CandidateArrays& candidates);

// Puts `map` in the order of the trial keys and the cell keys with it, so that the stable sort by cell that follows
// leaves each cell's candidates in trial order. The trial keys are spent.
void orderByTrialKey(CandidateArrays& candidates, thrust::device_vector<unsigned int>& map);

// The second half of a compute for candidates laid by layStableKeys: one launch per phase in which every cell tries
// all its candidates in turn, and then up to `passes` - 1 further draws of each of their strata.
ScatterStatus selectStableSamples(const ScatterMesh& mesh, CandidateArrays& candidates, const ScatterGrid& grid,
                                  const ScatterSettings& settings, ScatterResult& result, StageObserver& observer);
