#include "plyFile.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "errors.h"

namespace kyscatter {
namespace {

const std::map<std::string, PlyType>& typeNames()
{
    static const std::map<std::string, PlyType> names = {
        {"char", PlyType::int8},     {"int8", PlyType::int8},     {"uchar", PlyType::uint8},
        {"uint8", PlyType::uint8},   {"short", PlyType::int16},   {"int16", PlyType::int16},
        {"ushort", PlyType::uint16}, {"uint16", PlyType::uint16}, {"int", PlyType::int32},
        {"int32", PlyType::int32},   {"uint", PlyType::uint32},   {"uint32", PlyType::uint32},
        {"float", PlyType::float32}, {"float32", PlyType::float32}, {"double", PlyType::float64},
        {"float64", PlyType::float64}};
    return names;
}

std::size_t sizeOf(PlyType type)
{
    switch (type) {
    case PlyType::int8:
    case PlyType::uint8: return 1;
    case PlyType::int16:
    case PlyType::uint16: return 2;
    case PlyType::int32:
    case PlyType::uint32:
    case PlyType::float32: return 4;
    case PlyType::float64: return 8;
    }
    return 0;
}

template <typename T>
double fromBytes(const unsigned char* bytes)
{
    T value;
    std::memcpy(&value, bytes, sizeof value);
    return static_cast<double>(value);
}

double valueOf(PlyType type, const unsigned char* bytes)
{
    switch (type) {
    case PlyType::int8: return fromBytes<std::int8_t>(bytes);
    case PlyType::uint8: return fromBytes<std::uint8_t>(bytes);
    case PlyType::int16: return fromBytes<std::int16_t>(bytes);
    case PlyType::uint16: return fromBytes<std::uint16_t>(bytes);
    case PlyType::int32: return fromBytes<std::int32_t>(bytes);
    case PlyType::uint32: return fromBytes<std::uint32_t>(bytes);
    case PlyType::float32: return fromBytes<float>(bytes);
    case PlyType::float64: return fromBytes<double>(bytes);
    }
    return 0;
}

bool hostIsLittleEndian()
{
    const std::uint16_t one = 1;
    unsigned char first = 0;
    std::memcpy(&first, &one, 1);
    return first == 1;
}

// The records after the header, value by value in the file's format.
class Body {
public:
    Body(std::istream& in, PlyFormat format)
        : in_(in), ascii_(format == PlyFormat::ascii),
          swap_((format == PlyFormat::binaryLittleEndian) != hostIsLittleEndian())
    {
    }

