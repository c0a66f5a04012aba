// Scatter nodes evaluated on several threads at once, as Maya's parallel evaluation does.
#include <cudaStandinControls.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/pluginTest.h"

using harness::CapturedOutput;
using harness::Mesh;
using harness::Point;
using harness::ScatterNode;

namespace {

class Parallel : public harness::PluginTest {};

struct Inputs {
    Mesh mesh;
    float radius;
};

std::vector<Inputs> fourNodesInputs()
{
    return {{harness::sphere(30, 60, 2.0f), 0.2f},
            {harness::grid(50, 40, 8.0f), 0.25f},
            {harness::sphere(16, 32, 1.0f, {5.0f, -2.0f, 1.0f}), 0.05f},
            {harness::grid(20, 20, 3.0f, 1.0f), 0.4f}};
}

std::vector<Point> computedAlone(const Inputs& inputs)
{
    ScatterNode node;
    node.setMesh(inputs.mesh);
    node.setRadius(inputs.radius);
    std::vector<Point> points;
    EXPECT_EQ(node.pull(&points), MS::kSuccess);
    return harness::sorted(points);
}

// Pulls every node from a thread of its own, all released at once.
std::vector<MStatus> pullTogether(std::vector<ScatterNode>& nodes, std::vector<std::vector<Point>>& results)
{
    std::vector<MStatus> statuses(nodes.size());
    results.assign(nodes.size(), {});
    std::atomic<size_t> ready{0};
    std::vector<std::thread> threads;
    for (size_t i = 0; i < nodes.size(); ++i)
        threads.emplace_back([&, i] {
            ++ready;
            while (ready < nodes.size())
                std::this_thread::yield();
            statuses[i] = nodes[i].pull(&results[i]);
        });
    for (std::thread& t : threads)
        t.join();
    return statuses;
}

TEST_F(Parallel, ConcurrentComputesGiveWhatTheyGiveOneAfterAnother)
{
    const std::vector<Inputs> inputs = fourNodesInputs();
    std::vector<std::vector<Point>> alone;
    for (const Inputs& in : inputs)
        alone.push_back(computedAlone(in));

    std::vector<ScatterNode> nodes(inputs.size());
    for (size_t i = 0; i < nodes.size(); ++i) {
        nodes[i].setMesh(inputs[i].mesh);
        nodes[i].setRadius(inputs[i].radius);
    }
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::vector<std::vector<Point>> results;
        const std::vector<MStatus> statuses = pullTogether(nodes, results);
        for (size_t i = 0; i < nodes.size(); ++i) {
            EXPECT_EQ(statuses[i], MS::kSuccess) << "node " << i;
            EXPECT_FALSE(nodes[i].outPointsDirty()) << "node " << i;
            EXPECT_EQ(harness::sorted(results[i]), alone[i]) << "node " << i;
        }
        EXPECT_EQ(cudaStandin::deviceBytesInUse(), baseline_);
        for (size_t i = 0; i < nodes.size(); ++i) {
            nodes[i].setRadius(inputs[i].radius * 2.0f);  // dirty again, same inputs in the end
            nodes[i].setRadius(inputs[i].radius);
        }
    }
}

// Two nodes reading one mesh data object, as when one mesh feeds both.
TEST_F(Parallel, NodesSharingOneMeshComputeTogether)
{
    const Inputs in = fourNodesInputs()[0];
    const std::vector<Point> alone = computedAlone(in);
    MObject shared = harness::meshData(in.mesh);
    std::vector<ScatterNode> nodes(2);
    for (ScatterNode& node : nodes) {
        ASSERT_EQ(node.plug("inMesh").setValue(shared), MS::kSuccess);
        node.setRadius(in.radius);
    }
    std::vector<std::vector<Point>> results;
    const std::vector<MStatus> statuses = pullTogether(nodes, results);
    for (size_t i = 0; i < nodes.size(); ++i) {
        EXPECT_EQ(statuses[i], MS::kSuccess);
        EXPECT_EQ(harness::sorted(results[i]), alone);
    }
}

