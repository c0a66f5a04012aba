// Runs the compute's own stages on a few meshes and writes what each stage left (the area table, the candidates,
// the accepted points) and its time, so that two builds can be compared stage by stage: stageDump OUTPUT_DIR
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "meshes.h"
#include "stageClock.h"

namespace {

template <typename T>
bool write(const std::string& path, const std::vector<T>& values)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(values.data()), static_cast<std::streamsize>(values.size() * sizeof(T)));
    return static_cast<bool>(out);
}

// Keeps a copy of each stage's results; the copies are left out of the stage times.
class StageDump : public StageClock {
public:
    std::vector<float> areas, x, y, z;
    std::vector<unsigned int> keys;
    unsigned int occupiedCellCount = 0;

    void areasReady(const AreaView& view) override
    {
        StageClock::areasReady(view);
        areas = view.cumulativeArea.toHost();
        skip();
    }
    void candidatesReady(const CandidateView& view) override
    {
        StageClock::candidatesReady(view);
        x = view.x.toHost();
        y = view.y.toHost();
        z = view.z.toHost();
        keys = view.cellId.toHost();
        skip();
    }
    void cellTableReady(const CellTableView& view) override
    {
        StageClock::cellTableReady(view);
        occupiedCellCount = view.occupiedCellCount;
    }
};

bool dumpMesh(const std::string& dir, int triangles)
{
    ScatterSettings settings;
    settings.radius = 0.05f;
    ScatterResult result;
    StageDump dump;
    dump.start();
    if (scatterPoints(wavyGrid(triangles), settings, result, &dump) != ScatterStatus::ok) {
        std::fprintf(stderr, "stageDump: the compute failed on the %d-triangle mesh\n", triangles);
        return false;
    }
    const std::string stem = dir + "/mesh" + std::to_string(triangles);
    if (!write(stem + ".areas", dump.areas) || !write(stem + ".x", dump.x) || !write(stem + ".y", dump.y) ||
        !write(stem + ".z", dump.z) || !write(stem + ".keys", dump.keys) || !write(stem + ".points", result.points)) {
        std::fprintf(stderr, "stageDump: cannot write under %s\n", dir.c_str());
        return false;
    }
    const StageSeconds& s = dump.seconds();
    std::printf("mesh %d triangles: %zu points, %u cells; ms upload+areas %.2f candidates %.2f cell table %.2f "
                "phases %.2f selection %.2f collect %.2f total %.2f\n",
                triangles, result.pointCount(), dump.occupiedCellCount, 1e3 * s.areas, 1e3 * s.candidates,
                1e3 * s.cellTable, 1e3 * s.phases, 1e3 * s.selection, 1e3 * s.collect, 1e3 * s.total());
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: stageDump OUTPUT_DIR\n");
        return 2;
    }
    for (int triangles : {1, 20000, 200000, 2000000})
        if (!dumpMesh(argv[1], triangles))
            return 1;
    std::printf("unavoidable primitives: %.2f ms\n", 1e3 * timeUnavoidablePrimitives());
    return 0;
}
