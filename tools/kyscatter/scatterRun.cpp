#include "scatterRun.h"

#include <maya/M3dView.h>
#include <maya/MFnArrayAttrsData.h>
#include <maya/MObject.h>
#include <maya/MPlug.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MVectorArray.h>
#include <mayaStandin/host.h>
#include <mayaStandin/meshAndPoints.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>

#include "camera.h"
#include "errors.h"
#include "glyphs.h"
#include "meshDrawing.h"
#include "scatter/controls.h"
#include "scatter/pointCount.h"

namespace kyscatter {
namespace {

std::string describe(const MStatus& status) { return status.errorString().asChar(); }

using Clock = std::chrono::steady_clock;

struct Computed {
    std::vector<Point> points;
    std::vector<Point> normals;
    std::vector<Point> rotations;
    double seconds = 0;
};

// Sends the process's standard output to /dev/null while it lives; the plug-in writes there with
// both printf and std::cout.
class SilencedStdout {
public:
    SilencedStdout()
    {
        std::cout.flush();
        std::fflush(stdout);
        saved_ = dup(STDOUT_FILENO);
        const int sink = open("/dev/null", O_WRONLY);
        if (saved_ >= 0 && sink >= 0)
            dup2(sink, STDOUT_FILENO);
        if (sink >= 0)
            close(sink);
    }
    ~SilencedStdout()
    {
        std::cout.flush();
        std::fflush(stdout);
        if (saved_ >= 0) {
            dup2(saved_, STDOUT_FILENO);
            close(saved_);
        }
    }
    SilencedStdout(const SilencedStdout&) = delete;
    SilencedStdout& operator=(const SilencedStdout&) = delete;

private:
    int saved_;
};

class PluginSession {
public:
    PluginSession(const std::string& path, bool quiet) : path_(path)
    {
        if (path.empty())
            throw Failure("this kyscatter was built without the plug-in; name its library with --plugin PATH");
        if (!std::filesystem::exists(path))
            throw Failure("cannot load the plug-in '" + path + "': no such file");
        MStatus status;
        if (quiet) {
            // The plug-in greets on standard output when it loads; batch runs want silence there.
            // Its failure reports go to standard error and stay.
            SilencedStdout silence;
            status = mayaStandin::loadPlugin(path);
        } else {
            status = mayaStandin::loadPlugin(path);
        }
        if (status != MS::kSuccess)
            throw Failure("cannot load the plug-in '" + path + "': " + describe(status));
    }
    ~PluginSession() { mayaStandin::unloadPlugin(path_); }
    PluginSession(const PluginSession&) = delete;
    PluginSession& operator=(const PluginSession&) = delete;

private:
    std::string path_;
};

MObject makeNode(const std::string& type)
{
    MStatus status;
    MObject node = mayaStandin::createNode(type, &status);
    if (status != MS::kSuccess)
        throw Failure("cannot create a " + type + " node: " + describe(status));
    return node;
}

MPlug plugOf(const MObject& node, const std::string& attribute)
{
    MStatus status;
    MPlug plug = mayaStandin::findPlug(node, attribute, &status);
    if (status != MS::kSuccess)
        throw Failure("the node has no attribute " + attribute + ": " + describe(status));
    return plug;
}

template <typename Value>
void setPlug(const MObject& node, const std::string& attribute, Value value)
{
    const MStatus status = plugOf(node, attribute).setValue(value);
    if (status != MS::kSuccess)
        throw Failure("cannot set " + attribute + ": " + describe(status));
}

// The mesh, with its vertex colours as its current colour set where it has them, as Maya names a mesh's first.
MObject meshData(const Mesh& mesh)
{
    MStatus status;
    MObject data = mayaStandin::meshData(mesh.points.data(), mesh.vertexCount(), mesh.counts, mesh.connects, &status);
    if (status != MS::kSuccess)
        throw Failure("the host does not take the mesh: " + describe(status));
    if (!mesh.cornerColors.empty())
        mayaStandin::addColorSet(data, "colorSet1", mesh.cornerColors, true, &status);
    if (status != MS::kSuccess)
        throw Failure("the host does not take the mesh's colours: " + describe(status));
    if (!mesh.cornerUVs.empty())
        mayaStandin::addUVSet(data, "map1", mesh.cornerUVs, true, &status);
    if (status != MS::kSuccess)
        throw Failure("the host does not take the mesh's UVs: " + describe(status));
    return data;
}

std::vector<Point> positionsOf(const MObject& record)
{
    MStatus status;
    MFnArrayAttrsData recordFn(record, &status);
    if (status != MS::kSuccess)
        throw Failure("outPoints holds no point record: " + describe(status));
    std::vector<Point> points = mayaStandin::recordPositions(record, &status);
    if (status != MS::kSuccess)
        throw Failure("the point record has no position channel: " + describe(status));
    return points;
}

// A vector channel of the surface data, one value per point.
std::vector<Point> channelOf(const MObject& record, const char* name, std::size_t count)
{
    MStatus status;
    MFnArrayAttrsData recordFn(record, &status);
    const MVectorArray channel = recordFn.getVectorData(name, &status);
    if (status != MS::kSuccess)
        throw Failure(std::string("the point record has no ") + name + " channel: " + describe(status));
    if (channel.length() != count)
        throw Failure(std::string("the point record's ") + name + " channel holds " +
                      std::to_string(channel.length()) + " values for " + std::to_string(count) + " points");
    std::vector<Point> values;
    values.reserve(count);
    for (unsigned int i = 0; i < channel.length(); ++i)
        values.push_back({channel[i].x, channel[i].y, channel[i].z});
    return values;
}

MStatus drawDisplay(const MObject& display, mayaStandin::Viewport& viewport, ViewportRoad road)
{
    if (road == ViewportRoad::Legacy)
        return mayaStandin::draw(display, viewport.view());
    return mayaStandin::drawViewport2(display, viewport);
}

Image drawPicture(const Mesh& mesh, const MObject& display, const PictureSettings& picture,
                  const GlyphGeometry& glyphs)
{
    mayaStandin::Viewport viewport(picture.width, picture.height);
    if (!viewport.valid())
        throw Failure("cannot open an off-screen GL viewport of " + std::to_string(picture.width) + "x" +
                      std::to_string(picture.height));
    viewport.makeCurrent();
    const Camera camera = frameCamera(picture.view, mesh, picture.width, picture.height);
    drawMeshFrame(mesh, camera);
    drawGlyphs(glyphs);
    const MStatus status = drawDisplay(display, viewport, picture.viewport);
    if (status != MS::kSuccess)
        throw Failure("the display node cannot draw: " + describe(status));
    return imageFromGLRows(picture.width, picture.height, viewport.readPixels());
}

void connectPlugs(const MObject& source, const MObject& destination, const char* attribute)
{
    const MStatus connected = mayaStandin::connect(plugOf(source, "outPoints"), plugOf(destination, attribute));
    if (connected != MS::kSuccess)
        throw Failure(std::string("cannot connect outPoints to ") + attribute + ": " + describe(connected));
}

// The plug-in says on standard output which road it computes on; batch runs want silence there.
MStatus pullRecord(const MObject& node, MObject& record, bool quiet)
{
    if (!quiet)
        return plugOf(node, "outPoints").getValue(record);
    SilencedStdout silence;
    return plugOf(node, "outPoints").getValue(record);
}

// Pulls a node's outPoints and reads its record: the positions, and the normals and rotations when asked for.
Computed pullPoints(const MObject& node, const std::string& what, bool surfaceData, bool quiet)
{
    Computed computed;
    MObject record;
    const Clock::time_point started = Clock::now();
    const MStatus pulled = pullRecord(node, record, quiet);
    computed.seconds = std::chrono::duration<double>(Clock::now() - started).count();
    if (pulled != MS::kSuccess)
        throw Failure("the " + what + " compute failed: " + describe(pulled));
    computed.points = positionsOf(record);
    if (surfaceData) {
        computed.normals = channelOf(record, "normal", computed.points.size());
        computed.rotations = channelOf(record, "rotation", computed.points.size());
    }
    return computed;
}

// The nodes as Maya would hold them, alive while the plug-in is loaded; every compute reuses them.
class ScatterGraph {
public:
    ScatterGraph(const Mesh& mesh, const ScatterSettings& settings, const Mesh* deformed)
        : session_(settings.pluginPath, settings.quiet),
          scatter_(makeNode("kyScatterPoints")),
          display_(makeNode("kyDisplayPoints")),
          attach_(deformed != nullptr ? makeNode("kyAttachPoints") : MObject()),
          surfaceData_(settings.surfaceData),
          quiet_(settings.quiet)
    {
        setPlug(scatter_, "inMesh", meshData(mesh));
        if (settings.box) {
            const char* const axes[3] = {"X", "Y", "Z"};
            for (int k = 0; k < 3; ++k) {
                setPlug(scatter_, std::string("boundingBoxMin") + axes[k], static_cast<float>(settings.box->min[k]));
                setPlug(scatter_, std::string("boundingBoxMax") + axes[k], static_cast<float>(settings.box->max[k]));
            }
        }
        setControls(settings.controls);
        if (settings.surfaceData)
            setPlug(scatter_, "surfaceData", 1);
        setPlug(display_, "pointSize", settings.pointSize);
        if (deformed != nullptr) {
            setPlug(attach_, "inMesh", meshData(*deformed));
            connectPlugs(scatter_, attach_, "inPoints");
            connectPlugs(attach_, display_, "inPoints");
        } else {
            connectPlugs(scatter_, display_, "inPoints");
        }
    }

