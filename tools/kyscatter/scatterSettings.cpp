#include "scatterSettings.h"

#include <algorithm>
#include <cmath>

namespace kyscatter {
namespace {

constexpr double kTargetPoints = 30000;
// Points per radius-squared of area that the plug-in's sampling reaches.
constexpr double kPointsPerSquareRadius = 0.7;
constexpr double kMinimumRadius = 0.001;

}  // namespace

double defaultRadius(double area)
{
    return std::max(kMinimumRadius, std::sqrt(kPointsPerSquareRadius * area / kTargetPoints));
}

ScatterSettings settingsFor(const Options& options, double area)
{
    ScatterSettings settings;
    settings.pluginPath = options.pluginPath;
    settings.radius = options.radius ? *options.radius : defaultRadius(area);
    if (options.box) {
        const auto& b = *options.box;
        settings.box = Bounds{{b[0], b[1], b[2]}, {b[3], b[4], b[5]}};
    }
    settings.pointSize = options.pointSize;
    settings.quiet = options.quiet;
    if (!options.imagePath.empty())
        settings.picture = PictureSettings{options.width, options.height, options.view};
    return settings;
}

}  // namespace kyscatter
