// Maya's own texture nodes that the product reads, MImage through OpenImageIO, and MRenderUtil's evaluation of a
// shading network at UVs. The texture nodes are built-in types, there without a plug-in, as they are in Maya.

#include "graph.h"

#include <maya/MFnEnumAttribute.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MFnTypedAttribute.h>
#include <maya/MImage.h>
#include <maya/MRenderUtil.h>
#include <mayaStandin/textures.h>

#include <OpenImageIO/imageio.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace mayaStandin {
namespace detail {
namespace {

// A texture node's colour, computed, never set.
MObject createOutColor() {
    MFnNumericAttribute numericFn;
    MObject attribute = numericFn.createColor("outColor", "oc");
    numericFn.setWritable(false);
    numericFn.setStorable(false);
    return attribute;
}

// file: its image by name; its colour is not evaluated here, MImage reads the image.
struct FileTextureNode : MPxNode {
    static MObject fileTextureName, outColor;
    static void* creator() { return new FileTextureNode; }
    static MStatus initialize() {
        MFnTypedAttribute typedFn;
        fileTextureName = typedFn.create("fileTextureName", "ftn", MFnData::kString);
        outColor = createOutColor();
        MStatus status = addAttribute(fileTextureName);
        if (status) status = addAttribute(outColor);
        if (status) status = attributeAffects(fileTextureName, outColor);
        return status;
    }
};
MObject FileTextureNode::fileTextureName, FileTextureNode::outColor;

// ramp: a V or U ramp of colour entries, without interpolation or linear; Maya's first ramp by default (red at 0,
// green at 0.5, blue at 1, linear, along v).
struct RampNode : MPxNode {
    static MObject type, interpolation, outColor;
    std::vector<RampEntry> entries{{0.0f, 1.0f, 0.0f, 0.0f}, {0.5f, 0.0f, 1.0f, 0.0f}, {1.0f, 0.0f, 0.0f, 1.0f}};
    static void* creator() { return new RampNode; }
    static MStatus initialize() {
        MFnEnumAttribute enumFn;
        type = enumFn.create("type", "t", 0);
        enumFn.addField("V Ramp", 0);
        enumFn.addField("U Ramp", 1);
        interpolation = enumFn.create("interpolation", "in", 1);
        enumFn.addField("None", 0);
        enumFn.addField("Linear", 1);
        outColor = createOutColor();
        MStatus status = addAttribute(type);
        if (status) status = addAttribute(interpolation);
        if (status) status = addAttribute(outColor);
        if (status) status = attributeAffects(type, outColor);
        if (status) status = attributeAffects(interpolation, outColor);
        return status;
    }
};
MObject RampNode::type, RampNode::interpolation, RampNode::outColor;

MFloatVector blend(const RampEntry& a, const RampEntry& b, float along) {
    return MFloatVector(a.r + (b.r - a.r) * along, a.g + (b.g - a.g) * along, a.b + (b.b - a.b) * along);
}

// The ramp's colour at a coordinate wrapped into [0, 1): the entry at or below it, or a blend of the two around it.
MFloatVector rampAt(std::vector<RampEntry> entries, bool linear, float coordinate) {
    if (entries.empty()) return MFloatVector();
    std::stable_sort(entries.begin(), entries.end(),
                     [](const RampEntry& a, const RampEntry& b) { return a.position < b.position; });
    const float c = coordinate - std::floor(coordinate);
    size_t below = 0;
    while (below + 1 < entries.size() && entries[below + 1].position <= c) ++below;
    const RampEntry& low = entries[below];
    if (c < low.position || below + 1 == entries.size() || !linear) return blend(low, low, 0.0f);
    const RampEntry& high = entries[below + 1];
    return blend(low, high, (c - low.position) / (high.position - low.position));
}

std::shared_ptr<Node> nodeNamed(const std::string& name) {
    std::lock_guard<std::mutex> lock(graphMutex());
    for (auto& node : graph().nodes)
        if (node->name == name && node->alive) return node;
    return nullptr;
}

// The four RGBA channels of a pixel of `channels` channels: grey spread over R, G and B, a missing alpha opaque.
template <typename T>
void toRGBA(const T* from, int channels, T opaque, T* to) {
    to[0] = from[0];
    to[1] = channels >= 3 ? from[1] : from[0];
    to[2] = channels >= 3 ? from[2] : from[0];
    to[3] = channels == 2 ? from[1] : (channels >= 4 ? from[3] : opaque);
}

// The file's pixels as RGBA rows from the bottom up; false with OpenImageIO's reason where it cannot be read.
template <typename T>
bool readRGBA(const std::string& path, OIIO::TypeDesc format, T opaque, std::vector<T>& rgba, unsigned int& width,
              unsigned int& height, std::string& why) {
    // The values as stored: an alpha channel leaves the colour channels as they are, not premultiplied.
    OIIO::ImageSpec config;
    config.attribute("oiio:UnassociatedAlpha", 1);
    auto in = OIIO::ImageInput::open(path, &config);
    if (!in) {
        why = OIIO::geterror();
        return false;
    }
    const OIIO::ImageSpec layout = in->spec_dimensions(0);
    const int channels = layout.nchannels;
    std::vector<T> file(static_cast<size_t>(layout.width) * layout.height * channels);
    if (layout.width <= 0 || layout.height <= 0 || channels <= 0 ||
        !in->read_image(0, 0, 0, channels, format, file.data())) {
        why = in->geterror();
        return false;
    }
    width = static_cast<unsigned int>(layout.width);
    height = static_cast<unsigned int>(layout.height);
    rgba.assign(static_cast<size_t>(width) * height * 4, T());
    for (unsigned int y = 0; y < height; ++y)
        for (unsigned int x = 0; x < width; ++x)
            toRGBA(&file[(static_cast<size_t>(y) * width + x) * channels], channels, opaque,
                   &rgba[(static_cast<size_t>(height - 1 - y) * width + x) * 4]);
    return true;
}

}  // namespace

void registerBuiltinTypes() {
    static std::once_flag once;
    std::call_once(once, [] {
        // Maya's own type ids for them.
        registerNodeType("", "file", 0x52544654, FileTextureNode::creator, FileTextureNode::initialize,
                         MPxNode::kDependNode, "texture/2d");
        registerNodeType("", "ramp", 0x52545241, RampNode::creator, RampNode::initialize, MPxNode::kDependNode,
                         "texture/2d");
    });
}

}  // namespace detail