    // Sets the radius, unless the node searches it, and pulls outPoints, as the display node would; its surface data
    // only where it is the result.
    Computed compute(std::optional<double> radius)
    {
        if (radius)
            setPlug(scatter_, "radius", static_cast<float>(*radius));
        return pullPoints(scatter_, "scatter", surfaceData_ && attach_.isNull(), quiet_);
    }

    // The points carried onto the deformed mesh, with their surface data there.
    Computed attach() { return pullPoints(attach_, "attach", true, quiet_); }

    double radiusUsed() const
    {
        double value = 0;
        const MStatus status = plugOf(scatter_, "radiusUsed").getValue(value);
        if (status != MS::kSuccess)
            throw Failure("cannot read radiusUsed: " + describe(status));
        return value;
    }

    void setPointCount(std::int64_t count) { setPlug(scatter_, "pointCount", static_cast<int>(count)); }
    const MObject& display() const { return display_; }

private:
    void setControls(const NodeControls& controls)
    {
        if (controls.seed)
            setPlug(scatter_, "seed", *controls.seed);
        if (controls.passes)
            setPlug(scatter_, "passes", *controls.passes);
        if (controls.candidates)
            setPlug(scatter_, "candidateCount", *controls.candidates);
        if (controls.strict)
            setPlug(scatter_, "strictRadius", 1);
        if (controls.stable)
            setPlug(scatter_, "stableLayout", 1);
        if (controls.device)
            setPlug(scatter_, "computeDevice", fieldValue(kDeviceFields, *controls.device));
        if (controls.density) {
            setPlug(scatter_, "densityMap", 1);
            setPlug(scatter_, "densityChannel", fieldValue(kChannelFields, *controls.density));
        }
        if (controls.densityTexture)
            readTexture(*controls.densityTexture);
    }

