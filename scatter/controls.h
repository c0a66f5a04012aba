// The scatter node's controls: their defaults and hard limits, in one place for the node, its compute and the tools
// that set them.
#pragma once

constexpr double kMinRadius = 0.001;
constexpr int kDefaultSeed = 1234;
constexpr int kDefaultPassCount = 5;
constexpr int kMinPassCount = 1;
constexpr int kMaxPassCount = 1000;
constexpr int kDefaultCandidateCount = 1000000;
constexpr int kMinCandidateCount = 1000;
// The cell table numbers its buckets with 32 bits, four per occupied cell, and every candidate may occupy a cell of
// its own.
constexpr int kMaxCandidateCount = 1073741823;
// The bake of a texture node that is not a file: texels along u and along v.
constexpr int kDefaultTextureResolution = 256;
constexpr int kMinTextureResolution = 16;
constexpr int kMaxTextureResolution = 8192;