// One mesh, four seeds and the other controls off their defaults: each node's set is its own, as when computed alone.
TEST_F(Parallel, NodesWithDifferentSeedsComputeTogether)
{
    const Mesh mesh = harness::sphere(30, 60, 2.0f);
    std::vector<ScatterNode> nodes(4);
    std::vector<std::vector<Point>> alone;
    for (size_t i = 0; i < nodes.size(); ++i) {
        ScatterSettings settings = harness::settingsOf(0.2f);
        settings.seed = 1000 + static_cast<int>(i);
        settings.passes = 8;
        settings.strictRadius = i % 2 == 1;
        nodes[i].setMesh(mesh);
        nodes[i].setRadius(settings.radius);
        nodes[i].setControls(settings);
        std::vector<Point> points;
        EXPECT_EQ(nodes[i].pull(&points), MS::kSuccess);
        alone.push_back(harness::sorted(points));
        nodes[i].setRadius(0.3f);  // dirty again
        nodes[i].setRadius(settings.radius);
    }
    std::vector<std::vector<Point>> results;
    const std::vector<MStatus> statuses = pullTogether(nodes, results);
    for (size_t i = 0; i < nodes.size(); ++i) {
        EXPECT_EQ(statuses[i], MS::kSuccess) << "node " << i;
        EXPECT_EQ(harness::sorted(results[i]), alone[i]) << "node " << i;
        if (i > 0)
            EXPECT_NE(alone[i], alone[i - 1]) << "node " << i;
    }
}

// A launch error belongs to the thread whose launch failed: the other compute never sees it.
TEST_F(Parallel, AFailedLaunchOnOneThreadLeavesTheOtherComputeIntact)
{
    const Inputs in = fourNodesInputs()[1];
    const std::vector<Point> alone = computedAlone(in);
    for (const char* kernel : {"chooseSamplesInCells", "detectCells"}) {
        SCOPED_TRACE(kernel);
        std::vector<ScatterNode> nodes(2);
        for (ScatterNode& node : nodes) {
            node.setMesh(in.mesh);
            node.setRadius(in.radius);
        }
        // Whichever compute reaches the armed launch first fails; the other must not.
        cudaStandin::failNextLaunch(kernel, "cudaErrorLaunchFailure", kernel[0] == 'c' ? 40 : 0);
        std::vector<std::vector<Point>> results;
        std::vector<MStatus> statuses;
        {
            CapturedOutput output;
            statuses = pullTogether(nodes, results);
        }
        const int failed = (statuses[0] != MS::kSuccess) + (statuses[1] != MS::kSuccess);
        ASSERT_EQ(failed, 1);
        const size_t good = statuses[0] == MS::kSuccess ? 0 : 1;
        EXPECT_EQ(harness::sorted(results[good]), alone);
        EXPECT_FALSE(nodes[good].outPointsDirty());
        EXPECT_TRUE(nodes[1 - good].outPointsDirty());
        EXPECT_EQ(cudaStandin::deviceBytesInUse(), baseline_);
        std::vector<Point> again;
        EXPECT_EQ(nodes[1 - good].pull(&again), MS::kSuccess);
        EXPECT_EQ(harness::sorted(again), alone);
    }
}

// Attach nodes fed by one scatter node, each carrying the same long record onto a mesh of its own from a thread of its
// own, while each places its points in runs on threads of its own: each gets what it gets alone.
TEST_F(Parallel, AttachNodesComputeTogether)
{
    ScatterNode scatter;
    scatter.setMesh(harness::ball());
    scatter.setRadius(0.02f);
    ScatterSettings settings = harness::settingsOf(0.02f);
    settings.surfaceData = true;
    scatter.setControls(settings);
    std::vector<Point> rest;
    ASSERT_EQ(scatter.pull(&rest), MS::kSuccess);
    ASSERT_GT(rest.size(), 50000u) << "long enough to be placed in runs of 16,384 points or more";
    Mesh meshes[2] = {harness::ball(), harness::ball()};
    for (Point& p : meshes[0].points)
        p = {1.1f * p[0], p[1], p[2]};
    for (Point& p : meshes[1].points)
        p = {p[0], 0.8f * p[1], p[2] + 0.1f * p[1]};

    std::vector<Point> alone[2], together[2];
    MStatus statuses[2];
    std::unique_ptr<harness::AttachNode> nodes[2];
    for (int i = 0; i < 2; ++i) {
        nodes[i] = std::make_unique<harness::AttachNode>(scatter);
        nodes[i]->setMesh(meshes[i]);
        MObject record;
        ASSERT_EQ(nodes[i]->pull(&record), MS::kSuccess);
        alone[i] = harness::positionsOf(record);
        nodes[i]->setMesh(meshes[1 - i]);  // dirty again, the same mesh in the end
        nodes[i]->setMesh(meshes[i]);
    }
    std::vector<std::thread> threads;
    for (int i = 0; i < 2; ++i)
        threads.emplace_back([&, i] {
            MObject record;
            statuses[i] = nodes[i]->pull(&record);
            together[i] = harness::positionsOf(record);
        });
    for (std::thread& t : threads)
        t.join();
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(statuses[i], MS::kSuccess) << "node " << i;
        EXPECT_EQ(together[i], alone[i]) << "node " << i << ": the same points in the same order";
    }
    EXPECT_NE(alone[0], alone[1]);
    EXPECT_EQ(mayaStandin::computeCount(scatter.node()), 1);
}

}  // namespace
