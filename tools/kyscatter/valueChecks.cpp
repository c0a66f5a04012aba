#include "valueChecks.h"

#include <cmath>
#include <limits>
#include <sstream>

#include "errors.h"
#include "scatter/controls.h"

namespace kyscatter {
namespace {

std::string number(double value)
{
    std::ostringstream text;
    text << value;
    return text.str();
}

}  // namespace

void checkFitsFloat(const std::string& name, double value)
{
    if (!std::isfinite(value))
        throw UsageError(name + ": '" + number(value) + "' is not a finite number");
    if (std::abs(value) > std::numeric_limits<float>::max())
        throw UsageError(name + ": " + number(value) + " is too large for the node's float attributes");
}

void checkRadius(const std::string& name, double radius)
{
    checkFitsFloat(name, radius);
    if (radius <= 0)
        throw UsageError(name + ": must be greater than 0, got " + number(radius));
    if (radius < kMinRadius)
        throw UsageError(name + ": " + number(radius) + " is below the scatter node's minimum of " +
                         number(kMinRadius));
}

void checkBox(const std::string& name, const std::vector<double>& box)
{
    static const char* const axes[3] = {"x", "y", "z"};
    if (box.size() != 6)
        throw UsageError(name + ": expected 6 numbers (min x y z, max x y z), got " + std::to_string(box.size()));
    for (double value : box)
        checkFitsFloat(name, value);
    for (int k = 0; k < 3; ++k)
        if (box[k] > box[k + 3])
            throw UsageError(name + ": min " + axes[k] + " (" + number(box[k]) + ") is above max " + axes[k] + " (" +
                             number(box[k + 3]) + ")");
}

void checkCount(const std::string& name, std::int64_t count)
{
    if (count < 1)
        throw UsageError(name + ": must be at least 1, got " + std::to_string(count));
}

void checkRange(const std::string& name, std::int64_t value, std::int64_t min, std::int64_t max)
{
    if (value < min || value > max)
        throw UsageError(name + ": " + std::to_string(value) + " not in range [" + std::to_string(min) + " - " +
                         std::to_string(max) + "]");
}

}  // namespace kyscatter
