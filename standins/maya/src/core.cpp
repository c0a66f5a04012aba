// Value classes, statuses, strings and the fault switchboard.

#include "internal.h"

#include <maya/MBoundingBox.h>
#include <maya/MDGContext.h>
#include <maya/MFloatMatrix.h>
#include <maya/MFloatPoint.h>
#include <maya/MFloatVector.h>
#include <maya/MFnBase.h>
#include <maya/MPoint.h>
#include <maya/MString.h>
#include <maya/MTypeId.h>
#include <maya/MVector.h>
#include <mayaStandin/host.h>

#include "faultTable.h"

#include <algorithm>
#include <cstring>

// ---- MStatus

MStatus::MStatus() : code_(kSuccess) {}
MStatus::MStatus(MStatusCode code) : code_(code) {}
MStatus::MStatus(const MStatus& other) = default;
MStatus& MStatus::operator=(const MStatus& other) = default;

bool MStatus::operator==(const MStatus& other) const { return code_ == other.code_; }
bool MStatus::operator==(MStatusCode code) const { return code_ == code; }
bool MStatus::operator!=(const MStatus& other) const { return code_ != other.code_; }
bool MStatus::operator!=(MStatusCode code) const { return code_ != code; }
MStatus::operator bool() const { return code_ == kSuccess; }
MStatus::MStatusCode MStatus::statusCode() const { return code_; }
void MStatus::clear() { code_ = kSuccess; }

MString MStatus::errorString() const {
    switch (code_) {
    case kSuccess: return "(kSuccess): No error";
    case kFailure: return "(kFailure): Unexpected Internal Failure";
    case kInsufficientMemory: return "(kInsufficientMemory): Insufficient memory";
    case kInvalidParameter: return "(kInvalidParameter): Object is incompatible with this method";
    case kLicenseFailure: return "(kLicenseFailure): License failure";
    case kUnknownParameter: return "(kUnknownParameter): Unknown parameter";
    case kNotImplemented: return "(kNotImplemented): Not implemented";
    case kNotFound: return "(kNotFound): Object not found";
    case kEndOfFile: return "(kEndOfFile): End of file";
    }
    return "(unknown status code)";
}

void MStatus::perror(const char* prefix) const {
    if (prefix && *prefix) std::cerr << prefix << ": ";
    std::cerr << errorString() << std::endl;
}

void MStatus::perror(const MString& prefix) const { perror(prefix.asChar()); }

// The devkit's free functions live in its namespace, where argument-dependent lookup finds them.
OPENMAYA_MAJOR_NAMESPACE_OPEN
bool operator==(MStatus::MStatusCode code, const MStatus& status) { return status == code; }
bool operator!=(MStatus::MStatusCode code, const MStatus& status) { return status != code; }
OPENMAYA_NAMESPACE_CLOSE

