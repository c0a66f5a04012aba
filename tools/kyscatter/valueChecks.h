// The checks of the scatter node's values that the tool makes on its command line and the Python package on its
// arguments, named as each names them ("--radius", "radius"). Each throws UsageError with a one-line message.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kyscatter {

// A finite number that the node's single-precision attributes hold.
void checkFitsFloat(const std::string& name, double value);

// Above 0 and not below the node's minimum, which the node would raise it to without a word.
void checkRadius(const std::string& name, double radius);

// Min x y z, max x y z: each a float, no min above its max.
void checkBox(const std::string& name, const std::vector<double>& box);

// At least one point.
void checkCount(const std::string& name, std::int64_t count);

// A value of a bounded control of the node, from min to max.
void checkRange(const std::string& name, std::int64_t value, std::int64_t min, std::int64_t max);

}  // namespace kyscatter