MStatus setRampEntries(const MObject& rampNode, const std::vector<RampEntry>& entries) {
    std::shared_ptr<detail::Node> node = detail::sharedNode(rampNode);
    auto* ramp = node ? dynamic_cast<detail::RampNode*>(node->user) : nullptr;
    if (!ramp || entries.empty()) return MS::kInvalidParameter;
    {
        std::lock_guard<std::recursive_mutex> nodeLock(node->mutex);
        ramp->entries = entries;
    }
    std::lock_guard<std::mutex> lock(detail::graphMutex());
    detail::Visited visited;
    detail::Attribute* outColor = detail::attributeOf(detail::RampNode::outColor);
    detail::dirtyPlug(*node, outColor->index, visited);
    return MS::kSuccess;
}

}  // namespace mayaStandin

using mayaStandin::detail::injectedFault;

// ---- MImage

MImage::MImage() : _pPixelMap(nullptr), _pFloatMap(nullptr), width_(0), height_(0) {}
MImage::~MImage() { release(); }

MStatus MImage::release() {
    delete[] static_cast<unsigned char*>(_pPixelMap);
    delete[] static_cast<float*>(_pFloatMap);
    _pPixelMap = nullptr;
    _pFloatMap = nullptr;
    width_ = height_ = 0;
    return MS::kSuccess;
}

