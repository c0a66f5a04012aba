// The display locator's drawing in the legacy viewport and in Viewport 2.0, read back from GL's feedback mode and from
// the rendered pixels.
#include <cudaStandinControls.h>

#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "support/scatterHarness.h"

using harness::CapturedOutput;
using harness::Point;

namespace {

const int kSize = 256;
const float kExtent = 8.0f;  // the view shows -8..8 on every axis

struct Vertex {
    float x, y, z;
    float r, g, b;
};

struct Drawing {
    std::vector<std::pair<Vertex, Vertex>> lines;
    std::vector<Vertex> points;
    std::string err;
};

enum class Road { kLegacy, kViewport2 };

void PrintTo(Road road, std::ostream* os)
{
    *os << (road == Road::kLegacy ? "Legacy" : "Viewport2");
}

MStatus drawBy(Road road, const MObject& display, mayaStandin::Viewport& viewport)
{
    return road == Road::kLegacy ? mayaStandin::draw(display, viewport.view())
                                 : mayaStandin::drawViewport2(display, viewport);
}

void setUpView()
{
    glViewport(0, 0, kSize, kSize);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-kExtent, kExtent, -kExtent, kExtent, -kExtent, kExtent);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

// Window coordinates back to object coordinates, through the orthographic view above.
Vertex toObject(const float* v)
{
    return {v[0] / kSize * 2 * kExtent - kExtent, v[1] / kSize * 2 * kExtent - kExtent, kExtent * (1 - 2 * v[2]),
            v[3], v[4], v[5]};
}

Drawing drawInFeedback(Road road, const MObject& display, mayaStandin::Viewport& viewport)
{
    viewport.makeCurrent();
    setUpView();
    std::vector<GLfloat> buffer(1 << 22);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR, buffer.data());
    glRenderMode(GL_FEEDBACK);
    Drawing drawing;
    {
        CapturedOutput output;
        EXPECT_EQ(drawBy(road, display, viewport), MS::kSuccess);
        output.finish();
        drawing.err = output.err();
    }
    viewport.makeCurrent();
    const GLint used = glRenderMode(GL_RENDER);
    const int stride = 7;  // x, y, z and RGBA
    for (GLint i = 0; i < used;) {
        const GLint token = static_cast<GLint>(buffer[i++]);
        if (token == GL_POINT_TOKEN) {
            drawing.points.push_back(toObject(&buffer[i]));
            i += stride;
        } else if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
            drawing.lines.emplace_back(toObject(&buffer[i]), toObject(&buffer[i + stride]));
            i += 2 * stride;
        } else {
            ADD_FAILURE() << "unexpected feedback token " << token;
            break;
        }
    }
    return drawing;
}

// RGBA rows, bottom-up, of one draw on black; what the draw reports goes to `err`.
std::vector<unsigned char> render(Road road, const MObject& display, mayaStandin::Viewport& viewport,
                                  std::string* err = nullptr)
{
    viewport.makeCurrent();
    setUpView();
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    CapturedOutput output;
    EXPECT_EQ(drawBy(road, display, viewport), MS::kSuccess);
    output.finish();
    if (err)
        *err = output.err();
    return viewport.readPixels();
}

const unsigned char* pixelAt(const std::vector<unsigned char>& pixels, float x, float y)
{
    const int px = static_cast<int>((x + kExtent) / (2 * kExtent) * kSize);
    const int py = static_cast<int>((y + kExtent) / (2 * kExtent) * kSize);
    return &pixels[4 * (py * kSize + px)];
}

int bluePixels(const std::vector<unsigned char>& pixels)
{
    int count = 0;
    for (size_t i = 0; i < pixels.size(); i += 4)
        count += pixels[i + 2] > 200 && pixels[i] < 60;
    return count;
}

// The X axis runs along a pixel boundary: one of the two rows beside it is red.
bool redCrossDrawn(const std::vector<unsigned char>& pixels)
{
    const unsigned char* above = pixelAt(pixels, 0.5f, 0.03f);
    const unsigned char* below = pixelAt(pixels, 0.5f, -0.03f);
    return std::max(above[0], below[0]) > 200 && std::max(above[2], below[2]) < 60;
}

bool near(const Vertex& v, float x, float y, float z, float tolerance = 0.02f)
{
    return std::fabs(v.x - x) < tolerance && std::fabs(v.y - y) < tolerance && std::fabs(v.z - z) < tolerance;
}

