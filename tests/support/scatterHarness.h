// Drives the plug-in through the Maya stand-in host the way Maya does, for the node-level tests and the fuzzer.
// Plain helpers: failures throw std::runtime_error; the GoogleTest fixture is in pluginTest.h.
#pragma once

#include <maya/MFloatPointArray.h>
#include <maya/MFnArrayAttrsData.h>
#include <maya/MFnMesh.h>
#include <maya/MFnMeshData.h>
#include <maya/MIntArray.h>
#include <maya/MObject.h>
#include <maya/MPlug.h>
#include <maya/MStatus.h>
#include <maya/MVectorArray.h>
#include <mayaStandin/host.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "scatter/scatterCompute.h"

namespace harness {

// Memory figures mean little under AddressSanitizer, which keeps freed memory in quarantine.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kAddressSanitizer = true;
#else
inline constexpr bool kAddressSanitizer = false;
#endif
#else
inline constexpr bool kAddressSanitizer = false;
#endif

using Point = std::array<float, 3>;

using Colour = std::array<float, 4>;

// A colour set of a mesh: one RGBA colour per face-vertex, polygon after polygon.
struct ColourSet {
    std::string name;
    std::vector<Colour> faceVertexColours;
    bool current = false;
};

// A UV set of a mesh: one (u, v) per face-vertex, polygon after polygon; a NaN u on a polygon's first face-vertex
// leaves the polygon without UVs.
struct UVSet {
    std::string name;
    std::vector<std::array<float, 2>> faceVertexUVs;
    bool current = false;
};

struct Mesh {
    std::vector<Point> points;
    std::vector<int> counts;    // vertices per polygon
    std::vector<int> connects;  // polygon vertex indices
    std::vector<ColourSet> colourSets;
    std::vector<UVSet> uvSets;
    int triangleCount() const;
    double area() const;        // fan-triangulated
};

// The plug-in under test: the CPU build unless KY_PLUGIN names another library (the GPU check's CUDA build).
std::string pluginPath();

// Meshes made in code.
Mesh sphere(int rings, int segments, float radius, Point centre = {0, 0, 0});
Mesh grid(int cellsX, int cellsZ, float size, float height = 0.0f);  // a wavy quad grid in XZ
Mesh singleTriangle(Point a, Point b, Point c);
// A tube along +Y from 0 to `length`, `segments` quads round and `rings` along, open at both ends and wound so that
// its normals face out.
Mesh tube(int rings, int segments, float radius, float length);
// The same polygons with every vertex moved: the tube twisted by `twist` radians about its axis over its length, then
// bent by `bend` radians into an arc in the XY plane.
Mesh bentAndTwisted(const Mesh& tube, float length, float bend, float twist);
// Made once and shared by the suites: a sphere of radius 2, and a triangle far smaller than a cell, so that every
// candidate falls in one cell.
const Mesh& ball();
const Mesh& speck();
// The ball with a current colour set "ramp", grey from black at the bottom to white at the top: density weights of
// every level, down to those thinned below the sparsest.
const Mesh& rampedBall();

// A flat strip along X, 8 by 2, of four square bands of 8 by 8 quads, its UVs in "map1" spanning [0, 1] along it (u =
// x / 8, v = z / 2); the quads of the bands before `mappedFrom` have no UVs.
Mesh uvStrip(int mappedFrom = 0);

MObject meshData(const Mesh& mesh, MStatus* status = nullptr);

struct Box {
    float min[3];
    float max[3];
};

// A node of the plug-in in the host, deleted with this object.
class HostNode {
public:
    explicit HostNode(const std::string& type);
    ~HostNode();
    HostNode(const HostNode&) = delete;
    HostNode& operator=(const HostNode&) = delete;
    MObject node() const { return node_; }
    MPlug plug(const std::string& name) const;
    void setMesh(const Mesh& mesh);  // inMesh

private:
    MObject node_;
};

// One scatter node with its inputs.
class ScatterNode : public HostNode {
public:
    ScatterNode() : HostNode("kyScatterPoints") {}
    void setRadius(float radius);
    void setBox(const Box& box);
    // The seed, passes, candidate count, strict radius, surface data and stable layout of `settings`.
    void setControls(const ScatterSettings& settings);
    // The density map: on or off, the colour set (empty: the current one), the channel's field.
    void setDensity(bool on, const std::string& colourSet = "", int channel = 0);
    // The density map's source: texture (true) or the colour set; the UV set (empty: the current one) and the bake's
    // resolution.
    void setDensitySource(bool texture, const std::string& uvSet = "", int resolution = 256);
    // The texture: a texture node's outColor connected to densityTexture, or its colour where none is.
    void connectTexture(const HostNode& texture);
    void setTextureColour(float r, float g, float b);
    void setPointCount(int count);
    float radiusUsed() const;
    // Pulls outPoints; returns the status of the pull and fills the record's positions.
    MStatus pull(std::vector<Point>* points = nullptr);
    // Pulls outPoints and gives every channel of the record it holds then, byte for byte (recordBytes): after a
    // failed compute, its previous value.
    std::string pullBytes(MStatus* status = nullptr);
    bool outPointsDirty() const;
};

// One attach node, its inPoints connected to a scatter node's outPoints.
class AttachNode : public HostNode {
public:
    explicit AttachNode(const ScatterNode& scatter);
    // Pulls outPoints; returns the status of the pull and the record it holds.
    MStatus pull(MObject* record = nullptr);
};

// The positions of an output point record; empty when the record has no position channel.
std::vector<Point> positionsOf(const MObject& record);

// Every channel of a point record, by name in alphabetical order, each value's bytes as stored: two records with the
// same text hold the same points in the same order, every channel alike.
std::string recordBytes(const MObject& record);

// Captures everything written to the standard output and error streams, C and C++ alike.
class CapturedOutput {
public:
    CapturedOutput();
    ~CapturedOutput();
    void finish();
    const std::string& out() const { return out_; }
    const std::string& err() const { return err_; }

private:
    struct Redirect {
        int fd;
        int saved;
        std::FILE* file;
    };
    static Redirect redirect(int fd);
    static std::string restore(Redirect& redirect);

    bool capturing_ = true;
    Redirect outRedirect_;
    Redirect errRedirect_;
    std::string out_;
    std::string err_;
};

// The same mesh and inputs as plain arrays and settings, for running the compute's stages without the host; polygons
// are split into fans around their first vertex, as the host triangulates them.
ScatterMesh scatterMeshOf(const Mesh& mesh);
ScatterSettings settingsOf(float radius, const Box* box = nullptr);

// A point's cell in a compute's grid, as the kernels file it.
CellCoordinates cellOf(const ScatterGrid& grid, const Point& p);

// Points as a sorted list, to compare sets whose order may differ.
std::vector<Point> sorted(std::vector<Point> points);

// The candidates of a compute and its grid, recorded through the compute's own observer.
struct CandidateSet : StageObserver {
    std::vector<Point> positions;
    std::vector<unsigned int> keys;
    ScatterGrid grid;

    void candidatesReady(const CandidateView& view) override;
    bool wantsCandidatePlaces() const override { return true; }
};

}  // namespace harness