    // A file texture of the image, as an artist connects one in Maya.
    void readTexture(const std::string& image)
    {
        texture_ = makeNode("file");
        setPlug(texture_, "fileTextureName", MString(image.c_str()));
        const MStatus connected = mayaStandin::connect(plugOf(texture_, "outColor"), plugOf(scatter_, "densityTexture"));
        if (connected != MS::kSuccess)
            throw Failure("cannot connect the file texture to densityTexture: " + describe(connected));
        setPlug(scatter_, "densityMap", 1);
        setPlug(scatter_, "densitySource", 1);
    }

    PluginSession session_;
    MObject scatter_;
    MObject display_;
    MObject attach_;  // null without a deformed mesh
    MObject texture_;  // null without a density texture
    bool surfaceData_;
    bool quiet_;
};

// The node searches its radius for the target count; the radius it found is its radiusUsed. An exact count has it
// search a little above the target; the surplus is dropped once the points are final (keepExact).
Computed computeForCount(ScatterGraph& graph, const ScatterSettings& settings, ScatterResult& result)
{
    const std::int64_t target = *settings.targetCount;
    const int candidates = settings.controls.candidates.value_or(kDefaultCandidateCount);
    graph.setPointCount(settings.exactCount && target <= candidates ? exactCountAim(target, candidates) : target);
    Computed computed;
    try {
        computed = graph.compute(std::nullopt);
    } catch (const Failure& failure) {
        throw Failure("--count " + std::to_string(target) + ": " + failure.what());
    }
    result.radius = graph.radiusUsed();
    const double reached = static_cast<double>(computed.points.size());
    const bool within = std::abs(reached - static_cast<double>(target)) <= kCountTolerance * static_cast<double>(target);
    result.search = CountSearchReport{target, within};
    return computed;
}

// The points an exact count keeps, with their normals and rotations, as the count search keeps them.
void keepExact(std::int64_t target, double radius, Computed& computed)
{
    const std::size_t reached = computed.points.size();
    const std::string shortfall = exactCountShortfall(target, reached, radius);
    if (!shortfall.empty())
        throw Failure("--count " + std::to_string(target) + " --exact: " + shortfall);
    for (std::vector<Point>* values : {&computed.points, &computed.normals, &computed.rotations}) {
        if (values->size() != reached)
            continue;
        std::vector<Point> kept;
        kept.reserve(static_cast<std::size_t>(target));
        for (std::size_t i = 0; i < reached; ++i)
            if (keptByExactCount(i, reached, static_cast<std::size_t>(target)))
                kept.push_back((*values)[i]);
        *values = std::move(kept);
    }
}

}  // namespace

ScatterResult runScatter(const Mesh& mesh, const ScatterSettings& settings, const Mesh* deformed)
{
    ScatterGraph graph(mesh, settings, deformed);
    ScatterResult result;
    result.radius = settings.radius;
    Computed computed =
        settings.targetCount ? computeForCount(graph, settings, result) : graph.compute(settings.radius);
    result.computeSeconds = computed.seconds;
    if (deformed != nullptr) {
        computed = graph.attach();
        result.attachSeconds = computed.seconds;
    }
    if (settings.targetCount && settings.exactCount) {
        keepExact(*settings.targetCount, result.radius, computed);
        result.search->withinTolerance = true;
    }
    result.points = std::move(computed.points);
    result.normals = std::move(computed.normals);
    result.rotations = std::move(computed.rotations);
    if (settings.picture) {
        const PictureSettings& picture = *settings.picture;
        // Sized from the radius the points were computed with, so that they show at any scale without meeting.
        const GlyphGeometry glyphs = glyphGeometry(picture.glyphs, result.points, result.rotations, result.radius);
        result.picture = drawPicture(deformed != nullptr ? *deformed : mesh, graph.display(), picture, glyphs);
    }
    return result;
}

}  // namespace kyscatter