void expectAxisCross(const Drawing& drawing)
{
    ASSERT_EQ(drawing.lines.size(), 3u);
    const float ends[3][6] = {{-1, 0, 0, 1, 0, 0}, {0, 0, -1, 0, 0, 1}, {0, -1, 0, 0, 1, 0}};
    for (int i = 0; i < 3; ++i) {
        const auto& [a, b] = drawing.lines[i];
        EXPECT_TRUE(near(a, ends[i][0], ends[i][1], ends[i][2])) << "line " << i;
        EXPECT_TRUE(near(b, ends[i][3], ends[i][4], ends[i][5])) << "line " << i;
        EXPECT_EQ(a.r, 1.0f);
        EXPECT_EQ(a.g, 0.0f);
        EXPECT_EQ(a.b, 0.0f);
    }
}

class Display : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        CapturedOutput quiet;
        ASSERT_EQ(mayaStandin::loadPlugin(harness::pluginPath()), MS::kSuccess);
    }
    static void TearDownTestSuite() { mayaStandin::unloadPlugin(harness::pluginPath()); }

    void SetUp() override
    {
        display_ = mayaStandin::createNode("kyDisplayPoints");
        ASSERT_TRUE(viewport_.valid());
    }
    void TearDown() override
    {
        mayaStandin::deleteNode(display_);
        mayaStandin::clearFaults();
        cudaStandin::clearFaults();
    }

    // A scatter node on a small sphere away from the axis cross, connected to the display node.
    void connectScatter()
    {
        scatter_.setMesh(harness::sphere(16, 32, 1.0f, {5.0f, 5.0f, 0.0f}));
        scatter_.setRadius(0.25f);
        ASSERT_EQ(mayaStandin::connect(scatter_.plug("outPoints"), mayaStandin::findPlug(display_, "inPoints")),
                  MS::kSuccess);
    }

    // A record of one point, away from the axis cross, set on inPoints.
    void setOnePoint()
    {
        MFnArrayAttrsData fn;
        MObject record = fn.create();
        fn.vectorArray("position").append(MVector(-4.0, -4.0, 0.0));
        ASSERT_EQ(mayaStandin::findPlug(display_, "inPoints").setValue(record), MS::kSuccess);
    }

    MObject display_;
    harness::ScatterNode scatter_;
    mayaStandin::Viewport viewport_{kSize, kSize};
};

// The same drawing through either road.
class DisplayBy : public Display, public ::testing::WithParamInterface<Road> {};

INSTANTIATE_TEST_SUITE_P(Roads, DisplayBy, ::testing::Values(Road::kLegacy, Road::kViewport2),
                         [](const ::testing::TestParamInfo<Road>& info) {
                             return ::testing::PrintToString(info.param);
                         });

TEST_P(DisplayBy, NothingConnectedDrawsOnlyTheAxisCross)
{
    const Drawing drawing = drawInFeedback(GetParam(), display_, viewport_);
    expectAxisCross(drawing);
    EXPECT_TRUE(drawing.points.empty());
    EXPECT_EQ(drawing.err, "");
}

TEST_P(DisplayBy, DrawPullsTheComputeAndDrawsOneBluePointPerRecordEntry)
{
    connectScatter();
    const Drawing drawing = drawInFeedback(GetParam(), display_, viewport_);
    expectAxisCross(drawing);
    std::vector<Point> record;
    ASSERT_EQ(scatter_.pull(&record), MS::kSuccess);
    ASSERT_GT(record.size(), 20u);
    ASSERT_EQ(drawing.points.size(), record.size());
    for (size_t i = 0; i < record.size(); ++i) {
        const Vertex& v = drawing.points[i];
        ASSERT_TRUE(near(v, record[i][0], record[i][1], record[i][2])) << "point " << i << " in record order";
        ASSERT_EQ(v.r, 0.0f);
        ASSERT_EQ(v.g, 0.0f);
        ASSERT_EQ(v.b, 1.0f);
    }
    EXPECT_EQ(mayaStandin::computeCount(scatter_.node()), 1);
    EXPECT_EQ(drawInFeedback(GetParam(), display_, viewport_).points.size(), record.size());
    EXPECT_EQ(mayaStandin::computeCount(scatter_.node()), 1) << "a clean record is not computed again";
}