    // False where the file ends or the value cannot be read.
    bool read(PlyType type, double& value)
    {
        if (ascii_)
            return static_cast<bool>(in_ >> value);
        unsigned char bytes[8];
        const std::size_t size = sizeOf(type);
        if (!in_.read(reinterpret_cast<char*>(bytes), static_cast<std::streamsize>(size)))
            return false;
        if (swap_)
            std::reverse(bytes, bytes + size);
        value = valueOf(type, bytes);
        return true;
    }

private:
    std::istream& in_;
    bool ascii_;
    bool swap_;
};

// One record, property by property: a list's entries, or a scalar's one value.
bool readRecord(Body& body, const PlyElement& element, std::vector<std::vector<double>>& values)
{
    values.resize(element.properties.size());
    for (std::size_t p = 0; p < element.properties.size(); ++p) {
        const PlyProperty& property = element.properties[p];
        values[p].clear();
        double length = 1;
        if (property.isList &&
            !(body.read(property.countType, length) && length >= 0 && length == std::floor(length)))
            return false;
        for (double k = 0; k < length; ++k) {
            double value = 0;
            if (!body.read(property.type, value))
                return false;
            values[p].push_back(value);
        }
    }
    return true;
}

Failure shortOf(const std::string& path, const PlyElement& element, std::uint64_t held)
{
    return Failure("'" + path + "' declares " + plyCountText(element.name, element.count) + " but holds " +
                   std::to_string(held) + " that can be read");
}

PlyType typeNamed(const std::string& path, const std::string& name)
{
    const auto found = typeNames().find(name);
    if (found == typeNames().end())
        throw Failure("'" + path + "' has a PLY property of unknown type '" + name + "'");
    return found->second;
}

PlyFormat formatNamed(const std::string& path, const std::string& name)
{
    if (name == "ascii")
        return PlyFormat::ascii;
    if (name == "binary_little_endian")
        return PlyFormat::binaryLittleEndian;
    if (name == "binary_big_endian")
        return PlyFormat::binaryBigEndian;
    throw Failure("'" + path + "' has an unknown PLY format '" + name + "'");
}

// "property TYPE NAME" or "property list COUNT_TYPE TYPE NAME", after the keyword.
PlyProperty propertyOf(const std::string& path, std::istringstream& words, const Failure& unreadable)
{
    PlyProperty property;
    std::string type;
    if (!(words >> type))
        throw unreadable;
    property.isList = type == "list";
    if (property.isList) {
        if (!(words >> type))
            throw unreadable;
        property.countType = typeNamed(path, type);
        if (!(words >> type))
            throw unreadable;
    }
    property.type = typeNamed(path, type);
    if (!(words >> property.name))
        throw unreadable;
    return property;
}

// One line of the header after the first; false at end_header.
bool readHeaderLine(const std::string& path, const std::string& line, PlyHeader& header)
{
    std::istringstream words(line);
    std::string keyword;
    words >> keyword;
    const Failure unreadable("'" + path + "' has a PLY header line that cannot be read: '" + line + "'");
    if (keyword == "end_header")
        return false;
    if (keyword == "format") {
        std::string name;
        words >> name;
        header.format = formatNamed(path, name);
    } else if (keyword == "element") {
        PlyElement element;
        if (!(words >> element.name >> element.count))
            throw unreadable;
        header.elements.push_back(element);
    } else if (keyword == "property") {
        if (header.elements.empty())
            throw unreadable;
        header.elements.back().properties.push_back(propertyOf(path, words, unreadable));
    } else if (keyword != "comment" && keyword != "obj_info" && !keyword.empty()) {
        throw unreadable;
    }
    return true;
}

int propertyIndex(const PlyElement& element, const std::string& name)
{
    for (std::size_t p = 0; p < element.properties.size(); ++p)
        if (element.properties[p].name == name)
            return static_cast<int>(p);
    return -1;
}

// Where each value a vertex or a polygon needs sits in its element's records.
struct Roles {
    int position[3] = {-1, -1, -1};
    int color[4] = {-1, -1, -1, -1};
    int indices = -1;
    PlyType colorType[4] = {};
};

Roles rolesOf(const std::string& path, const PlyElement& element, bool colors)
{
    Roles roles;
    if (element.name == "vertex") {
        const char* axes[3] = {"x", "y", "z"};
        for (int k = 0; k < 3; ++k)
            if ((roles.position[k] = propertyIndex(element, axes[k])) < 0)
                throw Failure("'" + path + "' has vertices without x, y and z");
        const char* channels[4] = {"red", "green", "blue", "alpha"};
        for (int k = 0; colors && k < 4; ++k) {
            roles.color[k] = propertyIndex(element, channels[k]);
            if (roles.color[k] >= 0)
                roles.colorType[k] = element.properties[roles.color[k]].type;
            else if (k < 3)
                throw Failure("'" + path + "' has no vertex colours");
        }
    } else if (element.name == "face" || element.name == "tristrips") {
        roles.indices = propertyIndex(element, "vertex_indices");
        if (roles.indices < 0)
            roles.indices = propertyIndex(element, "vertex_index");
        if (roles.indices < 0 || !element.properties[roles.indices].isList)
            throw Failure("'" + path + "' has " + plyCountText(element.name, 2).substr(2) + " without vertex indices");
    }
    return roles;
}

// A colour channel as the importer scales it: integers over their type's range, floats as they are.
float channelOf(PlyType type, double value)
{
    switch (type) {
    case PlyType::int8: return static_cast<float>(value / 127.0);
    case PlyType::uint8: return static_cast<float>(value / 255.0);
    case PlyType::int16: return static_cast<float>(value / 32767.0);
    case PlyType::uint16: return static_cast<float>(value / 65535.0);
    case PlyType::int32: return static_cast<float>(value / 2147483647.0);
    case PlyType::uint32: return static_cast<float>(value / 4294967295.0);
    default: return static_cast<float>(value);
    }
}

// A vertex index, or -1 for one that names no vertex a mesh can have.
int indexOf(double value)
{
    if (value < 0 || value >= static_cast<double>(INT_MAX) || value != std::floor(value))
        return -1;
    return static_cast<int>(value);
}

void addPolygon(const std::vector<double>& indices, Mesh& mesh)
{
    // Points and lines carry no area to scatter on.
    if (indices.size() < 3)
        return;
    mesh.counts.push_back(static_cast<int>(indices.size()));
    for (double value : indices)
        mesh.connects.push_back(indexOf(value));
}

// Every second triangle of a strip runs the other way round; swapping its first two corners keeps the strip's
// winding.
void addStrip(const std::vector<double>& indices, Mesh& mesh)
{
    std::size_t start = 0;
    for (std::size_t k = 0; k < indices.size(); ++k) {
        if (indices[k] == -1) {
            start = k + 1;
            continue;
        }
        if (k < start + 2)
            continue;
        int a = indexOf(indices[k - 2]), b = indexOf(indices[k - 1]);
        const int c = indexOf(indices[k]);
        if ((k - start) % 2 == 1)
            std::swap(a, b);
        if (a == b || b == c || a == c)
            continue;
        mesh.counts.push_back(3);
        mesh.connects.insert(mesh.connects.end(), {a, b, c});
    }
}

struct PlyContent {
    Mesh mesh;
    std::vector<std::array<float, 4>> vertexColors;
};

void addVertex(const std::vector<std::vector<double>>& values, const Roles& roles, bool colors, PlyContent& content)
{
    for (int k = 0; k < 3; ++k)
        content.mesh.points.push_back(static_cast<float>(values[roles.position[k]][0]));
    if (!colors)
        return;
    std::array<float, 4> color = {0, 0, 0, 1};
    for (int k = 0; k < 4; ++k)
        if (roles.color[k] >= 0)
            color[k] = channelOf(roles.colorType[k], values[roles.color[k]][0]);
    content.vertexColors.push_back(color);
}

void readElement(const std::string& path, Body& body, const PlyElement& element, bool colors, PlyContent& content)
{
    const Roles roles = rolesOf(path, element, colors);
    std::vector<std::vector<double>> values;
    for (std::uint64_t i = 0; i < element.count; ++i) {
        if (!readRecord(body, element, values))
            throw shortOf(path, element, i);
        if (element.name == "vertex")
            addVertex(values, roles, colors, content);
        else if (element.name == "face")
            addPolygon(values[roles.indices], content.mesh);
        else if (element.name == "tristrips")
            addStrip(values[roles.indices], content.mesh);
    }
}

std::ifstream openBody(const std::string& path, const PlyHeader& header)
{
    std::ifstream in(path, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(header.bodyOffset));
    if (!in)
        throw Failure("cannot read '" + path + "'");
    return in;
}

}  // namespace

std::string plyCountText(const std::string& element, std::uint64_t count)
{
    std::string noun = "'" + element + "' records";
    if (element == "vertex")
        noun = count == 1 ? "vertex" : "vertices";
    else if (element == "face")
        noun = count == 1 ? "face" : "faces";
    else if (element == "tristrips")
        noun = count == 1 ? "triangle strip" : "triangle strips";
    return std::to_string(count) + " " + noun;
}

const PlyElement* PlyHeader::element(const std::string& name) const
{
    for (const PlyElement& e : elements)
        if (e.name == name)
            return &e;
    return nullptr;
}

std::uint64_t PlyHeader::count(const std::string& name) const
{
    std::uint64_t total = 0;
    for (const PlyElement& e : elements)
        if (e.name == name)
            total += e.count;
    return total;
}

std::optional<PlyHeader> readPlyHeader(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string line;
    if (!std::getline(in, line) || (line != "ply" && line != "ply\r"))
        return std::nullopt;
    PlyHeader header;
    while (true) {
        if (!std::getline(in, line))
            throw Failure("'" + path + "' has a PLY header without end_header");
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!readHeaderLine(path, line, header))
            break;
    }
    header.bodyOffset = static_cast<std::uint64_t>(in.tellg());
    return header;
}

void checkPlyRecords(const std::string& path, const PlyHeader& header)
{
    std::ifstream in = openBody(path, header);
    Body body(in, header.format);
    std::vector<std::vector<double>> values;
    for (const PlyElement& element : header.elements)
        for (std::uint64_t i = 0; i < element.count; ++i)
            if (!readRecord(body, element, values))
                throw shortOf(path, element, i);
}

Mesh readPlyMesh(const std::string& path, const PlyHeader& header, bool colors)
{
    if (header.count("vertex") > static_cast<std::uint64_t>(INT_MAX))
        throw Failure("the mesh has more vertices than the host's mesh can take");
    std::ifstream in = openBody(path, header);
    Body body(in, header.format);
    PlyContent content;
    for (const PlyElement& element : header.elements)
        readElement(path, body, element, colors, content);
    Mesh& mesh = content.mesh;
    const int vertices = static_cast<int>(mesh.vertexCount());
    for (int index : mesh.connects) {
        if (index < 0 || index >= vertices)
            throw Failure("'" + path + "' has a face with a vertex index out of range (it has " +
                          std::to_string(vertices) + " vertices)");
        if (colors)
            mesh.cornerColors.push_back(content.vertexColors[index]);
    }
    return mesh;
}

}  // namespace kyscatter
