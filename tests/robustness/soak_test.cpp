// A long run of computes on one node, its inputs changing between them: nothing may build up.
#include <cudaStandinControls.h>

#include <gtest/gtest.h>

#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/pluginTest.h"

using harness::Box;
using harness::CapturedOutput;
using harness::Mesh;
using harness::Point;
using harness::ScatterNode;

namespace {

// The run's length; KY_SOAK_COMPUTES shortens it where each compute is slow (sanitized builds).
int soakComputes()
{
    const char* value = std::getenv("KY_SOAK_COMPUTES");
    return value != nullptr ? std::max(1, std::atoi(value)) : 500;
}

const int kWarmUpComputes = 30;
const int kStretch = 60;
// The memory the node holds between computes must not climb. Two measures, each over the median of the first and the
// last stretch after the warm-up:
// - the bytes the C heap has handed out and not had back, blind to how the allocator keeps freed pages;
// - the process's anonymous resident memory, which also sees memory taken past malloc (mmap, thread stacks). Pages
//   mapped from files, the shared libraries' code, are left out: the kernel drops and refaults those at its own pace.
// The allocator is told to give large freed blocks straight back (see pinAllocator), so that what it keeps in its
// arenas stays small; kResidentSwingBytes still allows for it. A compute's candidate arrays alone take 44 MB.
const long kHeapDriftBytes = 512L << 10;
const long kResidentDriftBytes = 8L << 20;
const long kResidentSwingBytes = 64L << 20;

long median(std::vector<long> values)
{
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

// Resident pages that are not backed by a file: the heap, mmap'd buffers, stacks.
long anonymousResidentBytes()
{
    long pages = 0;
    long resident = 0;
    long shared = 0;
    FILE* statm = std::fopen("/proc/self/statm", "r");
    if (statm == nullptr)
        return -1;
    const int read = std::fscanf(statm, "%ld %ld %ld", &pages, &resident, &shared);
    std::fclose(statm);
    return read == 3 ? (resident - shared) * sysconf(_SC_PAGESIZE) : -1;
}

long heapBytesInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return static_cast<long>(info.uordblks + info.hblkhd);
}

// glibc raises its mmap threshold each time a large mmap'd block is freed, after which blocks of up to 32 MiB come from
// the arenas and freed ones may be kept there: resident memory then steps between levels with the threads' timing.
// Fixed thresholds keep it a measure of what the process holds.
void pinAllocator()
{
    mallopt(M_MMAP_THRESHOLD, 256 << 10);
    mallopt(M_TRIM_THRESHOLD, 1 << 20);
}

struct Memory {
    long heap;
    long resident;
};

struct Inputs {
    const Mesh* mesh;
    float radius;
    bool hasBox;
    Box box;
};

class Soak : public harness::PluginTest {};

void apply(ScatterNode& node, const Inputs& in)
{
    node.setMesh(*in.mesh);
    node.setRadius(in.radius);
    node.setBox(in.hasBox ? in.box : Box{{0, 0, 0}, {0, 0, 0}});
}

TEST_F(Soak, ManyComputesOnOneNodeLoseNothingAndKeepNothing)
{
    const Mesh ball = harness::sphere(24, 48, 2.0f);
    const Mesh field = harness::grid(40, 30, 10.0f);
    const Mesh pebble = harness::sphere(8, 12, 0.5f, {1.0f, 2.0f, -3.0f});
    const Mesh sheet = harness::singleTriangle({-1, 0, -1}, {3, 0.5f, -1}, {-1, 1, 4});
    // Every step changes the mesh, the radius or the box.
    const std::vector<Inputs> cycle = {
        {&ball, 0.2f, false, {}},
        {&ball, 0.35f, false, {}},
        {&ball, 0.35f, true, {{-3, -3, -3}, {3, 3, 3}}},
        {&field, 0.3f, false, {}},
        {&field, 0.3f, true, {{0, 0, 0}, {1, 1, 1}}},
        {&pebble, 0.05f, false, {}},
        {&sheet, 0.1f, false, {}},
        {&sheet, 1.5f, true, {{2, 2, 2}, {-2, -2, -2}}},
    };
    std::vector<std::vector<Point>> fresh;
    for (const Inputs& in : cycle) {
        ScatterNode node;
        apply(node, in);
        std::vector<Point> points;
        ASSERT_EQ(node.pull(&points), MS::kSuccess);
        ASSERT_FALSE(points.empty());
        fresh.push_back(harness::sorted(points));
    }

    pinAllocator();
    const size_t deviceBaseline = cudaStandin::deviceBytesInUse();
    const int computes = soakComputes();
    ScatterNode node;
    std::vector<Memory> held;  // after each compute past the warm-up
    held.reserve(static_cast<size_t>(std::max(0, computes - kWarmUpComputes)));  // its own growth would count
    for (int i = 0; i < computes; ++i) {
        const size_t which = static_cast<size_t>(i) % cycle.size();
        apply(node, cycle[which]);
        std::vector<Point> points;
        ASSERT_EQ(node.pull(&points), MS::kSuccess) << "compute " << i;
        ASSERT_EQ(harness::sorted(points), fresh[which]) << "compute " << i << " differs from a fresh node's";
        ASSERT_EQ(cudaStandin::deviceBytesInUse(), deviceBaseline) << "compute " << i;
        if (i >= kWarmUpComputes)
            held.push_back({heapBytesInUse(), anonymousResidentBytes()});
    }
    RecordProperty("computes", computes);
    // AddressSanitizer keeps freed memory in quarantine and its own heap, so there these measures say nothing; its leak
    // check does.
    if (static_cast<int>(held.size()) < 2 * kStretch || harness::kAddressSanitizer)
        return;
    std::vector<long> heap;
    std::vector<long> resident;
    for (const Memory& m : held) {
        heap.push_back(m.heap);
        resident.push_back(m.resident);
    }
    const auto firstStretch = [](const std::vector<long>& v) {
        return median(std::vector<long>(v.begin(), v.begin() + kStretch));
    };
    const auto lastStretch = [](const std::vector<long>& v) {
        return median(std::vector<long>(v.end() - kStretch, v.end()));
    };
    const long heapFirst = firstStretch(heap);
    const long heapLast = lastStretch(heap);
    const long first = firstStretch(resident);
    const long last = lastStretch(resident);
    const long highest = *std::max_element(resident.begin(), resident.end());
    RecordProperty("heapFirstMedianKiB", static_cast<int>(heapFirst >> 10));
    RecordProperty("heapLastMedianKiB", static_cast<int>(heapLast >> 10));
    RecordProperty("residentFirstMedianKiB", static_cast<int>(first >> 10));
    RecordProperty("residentLastMedianKiB", static_cast<int>(last >> 10));
    RecordProperty("residentHighestKiB", static_cast<int>(highest >> 10));
    printf("soak: %d computes; heap in use %ld KiB after the warm-up, %ld KiB at the end; anonymous resident %ld KiB "
           "after the warm-up, %ld KiB at the end, highest %ld KiB\n",
           computes, heapFirst >> 10, heapLast >> 10, first >> 10, last >> 10, highest >> 10);
    EXPECT_LE(heapLast, heapFirst + kHeapDriftBytes) << "the heap grows from compute to compute";
    EXPECT_LE(last, first + kResidentDriftBytes) << "resident memory climbs from compute to compute";
    EXPECT_LE(highest, first + kResidentSwingBytes) << "resident memory swings far above its level";
}

// The whole life of the plug-in in a session: load, a compute drawn in a viewport, unload. Run under a leak checker
// by the robustness script; on its own it checks that everything is given back.
TEST(Lifecycle, LoadComputeDrawUnload)
{
    const size_t deviceBaseline = cudaStandin::deviceBytesInUse();
    {
        CapturedOutput quiet;
        ASSERT_EQ(mayaStandin::loadPlugin(harness::pluginPath()), MS::kSuccess);
    }
    {
        ScatterNode scatter;
        scatter.setMesh(harness::sphere(16, 32, 1.0f));
        scatter.setRadius(0.1f);
        MStatus status;
        MObject display = mayaStandin::createNode("kyDisplayPoints", &status);
        ASSERT_EQ(status, MS::kSuccess);
        ASSERT_EQ(mayaStandin::connect(scatter.plug("outPoints"), mayaStandin::findPlug(display, "inPoints")),
                  MS::kSuccess);
        mayaStandin::Viewport viewport(64, 64);
        ASSERT_TRUE(viewport.valid());
        EXPECT_EQ(mayaStandin::draw(display, viewport.view()), MS::kSuccess);
        EXPECT_EQ(mayaStandin::computeCount(scatter.node()), 1) << "the draw pulled the compute";
        EXPECT_FALSE(scatter.outPointsDirty());
        EXPECT_EQ(mayaStandin::deleteNode(display), MS::kSuccess);
    }
    {
        CapturedOutput quiet;
        EXPECT_EQ(mayaStandin::unloadPlugin(harness::pluginPath()), MS::kSuccess);
    }
    EXPECT_EQ(cudaStandin::deviceBytesInUse(), deviceBaseline);
}

}  // namespace
