#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "mesh.h"

namespace kyscatter {

// PLY's own reading, beside the importer: its header says what a file holds, so what the importer read can be
// checked against it, and the triangle strips the importer skips are read here.

enum class PlyFormat { ascii, binaryLittleEndian, binaryBigEndian };
enum class PlyType { int8, uint8, int16, uint16, int32, uint32, float32, float64 };

struct PlyProperty {
    std::string name;
    PlyType type = PlyType::float32;  // of a list's entries
    bool isList = false;
    PlyType countType = PlyType::uint8;
};

struct PlyElement {
    std::string name;
    std::uint64_t count = 0;
    std::vector<PlyProperty> properties;
};

struct PlyHeader {
    PlyFormat format = PlyFormat::ascii;
    std::vector<PlyElement> elements;
    std::uint64_t bodyOffset = 0;  // bytes from the start of the file to the first record

    const PlyElement* element(const std::string& name) const;
    std::uint64_t count(const std::string& name) const;  // of all elements of that name; 0 where there is none
};

// "2 faces", "1 vertex", "3 triangle strips": a count of an element's records as messages say it.
std::string plyCountText(const std::string& element, std::uint64_t count);

// The header of a PLY file; nothing when the file does not start as one. Throws Failure on a header that does.
std::optional<PlyHeader> readPlyHeader(const std::string& path);

// Walks every record the header declares; throws Failure, with the declared and the held count, when the file
// ends before them or a record cannot be read.
void checkPlyRecords(const std::string& path, const PlyHeader& header);

// The file's vertices, faces and triangle strips as polygons. A strip's -1 restarts it; every second triangle of a
// strip is flipped so that all keep the strip's winding; triangles with a repeated vertex are left out. With colors
// the vertices' red, green, blue (and alpha) come along, as the importer scales them. Throws Failure.
Mesh readPlyMesh(const std::string& path, const PlyHeader& header, bool colors);

}  // namespace kyscatter
