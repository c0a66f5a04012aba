#pragma once

#include <cstdint>

// The scatter node's defaults and hard limits, as its attributes declare them. The tool checks the
// command line against them before the plug-in is loaded, so a value the node would clamp without a
// word is refused with a message instead.
namespace kyscatter::node {

constexpr double kMinimumRadius = 0.001;

constexpr int kDefaultSeed = 1234;

constexpr int kDefaultPasses = 5;
constexpr int kMinimumPasses = 1;
constexpr int kMaximumPasses = 1000;

constexpr int kDefaultCandidates = 1000000;
constexpr int kMinimumCandidates = 1000;
constexpr int kMaximumCandidates = 1073741823;

}  // namespace kyscatter::node
