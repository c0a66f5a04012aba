// The stable candidate layout: every triangle draws its own candidates, one in each of its strata, so that an edit
// moves only the candidates of the triangles it changes; each cell tries its candidates in the order of their own
// random keys, then further draws of their strata, all in one launch of its phase.
#pragma once

#include <vector>

#include "stages.h"

// Candidates per radius² of surface: stratified, each with further draws of its stratum, enough that hardly any room
// for another point is left.
constexpr double kStableCandidatesPerSquareRadius = 30.0;
// The layout may draw this many candidates for each of candidateCount: its cells share one table and its candidates
// keep the global layout's arrays, so that the memory guard lets it keep some 100,000 points stable at the default
// count, where it needs about 43 candidates a point.
constexpr unsigned long long kStableCandidatesPerCount = 5;

// The mesh on the device, as the layout reads it.
struct DeviceTriangles {
    const float* points;
    const int* triIds;
    int triCount;
};

// Each triangle's candidates, their cell keys and their trial keys. More than candidateCount candidates are not
// drawn: the density is lowered for the whole mesh until they fit, with a warning.
ScatterStatus layStableCandidates(const DeviceTriangles& mesh, const ScatterGrid& grid, const ScatterSettings& settings,
                                  CandidateArrays& candidates);

// Puts `map` in the order of the trial keys and the cell keys with it, so that the stable sort by cell that follows
// leaves each cell's candidates in trial order. The trial keys are spent.
void orderByTrialKey(CandidateArrays& candidates, thrust::device_vector<unsigned int>& map);

// One launch per phase in which every empty cell tries all its candidates in turn, and then up to `passes` - 1
// further draws of each of their strata: a second pass would find nothing left to try.
ScatterStatus chooseInTurn(CandidateArrays& c, const ScatterGrid& grid, const ScatterSettings& settings,
                           SortedCandidates& sorted, CellTable& table, PhaseRuns& phases,
                           const std::vector<unsigned int>& cellCountInPhase, const std::vector<unsigned int>& phaseEnd);