const char* mayaStandinBaseName(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

// ---- MString

MString::MString() = default;
MString::MString(const char* text) : text_(text ? text : "") {}
MString::MString(const char* text, int length) : text_(text ? std::string(text, std::max(length, 0)) : "") {}
MString::MString(const MString& other) = default;
MString::~MString() = default;
MString& MString::operator=(const MString& other) = default;
MString& MString::operator=(const char* text) {
    text_ = text ? text : "";
    return *this;
}
MString& MString::operator+=(const MString& other) {
    text_ += other.text_;
    return *this;
}
MString& MString::operator+=(const char* text) {
    if (text) text_ += text;
    return *this;
}
bool MString::operator==(const MString& other) const { return text_ == other.text_; }
bool MString::operator==(const char* other) const { return text_ == (other ? other : ""); }
bool MString::operator!=(const MString& other) const { return !(*this == other); }
bool MString::operator!=(const char* other) const { return !(*this == other); }
const char* MString::asChar() const { return text_.c_str(); }
unsigned int MString::length() const { return static_cast<unsigned int>(text_.size()); }
unsigned int MString::numChars() const { return length(); }

OPENMAYA_MAJOR_NAMESPACE_OPEN
MString operator+(const MString& a, const MString& b) {
    MString result(a);
    result += b;
    return result;
}
MString operator+(const MString& a, const char* b) {
    MString result(a);
    result += b;
    return result;
}
std::ostream& operator<<(std::ostream& os, const MString& text) { return os << text.asChar(); }
OPENMAYA_NAMESPACE_CLOSE

// ---- MObject

const MObject MObject::kNullObj;

MObject::MObject() = default;
MObject::MObject(const MObject& other) = default;
MObject::~MObject() = default;
MObject& MObject::operator=(const MObject& other) = default;
bool MObject::isNull() const { return !object_; }
MFn::Type MObject::apiType() const { return object_ ? object_->kind : MFn::kInvalid; }
bool MObject::hasFn(MFn::Type type) const {
    MFn::Type kind = apiType();
    if (kind == type) return true;
    switch (type) {
    case MFn::kBase: return kind != MFn::kInvalid;
    case MFn::kDependencyNode: return kind == MFn::kPluginDependNode || kind == MFn::kPluginLocatorNode;
    case MFn::kDagNode: return kind == MFn::kPluginLocatorNode;
    case MFn::kAttribute:
        return kind == MFn::kNumericAttribute || kind == MFn::kTypedAttribute || kind == MFn::kCompoundAttribute ||
               kind == MFn::kEnumAttribute;
    case MFn::kData: return kind == MFn::kMeshData || kind == MFn::kDynArrayAttrsData;
    default: return false;
    }
}
bool MObject::operator==(const MObject& other) const { return object_ == other.object_; }
bool MObject::operator!=(const MObject& other) const { return object_ != other.object_; }

// ---- small value classes

MTypeId::MTypeId() : id_(0) {}
MTypeId::MTypeId(unsigned int id) : id_(id) {}
MTypeId::MTypeId(unsigned int prefix, unsigned int id) : id_((prefix << 8) | (id & 0xFFu)) {}
unsigned int MTypeId::id(MStatus* ReturnStatus) const {
    mayaStandin::detail::setStatus(ReturnStatus, MS::kSuccess);
    return id_;
}
bool MTypeId::operator==(const MTypeId& other) const { return id_ == other.id_; }
bool MTypeId::operator!=(const MTypeId& other) const { return id_ != other.id_; }

MDGContext MDGContext::fsNormal;
MDGContext::MDGContext() = default;
bool MDGContext::isNormal() const { return true; }

MVector::MVector() : x(0.0), y(0.0), z(0.0) {}
MVector::MVector(double xx, double yy, double zz) : x(xx), y(yy), z(zz) {}
bool MVector::operator==(const MVector& o) const { return x == o.x && y == o.y && z == o.z; }
bool MVector::operator!=(const MVector& o) const { return !(*this == o); }

MPoint::MPoint() : x(0.0), y(0.0), z(0.0), w(1.0) {}
MPoint::MPoint(double xx, double yy, double zz, double ww) : x(xx), y(yy), z(zz), w(ww) {}
bool MPoint::operator==(const MPoint& o) const { return x == o.x && y == o.y && z == o.z && w == o.w; }
bool MPoint::operator!=(const MPoint& o) const { return !(*this == o); }

MFloatVector::MFloatVector() : x(0.0f), y(0.0f), z(0.0f) {}
MFloatVector::MFloatVector(float xx, float yy, float zz) : x(xx), y(yy), z(zz) {}

MFloatMatrix::MFloatMatrix() {
    for (unsigned int r = 0; r < 4; ++r)
        for (unsigned int c = 0; c < 4; ++c) matrix[r][c] = r == c ? 1.0f : 0.0f;
}
float MFloatMatrix::operator()(unsigned int row, unsigned int col) const { return matrix[row][col]; }

MFloatPoint::MFloatPoint() : x(0.0f), y(0.0f), z(0.0f), w(1.0f) {}
MFloatPoint::MFloatPoint(float xx, float yy, float zz, float ww) : x(xx), y(yy), z(zz), w(ww) {}
bool MFloatPoint::operator==(const MFloatPoint& o) const { return x == o.x && y == o.y && z == o.z && w == o.w; }
bool MFloatPoint::operator!=(const MFloatPoint& o) const { return !(*this == o); }

MBoundingBox::MBoundingBox() = default;
MBoundingBox::MBoundingBox(const MPoint& a, const MPoint& b)
    : min_(std::min(a.x, b.x), std::min(a.y, b.y), std::min(a.z, b.z)),
      max_(std::max(a.x, b.x), std::max(a.y, b.y), std::max(a.z, b.z)) {}
MPoint MBoundingBox::min() const { return min_; }
MPoint MBoundingBox::max() const { return max_; }

// ---- MFnBase

MFnBase::MFnBase() = default;
MFnBase::~MFnBase() = default;
MFn::Type MFnBase::type() const { return MFn::kBase; }
MObject MFnBase::object(MStatus* ReturnStatus) const {
    mayaStandin::detail::setStatus(ReturnStatus, object_.isNull() ? MS::kInvalidParameter : MS::kSuccess);
    return object_;
}

// ---- faults

namespace mayaStandin {
namespace {

// Every devkit call that checks for an armed fault; a check added to another call adds its name here.
standinFaults::FaultTable& faults() {
    static auto* table = new standinFaults::FaultTable({
        "MDataBlock::inputValue",
        "MDataBlock::outputValue",
        "MDataHandle::set",
        "MDrawRegistry::deregisterDrawOverrideCreator",
        "MDrawRegistry::registerDrawOverrideCreator",
        "MFnArrayAttrsData::MFnArrayAttrsData",
        "MFnArrayAttrsData::checkArrayExist",
        "MFnArrayAttrsData::create",
        "MFnArrayAttrsData::doubleArray",
        "MFnArrayAttrsData::getDoubleData",
        "MFnArrayAttrsData::getIntData",
        "MFnArrayAttrsData::getStringData",
        "MFnArrayAttrsData::getVectorData",
        "MFnArrayAttrsData::intArray",
        "MFnArrayAttrsData::list",
        "MFnArrayAttrsData::stringArray",
        "MFnArrayAttrsData::vectorArray",
        "MFnAttribute::setKeyable",
        "MFnDependencyNode::findPlug",
        "MFnEnumAttribute::create",
        "MFnMesh::MFnMesh",
        "MFnMesh::currentColorSetName",
        "MFnMesh::currentUVSetName",
        "MFnMesh::getColorSetNames",
        "MFnMesh::getAssignedUVs",
        "MFnMesh::getFaceVertexColors",
        "MFnMesh::getPoints",
        "MFnMesh::getTriangleOffsets",
        "MFnMesh::getTriangles",
        "MFnMesh::getUVSetNames",
        "MFnMesh::getUVs",
        "MFnMesh::numColors",
        "MFnPlugin::deregisterNode",
        "MFnPlugin::registerNode",
        "MFnTypedAttribute::create",
        "MImage::readFromFile",
        "MPlug::connectedTo",
        "MPlug::getValue",
        "MPxNode::addAttribute",
        "MRenderUtil::sampleShadingNetwork",
        "MUIDrawManager::points",
    });
    return *table;
}

}  // namespace

void failCall(const std::string& callName, MStatus::MStatusCode code, int skip) { faults().arm(callName, code, skip); }

void clearFaults() { faults().clear(); }

namespace detail {

bool injectedFault(const char* callName, MStatus& status) {
    const std::optional<long long> code = faults().take(callName);
    if (code) status = static_cast<MStatus::MStatusCode>(*code);
    return code.has_value();
}

void hostError(const std::string& message) { std::cerr << "mayaStandin: " << message << std::endl; }

}  // namespace detail
}  // namespace mayaStandin
