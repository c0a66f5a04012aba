#include "scatterRun.h"

#include <maya/M3dView.h>
#include <maya/MFnArrayAttrsData.h>
#include <maya/MObject.h>
#include <maya/MPlug.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <mayaStandin/host.h>
#include <mayaStandin/meshAndPoints.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>

#include "camera.h"
#include "errors.h"
#include "meshDrawing.h"

namespace kyscatter {
namespace {

std::string describe(const MStatus& status) { return status.errorString().asChar(); }

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

MObject meshData(const Mesh& mesh)
{
    MStatus status;
    MObject data = mayaStandin::meshData(mesh.points.data(), mesh.vertexCount(), mesh.counts, mesh.connects, &status);
    if (status != MS::kSuccess)
        throw Failure("the host does not take the mesh: " + describe(status));
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

Image drawPicture(const Mesh& mesh, const MObject& display, const PictureSettings& picture)
{
    mayaStandin::Viewport viewport(picture.width, picture.height);
    if (!viewport.valid())
        throw Failure("cannot open an off-screen GL viewport of " + std::to_string(picture.width) + "x" +
                      std::to_string(picture.height));
    viewport.makeCurrent();
    const Camera camera = frameCamera(picture.view, mesh, picture.width, picture.height);
    drawMeshFrame(mesh, camera);
    const MStatus status = mayaStandin::draw(display, viewport.view());
    if (status != MS::kSuccess)
        throw Failure("the display node cannot draw: " + describe(status));
    return imageFromGLRows(picture.width, picture.height, viewport.readPixels());
}

}  // namespace

ScatterResult runScatter(const Mesh& mesh, const ScatterSettings& settings)
{
    PluginSession session(settings.pluginPath, settings.quiet);
    const MObject scatter = makeNode("kyScatterPoints");
    const MObject display = makeNode("kyDisplayPoints");

    setPlug(scatter, "inMesh", meshData(mesh));
    setPlug(scatter, "radius", static_cast<float>(settings.radius));
    if (settings.box) {
        const char* const axes[3] = {"X", "Y", "Z"};
        for (int k = 0; k < 3; ++k) {
            setPlug(scatter, std::string("boundingBoxMin") + axes[k], static_cast<float>(settings.box->min[k]));
            setPlug(scatter, std::string("boundingBoxMax") + axes[k], static_cast<float>(settings.box->max[k]));
        }
    }
    setPlug(display, "pointSize", settings.pointSize);
    const MStatus connected = mayaStandin::connect(plugOf(scatter, "outPoints"), plugOf(display, "inPoints"));
    if (connected != MS::kSuccess)
        throw Failure("cannot connect outPoints to inPoints: " + describe(connected));

    ScatterResult result;
    MObject record;
    const auto started = std::chrono::steady_clock::now();
    const MStatus pulled = plugOf(scatter, "outPoints").getValue(record);
    result.computeSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (pulled != MS::kSuccess)
        throw Failure("the scatter compute failed: " + describe(pulled));
    result.points = positionsOf(record);

    if (settings.picture)
        result.picture = drawPicture(mesh, display, *settings.picture);
    return result;
}

}  // namespace kyscatter