TEST_P(DisplayBy, PointsLandOnThePixelsTheyProjectTo)
{
    connectScatter();
    mayaStandin::findPlug(display_, "pointSize").setValue(3);
    const std::vector<unsigned char> pixels = render(GetParam(), display_, viewport_);
    std::vector<Point> record;
    scatter_.pull(&record);
    ASSERT_FALSE(record.empty());
    for (const Point& p : record) {
        const unsigned char* rgba = pixelAt(pixels, p[0], p[1]);
        ASSERT_GT(rgba[2], 200) << "blue at " << p[0] << ", " << p[1];
        ASSERT_LT(rgba[0], 60);
    }
    EXPECT_TRUE(redCrossDrawn(pixels));
    const unsigned char* empty = pixelAt(pixels, -5.0f, -5.0f);
    EXPECT_EQ(empty[0] + empty[1] + empty[2], 0) << "nothing drawn where there are no points";
}

TEST_P(DisplayBy, PointSizeIsTheSideOfEachPointsSquare)
{
    setOnePoint();
    EXPECT_EQ(bluePixels(render(GetParam(), display_, viewport_)), 4) << "the default size, 2";
    for (int size : {1, 7, 10}) {
        mayaStandin::findPlug(display_, "pointSize").setValue(size);
        EXPECT_EQ(bluePixels(render(GetParam(), display_, viewport_)), size * size) << size;
    }
}

TEST_P(DisplayBy, FailingComputeLeavesThePreviousPointsOnScreen)
{
    connectScatter();
    const Drawing before = drawInFeedback(GetParam(), display_, viewport_);
    ASSERT_FALSE(before.points.empty());
    scatter_.setRadius(0.2f);
    cudaStandin::setFreeMemoryForQuery(0, 0);  // the first budget check of the next compute fails
    const Drawing after = drawInFeedback(GetParam(), display_, viewport_);
    EXPECT_NE(after.err.find("Not enough memory on GPU"), std::string::npos) << after.err;
    ASSERT_EQ(after.points.size(), before.points.size());
    for (size_t i = 0; i < before.points.size(); ++i)
        ASSERT_TRUE(near(after.points[i], before.points[i].x, before.points[i].y, before.points[i].z));
}

TEST_P(DisplayBy, FailedReadsAreReportedAndTheDrawGoesOn)
{
    setOnePoint();
    mayaStandin::findPlug(display_, "pointSize").setValue(5);
    struct Case {
        const char* call;
        int skip;
        const char* prefix;
        int bluePixels;  // the default size, 2, when the size is not read; none when the points are not
    };
    const Case cases[] = {
        {"MFnDependencyNode::findPlug", 0, "dagFn.findPlug(pointSize, &stat);: ", 4},
        {"MPlug::getValue", 0, "inPtSizePlug.getValue(ptSize);: ", 4},
        {"MFnDependencyNode::findPlug", 1, "plug: ", 0},
        {"MPlug::getValue", 1, "ERROR in inPointsPlug.getValue(vectorArrayData);: ", 0},
        {"MFnArrayAttrsData::MFnArrayAttrsData", 0, "ERROR in fnArrayAttrsData(vectorArrayData, &stat);: ", 0},
        {"MFnArrayAttrsData::getVectorData", 0, "points = fnArrayAttrsData.getVectorData('position', &stat);: ", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call + std::string(" after ") + std::to_string(c.skip));
        mayaStandin::failCall(c.call, MStatus::kFailure, c.skip);
        std::string err;
        const std::vector<unsigned char> pixels = render(GetParam(), display_, viewport_, &err);
        mayaStandin::clearFaults();
        EXPECT_EQ(err.find(c.prefix), 0u) << err;
        EXPECT_TRUE(redCrossDrawn(pixels));
        EXPECT_EQ(bluePixels(pixels), c.bluePixels);
    }
    std::string err;
    EXPECT_EQ(bluePixels(render(GetParam(), display_, viewport_, &err)), 25) << "the reads that failed once read again";
    EXPECT_EQ(err, "");
}

TEST_F(Display, BothRoadsGiveTheSamePicture)
{
    connectScatter();
    mayaStandin::findPlug(display_, "pointSize").setValue(3);
    const std::vector<unsigned char> legacy = render(Road::kLegacy, display_, viewport_);
    EXPECT_GT(bluePixels(legacy), 20);
    EXPECT_TRUE(legacy == render(Road::kViewport2, display_, viewport_));
}

TEST_F(Display, Viewport2ReportsAFailedPointDrawAndKeepsTheCross)
{
    setOnePoint();
    mayaStandin::failCall("MUIDrawManager::points");
    std::string err;
    const std::vector<unsigned char> pixels = render(Road::kViewport2, display_, viewport_, &err);
    EXPECT_EQ(err.rfind("drawManager.points(data->points, false);: ", 0), 0u) << err;
    EXPECT_TRUE(redCrossDrawn(pixels));
    EXPECT_EQ(bluePixels(pixels), 0);
}

}  // namespace
