// The scatter node's device kernels: one thread per element over one-dimensional grids, each guarding its index.
#pragma once

#include <cuda_runtime.h>

#include "strata.h"

// Surface sampling.
__global__ void calculateArea(const float* points, const int* triIds, float* areas, int numTris);
__device__ int getTriIndex(const float* cumulativeArea, int triCount, float random, float totalArea);
__global__ void generateRandomPoints(const float* randoms, float* x, float* y, float* z, float* u, float* v, int* triId,
                                     unsigned int* cellId, const float* meshPoints, const int* triIds,
                                     const float* cumulativeArea, float totalArea, int triCount, int numElements,
                                     float cellSize, float bboxMinX, float bboxMinY, float bboxMinZ, int stepZ,
                                     int stepY);

// Cell grid over the candidates sorted by cell key.
__global__ void detectCells(const unsigned int* cellId, unsigned int* aux, int numElements);
// The table is built over the occupied cells, each given by its first sorted position.
__global__ void countBucketCells(const unsigned int* cellStarts, const unsigned int* pointCellId,
                                 unsigned int* tabBucketIndex, unsigned int hashTableSize, int cellCount);
__global__ void offerCellsToSlot(const unsigned int* cellStarts, const unsigned int* pointCellId,
                                 unsigned int* const* tabKeys, unsigned int slot, unsigned int hashTableSize,
                                 int cellCount);
__global__ void fillHashTable(const unsigned int* cellStarts, const unsigned int* pointCellId,
                              unsigned int* const* tabKeys, unsigned int* const* tabAddress, unsigned int slot,
                              unsigned int hashTableSize, int cellCount);
__global__ void getCells(unsigned int* cells, const unsigned int* cellIndex, int numElements);

// Phased selection.
__global__ void calculateCellPhase(unsigned int* cellPhase, const unsigned int* cellIndex, float cellSize,
                                   float phasesBoxSize, float bboxMinX, float bboxMinY, float bboxMinZ, const float* x,
                                   const float* y, const float* z, const unsigned int* map, int numElements);
__global__ void countCellsInPhases(unsigned int* cellCountInPhase, const unsigned int* cellPhase, int numElements);
__global__ void chooseSamplesInCells(const unsigned int* cellIndexes, unsigned int rangeStart, unsigned int cellCount,
                                     const unsigned int* bucketIndex, unsigned int* const* tabKeys,
                                     unsigned int* const* tabAddress, unsigned int* const* tabSamples,
                                     unsigned int stepZ, unsigned int stepY, short t, float r, const float* x,
                                     const float* y, const float* z, const unsigned int* pointCellIds,
                                     const unsigned int* map, unsigned int hashTableSize, int randomsNumber,
                                     bool strictRadius, const float* candidateRadii,
                                     const unsigned int* blockedCandidates);
__global__ void chooseSamplesInTurn(const unsigned int* phaseCells, unsigned int rangeStart, unsigned int cellCount,
                                    StableCells cells, StrataView strata, GridFrame grid, float r, bool strictRadius,
                                    unsigned int draws);

// Collection of the accepted samples.
__global__ void flattenSamples(unsigned int* const* tabSamples, unsigned int hashTableSize, unsigned int* samples);
__global__ void sampleCellKeys(const unsigned int* samples, unsigned int sampleCount, const float* x, const float* y,
                               const float* z, float cellSize, float bboxMinX, float bboxMinY, float bboxMinZ,
                               int stepZ, int stepY, unsigned int* keys);
__global__ void gatherSamples(const unsigned int* samples, unsigned int sampleCount, const float* x, const float* y,
                              const float* z, float* points);
__global__ void gatherSurfaceSamples(const unsigned int* samples, unsigned int sampleCount, const int* triId,
                                     const float* u, const float* v, int* sampleTriId, float* sampleU, float* sampleV);

// Density map.
// drawKeys, where given, key each candidate's draws in place of its number (the stable layout's trial keys).
__global__ void weighCandidates(const float* cornerWeights, const int* triId, const float* u, const float* v,
                                const unsigned int* drawKeys, unsigned int seed, float* weight, unsigned int* level,
                                int numElements);
// The weights from a texture of one channel, width by height, at the UVs of each triangle's corners (six floats each).
__global__ void weighCandidatesByTexture(const float* texels, int width, int height, const float* cornerUVs,
                                         const int* triId, const float* u, const float* v,
                                         const unsigned int* drawKeys, unsigned int seed, float* weight,
                                         unsigned int* level, int numElements);
__global__ void gatherLevelCandidates(const unsigned int* members, int memberCount, const float* x, const float* y,
                                      const float* z, const float* weight, float radius, float* levelX, float* levelY,
                                      float* levelZ, unsigned int* levelCellId, float* levelRadius, float cellSize,
                                      float bboxMinX, float bboxMinY, float bboxMinZ, int stepZ, int stepY);
__global__ void blockNearSamples(const unsigned int* samples, unsigned int sampleCount, const float* sampleX,
                                 const float* sampleY, const float* sampleZ, const unsigned int* bucketIndex,
                                 unsigned int* const* tabKeys, unsigned int* const* tabAddress,
                                 unsigned int hashTableSize, const unsigned int* pointCellIds, const unsigned int* map,
                                 int candidateCount, const float* x, const float* y, const float* z,
                                 const float* radii, unsigned int* blocked, float cellSize, float bboxMinX,
                                 float bboxMinY, float bboxMinZ, int stepZ, int stepY);
__global__ void levelSamplesAsCandidates(unsigned int* samples, unsigned int sampleCount, const unsigned int* members,
                                         const float* weight, const unsigned int* drawKeys, unsigned int seed);
// The stable candidate layout: each triangle's own candidates, one in each of its strata.
__global__ void countStableCandidates(const float* points, const int* triIds, int triCount, float perArea,
                                      unsigned int seed, unsigned int* counts);
__global__ void markTriangleStarts(const unsigned int* counts, const unsigned int* offsets, int triCount, int* triId);
__global__ void placeStableCandidates(StrataView strata, GridFrame grid, int numElements, const int* triId, float* x,
                                      float* y, float* z, float* u, float* v, unsigned int* cellId,
                                      unsigned int* trialKey);
// The stable layout keeps only each candidate's keys and draws it again where it is needed.
__global__ void keyStableCandidates(StrataView strata, GridFrame grid, int numElements, unsigned int* cellId,
                                    unsigned int* trialKey);
__global__ void indexStableCells(StableCells cells, const unsigned int* sortedKeys);
__global__ void phaseStableCells(StableCells cells, StrataView strata, GridFrame grid, unsigned int* cellPhase);
__global__ void listKeptCells(StableCells cells, unsigned int* kept);
__global__ void stableSampleSurface(const unsigned int* kept, unsigned int sampleCount, StableCells cells,
                                    StrataView strata, GridFrame grid, unsigned int* ids, int* triId, float* u,
                                    float* v);
