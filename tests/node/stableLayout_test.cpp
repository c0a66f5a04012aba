// The stable candidate layout: an edit moves only the points near it, every cell tries all its candidates, and the
// controls keep their promises.
#include <cudaStandinControls.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "scatter/gridShape.h"
#include "support/pluginTest.h"
#include "support/pointMeasures.h"

using harness::ball;
using harness::CapturedOutput;
using harness::Mesh;
using harness::pairsCloserThan;
using harness::Point;
using harness::ScatterNode;

namespace {

class StableLayout : public harness::PluginTest {};

ScatterSettings layout(float radius, bool stableLayout, bool strict = true)
{
    ScatterSettings settings = harness::settingsOf(radius);
    settings.stableLayout = stableLayout;
    settings.strictRadius = strict;
    return settings;
}

std::vector<Point> scatter(const Mesh& mesh, const ScatterSettings& settings)
{
    ScatterNode node;
    node.setMesh(mesh);
    node.setRadius(settings.radius);
    node.setControls(settings);
    std::vector<Point> points;
    EXPECT_EQ(node.pull(&points), MS::kSuccess);
    return points;
}

// ------------------------------------------------------------------------------------------------ stability

// A 6 x 6 terrain, and the same with a dent pressed into its corner square x, z in [-3, -2]: deeper than the rest of
// the terrain, so that the mesh's bounds and its area change too.
Mesh terrain(bool dented)
{
    Mesh mesh = harness::grid(60, 60, 6.0f);
    for (Point& p : mesh.points) {
        const float dx = p[0] + 2.5f, dz = p[2] + 2.5f;
        const float d2 = (dx * dx + dz * dz) / 0.25f;
        if (dented && d2 < 1.0f)
            p[1] -= 1.5f * (1.0f - d2) * (1.0f - d2);
    }
    return mesh;
}

struct Kept {
    size_t far = 0;           // points farther than the reach from the corner square
    double share = 0;         // of those, the share that keep their exact coordinates
    double farthestMoved = 0;  // the distance from the square of the farthest point that moved
};

Kept farPointsKept(const std::vector<Point>& before, const std::vector<Point>& after, float reach)
{
    const std::set<Point> afterwards(after.begin(), after.end());
    Kept kept;
    size_t same = 0;
    for (const Point& p : before) {
        const float dx = std::fmax(0.0f, p[0] + 2.0f), dz = std::fmax(0.0f, p[2] + 2.0f);
        const double distance = std::sqrt(dx * dx + dz * dz);
        const bool stays = afterwards.count(p) > 0;
        if (!stays)
            kept.farthestMoved = std::fmax(kept.farthestMoved, distance);
        if (distance <= reach)
            continue;
        ++kept.far;
        same += stays;
    }
    kept.share = kept.far == 0 ? 0.0 : static_cast<double>(same) / kept.far;
    return kept;
}

TEST_F(StableLayout, DentingOneCornerKeepsTheFarPointsInPlace)
{
    const float radius = 0.05f;
    const Mesh flat = terrain(false), dented = terrain(true);
    for (bool strict : {true, false}) {
        Kept kept[2];
        for (bool stableLayout : {false, true}) {
            const ScatterSettings settings = layout(radius, stableLayout, strict);
            kept[stableLayout] = farPointsKept(scatter(flat, settings), scatter(dented, settings), 10 * radius);
        }
        const std::string mode = strict ? "strict" : "loose";
        ASSERT_GT(kept[1].far, 5000u) << mode;
        EXPECT_GE(kept[1].share, 0.9) << mode << ": the stable layout keeps the far points";
        EXPECT_LT(kept[0].share, 0.1) << mode << ": the global layout moves nearly all of them";
        RecordProperty("farPointsKeptStable_" + mode, std::to_string(kept[1].share));
        RecordProperty("farPointsKeptGlobal_" + mode, std::to_string(kept[0].share));
        std::printf("far points kept, %s: stable layout %.2f %% of %zu (the farthest that moved %.1f radii from the "
                    "square), global layout %.2f %% of %zu\n",
                    mode.c_str(), 100 * kept[1].share, kept[1].far, kept[1].farthestMoved / radius,
                    100 * kept[0].share, kept[0].far);
    }
}

// The terrain painted with a ramp from a quarter of the density at x = -3 to all of it at x = 3.
Mesh rampPainted(Mesh mesh)
{
    harness::ColourSet ramp{"ramp", {}, true};
    for (int corner : mesh.connects) {
        const float w = 0.25f + 0.75f * (mesh.points[static_cast<size_t>(corner)][0] + 3.0f) / 6.0f;
        ramp.faceVertexColours.push_back({w, w, w, 1.0f});
    }
    mesh.colourSets.push_back(ramp);
    return mesh;
}

// With a density map the levels and the turns in a cell follow the trial keys, which the dent leaves alone.
TEST_F(StableLayout, ADensityMapKeepsTheFarPointsInPlaceToo)
{
    const float radius = 0.05f;
    std::vector<Point> points[2];
    for (bool dented : {false, true}) {
        ScatterNode node;
        node.setMesh(rampPainted(terrain(dented)));
        node.setRadius(radius);
        node.setControls(layout(radius, true));
        node.setDensity(true);
        ASSERT_EQ(node.pull(&points[dented]), MS::kSuccess);
        EXPECT_EQ(pairsCloserThan(points[dented], radius), 0u);
    }
    const Kept kept = farPointsKept(points[0], points[1], 10 * radius);
    ASSERT_GT(kept.far, 3000u);
    EXPECT_GE(kept.share, 0.9);
    std::printf("far points kept with a density map: %.2f %% of %zu\n", 100 * kept.share, kept.far);
}

using Candidates = harness::CandidateSet;

Candidates candidatesOf(const Mesh& mesh, const ScatterSettings& settings)
{
    Candidates candidates;
    ScatterResult result;
    EXPECT_EQ(scatterPoints(harness::scatterMeshOf(mesh), settings, result, &candidates), ScatterStatus::ok);
    return candidates;
}

// A triangle's candidates are its own: a face added after the others, far away and large, changes the total area,
// the bounds and the count, yet every earlier candidate stays where it was; added first, it renumbers the others.
TEST_F(StableLayout, CandidatesBelongToTheirTriangle)
{
    const Mesh wavy = harness::grid(20, 20, 4.0f);
    Mesh appended = wavy, prepended = wavy;
    const int base = static_cast<int>(wavy.points.size());
    for (Mesh* mesh : {&appended, &prepended})
        mesh->points.insert(mesh->points.end(), {{9, -5, 9}, {14, -5, 9}, {9, -5, 14}});
    appended.counts.push_back(3);
    appended.connects.insert(appended.connects.end(), {base, base + 1, base + 2});
    prepended.counts.insert(prepended.counts.begin(), 3);
    prepended.connects.insert(prepended.connects.begin(), {base, base + 1, base + 2});

    const ScatterSettings settings = layout(0.1f, true);
    const Candidates alone = candidatesOf(wavy, settings);
    const Candidates after = candidatesOf(appended, settings);
    const Candidates before = candidatesOf(prepended, settings);
    ASSERT_GT(after.positions.size(), alone.positions.size() + 1000);
    const std::vector<Point> kept(after.positions.begin(), after.positions.begin() + alone.positions.size());
    EXPECT_EQ(kept, alone.positions) << "the same candidates, in the same order";
    const std::set<Point> renumbered(before.positions.begin(), before.positions.end());
    size_t found = 0;
    for (const Point& p : alone.positions)
        found += renumbered.count(p);
    EXPECT_LT(found, alone.positions.size() / 10) << "triangle numbers, not places, key the candidates";
}

// Each triangle draws m * m candidates for some m, one in each of its m * m strata, within the middle of it.
TEST_F(StableLayout, EachStratumHoldsOneCandidateInItsMiddle)
{
    struct Strata : Candidates {
        std::vector<float> u, v;
        std::vector<int> triangle;
        void candidatesReady(const CandidateView& view) override
        {
            u = view.u.toHost();
            v = view.v.toHost();
            triangle = view.triId.toHost();
        }
    } strata;
    ScatterResult result;
    ASSERT_EQ(scatterPoints(harness::scatterMeshOf(harness::grid(4, 4, 2.0f)), layout(0.2f, true), result, &strata),
              ScatterStatus::ok);
    std::map<int, std::vector<size_t>> byTriangle;
    for (size_t i = 0; i < strata.triangle.size(); ++i)
        byTriangle[strata.triangle[i]].push_back(i);
    ASSERT_EQ(byTriangle.size(), 32u);
    for (const auto& [tri, members] : byTriangle) {
        const int m = static_cast<int>(std::lround(std::sqrt(static_cast<double>(members.size()))));
        ASSERT_EQ(static_cast<size_t>(m * m), members.size()) << "triangle " << tri;
        std::set<int> taken;
        for (size_t i : members) {
            // In strata units: how far from corner A towards BC, and from AB towards AC.
            const double along = m * (static_cast<double>(strata.u[i]) + strata.v[i]), across = m * strata.v[i];
            const int row = static_cast<int>(along), column = static_cast<int>(across);
            const double s = along - row, t = across - column;
            const bool pointsAway = t <= s;
            taken.insert(row * row + 2 * column + (pointsAway ? 0 : 1));
            // The middle: the stratum shrunk to half its size, a sixth of a stratum from each of its edges.
            const double edges[3] = {pointsAway ? s - t : t - s, pointsAway ? t : s, pointsAway ? 1 - s : 1 - t};
            for (double e : edges)
                EXPECT_GE(e, 1.0 / 6 - 1e-4) << "triangle " << tri << ", candidate " << i;
        }
        EXPECT_EQ(taken.size(), members.size()) << "one candidate a stratum, triangle " << tri;
        EXPECT_EQ(*taken.rbegin(), m * m - 1);
    }
}

// ------------------------------------------------------------------------------------------------ the selection

// No two points closer than the radius; at most one point in a cell; and every cell left empty had each of its
// candidates within the radius of some point: the cell tried them all.
void expectStrictAndMaximal(const Mesh& mesh, float radius)
{
    const ScatterSettings settings = layout(radius, true);
    const std::vector<Point> points = scatter(mesh, settings);
    const Candidates candidates = candidatesOf(mesh, settings);
    ASSERT_GT(points.size(), 100u);
    EXPECT_EQ(pairsCloserThan(points, radius), 0u);

    std::map<unsigned int, Point> pointInCell;
    for (const Point& p : points)
        ASSERT_TRUE(pointInCell.emplace(cellKeyOf(candidates.grid, harness::cellOf(candidates.grid, p)), p).second)
            << "two points in one cell";
    std::vector<Point> all = points;
    size_t blockedInEmptyCells = 0;
    for (size_t i = 0; i < candidates.positions.size(); ++i) {
        if (pointInCell.count(candidates.keys[i]))
            continue;
        all.push_back(candidates.positions[i]);
        ASSERT_GT(pairsCloserThan(all, radius), 0u) << "candidate " << i << " of an empty cell was free";
        all.pop_back();
        ++blockedInEmptyCells;
        if (blockedInEmptyCells == 200)
            break;  // enough: each check measures the whole set
    }
    EXPECT_EQ(blockedInEmptyCells, 200u);
}

TEST_F(StableLayout, StrictSpacingAndEveryCandidateTried)
{
    expectStrictAndMaximal(ball(), 0.15f);
    expectStrictAndMaximal(harness::grid(60, 40, 10.0f), 0.15f);
}

TEST_F(StableLayout, SeedRepeatsAndVariesTheRecordOnOneLaunchAPhase)
{
    ScatterNode node;
    node.setMesh(ball());
    node.setRadius(0.2f);
    ScatterSettings settings = layout(0.2f, true);
    settings.surfaceData = true;
    node.setControls(settings);
    cudaStandin::clearLaunchCounts();
    const std::string first = node.pullBytes();
    EXPECT_EQ(cudaStandin::launchCount("chooseSamplesInTurn"), 27) << "one launch a phase, whatever the passes";
    EXPECT_EQ(cudaStandin::launchCount("chooseSamplesInCells"), 0);
    EXPECT_EQ(cudaStandin::launchCount("generateRandomPoints"), 0) << "no search over the area table";
    settings.seed = 99;
    node.setControls(settings);
    const std::string other = node.pullBytes();
    settings.seed = kDefaultSeed;
    node.setControls(settings);
    EXPECT_EQ(node.pullBytes(), first);
    EXPECT_NE(other, first);
}

// Each stratum offers `passes` points, its stored candidate first: more passes fill more of the surface.
TEST_F(StableLayout, MorePassesDrawMoreOfEachStratum)
{
    ScatterSettings settings = layout(0.1f, true);
    settings.passes = 1;
    const size_t once = scatter(ball(), settings).size();
    settings.passes = kDefaultPassCount;
    const std::vector<Point> points = scatter(ball(), settings);
    EXPECT_GT(points.size(), once + once / 50);
    EXPECT_EQ(pairsCloserThan(points, 0.1f), 0u);
}

// More candidates than five for each of candidateCount are not drawn: the density falls for the whole mesh, with a
// warning that names the count that would keep them all.
TEST_F(StableLayout, CandidateCountBoundsTheLayout)
{
    ScatterSettings settings = layout(0.05f, true);
    const size_t needed = candidatesOf(ball(), settings).positions.size();
    settings.candidateCount = static_cast<int>(needed / 15);
    CapturedOutput output;
    const Candidates bounded = candidatesOf(ball(), settings);
    const std::vector<Point> points = scatter(ball(), settings);
    output.finish();
    const size_t bound = 5 * static_cast<size_t>(settings.candidateCount);
    EXPECT_LE(bounded.positions.size(), bound);
    EXPECT_GT(bounded.positions.size(), bound * 9 / 10);
    EXPECT_NE(output.err().find("WARNING the stable layout needs " + std::to_string(needed) + " candidates"),
              std::string::npos)
        << output.err();
    EXPECT_NE(output.err().find("raise candidateCount to at least " + std::to_string((needed + 4) / 5)),
              std::string::npos)
        << output.err();
    EXPECT_EQ(pairsCloserThan(points, 0.05f), 0u);

    settings.candidateCount = static_cast<int>((needed + 4) / 5);
    CapturedOutput quiet;
    EXPECT_EQ(candidatesOf(ball(), settings).positions.size(), needed);
    quiet.finish();
    EXPECT_EQ(quiet.err(), "") << "no warning while the bound holds the layout";
}

// The layout keeps only each candidate's cell key and trial key, and draws it again where it is needed: at its peak,
// the sort of those keys, a compute holds some 20 bytes a candidate, where their places alone would take 32. An
// observer that asks for the places gets them without changing the record.
TEST_F(StableLayout, KeepsItsCandidatesAsKeysAlone)
{
    struct Count : StageObserver {
        size_t candidates = 0, places = 0;
        void candidatesReady(const CandidateView& view) override
        {
            candidates = view.cellId.size;
            places = view.x.size;
        }
    } count;
    const ScatterSettings settings = layout(0.05f, true);
    const ScatterMesh mesh = harness::scatterMeshOf(ball());
    const size_t before = cudaStandin::deviceBytesInUse();
    cudaStandin::resetPeakBytesInUse();
    ScatterResult keyed;
    ASSERT_EQ(scatterPoints(mesh, settings, keyed, &count), ScatterStatus::ok);
    const size_t peak = cudaStandin::devicePeakBytesInUse() - before;
    ASSERT_GT(count.candidates, 100000u);
    EXPECT_EQ(count.places, 0u);
    EXPECT_LT(peak, 22 * count.candidates) << peak << " bytes for " << count.candidates << " candidates";
    EXPECT_EQ(cudaStandin::deviceBytesInUse(), before) << "nothing left held";

    Candidates placed;
    ScatterResult observed;
    ASSERT_EQ(scatterPoints(mesh, settings, observed, &placed), ScatterStatus::ok);
    EXPECT_EQ(placed.positions.size(), count.candidates);
    EXPECT_EQ(observed.points, keyed.points);
}

// Every occupied cell can keep a point, however its key hashes: six small triangles, each alone in a cell of one row
// of the grid, 24 cells apart, so that their keys are equal modulo four buckets a cell, all keep one.
TEST_F(StableLayout, EveryOccupiedCellCanKeepAPoint)
{
    const float radius = 0.3f, cell = cellEdgeFor(radius);
    Mesh specks;
    for (int i = 0; i < 6; ++i) {
        const float x = (24.0f * i + 0.5f) * cell, y = 0.5f * cell, z = 0.5f * cell;
        const int first = static_cast<int>(specks.points.size());
        specks.points.push_back({x - 0.3f * cell, y - 0.3f * cell, z});
        specks.points.push_back({x + 0.3f * cell, y - 0.3f * cell, z});
        specks.points.push_back({x, y + 0.3f * cell, z});
        specks.counts.push_back(3);
        specks.connects.insert(specks.connects.end(), {first, first + 1, first + 2});
    }
    const ScatterSettings settings = layout(radius, true);
    const Candidates candidates = candidatesOf(specks, settings);
    const std::set<unsigned int> cells(candidates.keys.begin(), candidates.keys.end());
    ASSERT_EQ(cells.size(), 6u);
    ASSERT_EQ(*cells.rbegin() - *cells.begin(), 5u * 24u) << "one row, 24 cells apart";
    EXPECT_EQ(scatter(specks, settings).size(), 6u);
}

// A mesh too small for any triangle to draw a candidate gives an empty record.
TEST_F(StableLayout, NoCandidatesGiveAnEmptyRecord)
{
    ScatterNode node;
    node.setMesh(harness::speck());
    node.setRadius(1.0f);
    ScatterSettings settings = layout(1.0f, true);
    node.setControls(settings);
    std::vector<Point> points = {{9, 9, 9}};
    EXPECT_EQ(node.pull(&points), MS::kSuccess);
    EXPECT_TRUE(points.empty());
}

}  // namespace