MStatus MImage::readFromFile(MString pathname, MPixelType type) {
    release();
    MStatus status;
    if (injectedFault("MImage::readFromFile", status)) return status;
    if (type != kByte && type != kFloat) return MS::kInvalidParameter;
    std::string why;
    bool read;
    if (type == kByte) {
        std::vector<unsigned char> rgba;
        read = mayaStandin::detail::readRGBA<unsigned char>(pathname.asChar(), OIIO::TypeDesc::UINT8, 255, rgba,
                                                            width_, height_, why);
        if (read) _pPixelMap = std::memcpy(new unsigned char[rgba.size()], rgba.data(), rgba.size());
    } else {
        std::vector<float> rgba;
        read = mayaStandin::detail::readRGBA<float>(pathname.asChar(), OIIO::TypeDesc::FLOAT, 1.0f, rgba, width_,
                                                    height_, why);
        if (read) _pFloatMap = std::memcpy(new float[rgba.size()], rgba.data(), rgba.size() * sizeof(float));
    }
    if (!read) {
        width_ = height_ = 0;
        mayaStandin::detail::hostError("MImage::readFromFile " + std::string(pathname.asChar()) + ": " + why);
        return MS::kFailure;
    }
    return MS::kSuccess;
}

MStatus MImage::getSize(unsigned int& width, unsigned int& height) const {
    width = width_;
    height = height_;
    return _pPixelMap || _pFloatMap ? MS::kSuccess : MS::kFailure;
}

MImage::MPixelType MImage::pixelType() const { return _pPixelMap ? kByte : (_pFloatMap ? kFloat : kUnknown); }
unsigned char* MImage::pixels() const { return static_cast<unsigned char*>(_pPixelMap); }
float* MImage::floatPixels() const { return static_cast<float*>(_pFloatMap); }
unsigned int MImage::depth() const { return _pPixelMap ? 4u : (_pFloatMap ? 16u : 0u); }

// ---- MRenderUtil

MStatus MRenderUtil::sampleShadingNetwork(MString shadingNodeName, int numSamples, bool, bool, MFloatMatrix&,
                                          MFloatPointArray*, MFloatArray* uCoords, MFloatArray* vCoords,
                                          MFloatVectorArray*, MFloatPointArray*, MFloatVectorArray*,
                                          MFloatVectorArray*, MFloatArray*, MFloatVectorArray& resultColors,
                                          MFloatVectorArray& resultTransparencies) {
    MStatus status;
    if (injectedFault("MRenderUtil::sampleShadingNetwork", status)) return status;
    const std::string name = shadingNodeName.asChar();
    const size_t dot = name.find('.');
    auto node = mayaStandin::detail::nodeNamed(name.substr(0, dot));
    const bool plugOk = dot == std::string::npos || name.substr(dot + 1) == "outColor" || name.substr(dot + 1) == "oc";
    if (!node || !plugOk || numSamples <= 0 || !uCoords || !vCoords ||
        uCoords->length() != static_cast<unsigned int>(numSamples) ||
        vCoords->length() != static_cast<unsigned int>(numSamples))
        return MS::kInvalidParameter;
    std::lock_guard<std::recursive_mutex> nodeLock(node->mutex);
    auto* ramp = dynamic_cast<mayaStandin::detail::RampNode*>(node->user);
    if (!ramp) return MS::kFailure;
    using mayaStandin::detail::attributeOf;
    const bool alongU = node->values[attributeOf(mayaStandin::detail::RampNode::type)->index].i == 1;
    const bool linear = node->values[attributeOf(mayaStandin::detail::RampNode::interpolation)->index].i == 1;
    resultColors.setLength(static_cast<unsigned int>(numSamples));
    resultTransparencies.setLength(static_cast<unsigned int>(numSamples));
    for (unsigned int i = 0; i < static_cast<unsigned int>(numSamples); ++i) {
        resultColors[i] = mayaStandin::detail::rampAt(ramp->entries, linear, alongU ? (*uCoords)[i] : (*vCoords)[i]);
        resultTransparencies[i] = MFloatVector();
    }
    return MS::kSuccess;
}
