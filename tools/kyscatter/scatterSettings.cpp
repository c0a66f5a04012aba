#include "scatterSettings.h"

#include <algorithm>
#include <cmath>

#include "scatter/controls.h"
#include "scatter/pointCount.h"

namespace kyscatter {
namespace {

constexpr double kTargetPoints = 30000;

}  // namespace

double defaultRadius(double area) { return radiusForCount(area, kTargetPoints); }

ScatterSettings settingsFor(const Options& options, double area)
{
    ScatterSettings settings;
    settings.pluginPath = options.pluginPath;
    settings.controls = options.controls;
    settings.surfaceData = options.normals || options.glyphs != Glyphs::None || !options.attachPath.empty();
    settings.targetCount = options.count;
    settings.exactCount = options.exact;
    if (options.radius)
        settings.radius = *options.radius;
    else if (!options.count)
        settings.radius = defaultRadius(area);
    if (options.box) {
        const auto& b = *options.box;
        settings.box = Bounds{{b[0], b[1], b[2]}, {b[3], b[4], b[5]}};
    }
    settings.pointSize = options.pointSize;
    settings.quiet = options.quiet;
    if (!options.imagePath.empty())
        settings.picture =
            PictureSettings{options.width, options.height, options.view, options.viewport, options.glyphs};
    return settings;
}

}  // namespace kyscatter
