// The devkit's graph classes: MPxNode, MPxLocatorNode, MDagPath, MPlug, MDataBlock,
// MDataHandle, MFnDependencyNode, MFnDagNode and MFnPlugin.

#include "graph.h"

#include <maya/MDagPath.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnDependencyNode.h>
// The API library is no plug-in: the version text is each plug-in's own, and one without it must not find this one's.
#define MNoVersionString
#include <maya/MFnPlugin.h>
#include <maya/MPlugArray.h>
#include <maya/MPxLocatorNode.h>

// ---- MPxNode and MPxLocatorNode

using mayaStandin::detail::Access;
using mayaStandin::detail::Attribute;
using mayaStandin::detail::injectedFault;
using mayaStandin::detail::Node;
using mayaStandin::detail::NodeType;
using mayaStandin::detail::setStatus;

MPxNode::MPxNode() : instance_(nullptr) {}
MPxNode::~MPxNode() = default;
MStatus MPxNode::compute(const MPlug&, MDataBlock&) { return MS::kUnknownParameter; }

MObject MPxNode::thisMObject() const {
    return instance_ ? Access::make(instance_->shared_from_this()) : MObject();
}

namespace {

// Attributes not yet added anywhere, whose names the node type does not use yet.
bool fitsInto(const NodeType& type, const std::vector<std::shared_ptr<Attribute>>& added) {
    std::set<std::string> names;
    for (auto& existing : type.attributes) {
        names.insert(existing->name);
        names.insert(existing->shortName);
    }
    for (auto& n : added) {
        if (n->index >= 0 || !names.insert(n->name).second) return false;
        if (!n->shortName.empty() && n->shortName != n->name && !names.insert(n->shortName).second) return false;
    }
    return true;
}

}  // namespace

MStatus MPxNode::addAttribute(const MObject& attribute) {
    MStatus status;
    if (injectedFault("MPxNode::addAttribute", status)) return status;
    NodeType* type = mayaStandin::detail::typeBeingRegistered();
    if (!type) return MS::kFailure;
    Attribute* a = mayaStandin::detail::attributeOf(attribute);
    // Children enter the node type with their top-level parent.
    if (!a || a->parent || a->index >= 0) return MS::kInvalidParameter;

    std::vector<std::shared_ptr<Attribute>> added{std::static_pointer_cast<Attribute>(Access::get(attribute))};
    for (size_t k = 0; k < added.size(); ++k)
        for (auto& child : added[k]->children) added.push_back(child);
    if (!fitsInto(*type, added)) return MS::kInvalidParameter;
    for (auto& n : added) {
        n->index = static_cast<int>(type->attributes.size());
        n->ownerSerial = type->serial;
        type->attributes.push_back(n);
        type->affects.emplace_back();
        type->affected.push_back(0);
    }
    return MS::kSuccess;
}

MStatus MPxNode::attributeAffects(const MObject& whenChanges, const MObject& isAffected) {
    NodeType* type = mayaStandin::detail::typeBeingRegistered();
    if (!type) return MS::kFailure;
    Attribute* from = mayaStandin::detail::attributeOf(whenChanges);
    Attribute* to = mayaStandin::detail::attributeOf(isAffected);
    if (!from || !to || from->ownerSerial != type->serial || to->ownerSerial != type->serial)
        return MS::kInvalidParameter;
    type->affects[from->index].push_back(to->index);
    type->affected[to->index] = 1;
    return MS::kSuccess;
}

MPxLocatorNode::MPxLocatorNode() = default;
MPxLocatorNode::~MPxLocatorNode() = default;
void MPxLocatorNode::draw(M3dView&, const MDagPath&, M3dView::DisplayStyle, M3dView::DisplayStatus) {}
bool MPxLocatorNode::isBounded() const { return false; }
MBoundingBox MPxLocatorNode::boundingBox() const { return MBoundingBox(); }

MDagPath::MDagPath() = default;
bool MDagPath::isValid(MStatus* ReturnStatus) const {
    setStatus(ReturnStatus, MS::kSuccess);
    return !node_.isNull();
}
MObject MDagPath::node(MStatus* ReturnStatus) const {
    setStatus(ReturnStatus, node_.isNull() ? MS::kInvalidParameter : MS::kSuccess);
    return node_;
}

// ---- MPlug

MPlug::MPlug() = default;
MPlug::MPlug(const MObject& node, const MObject& attribute) : node_(node), attribute_(attribute) {}
MPlug::MPlug(const MPlug& other) = default;
MPlug::~MPlug() = default;
MPlug& MPlug::operator=(const MPlug& other) = default;

MObject MPlug::attribute(MStatus* ReturnStatus) const {
    setStatus(ReturnStatus, attribute_.isNull() ? MS::kInvalidParameter : MS::kSuccess);
    return attribute_;
}

MObject MPlug::node(MStatus* ReturnStatus) const {
    setStatus(ReturnStatus, node_.isNull() ? MS::kInvalidParameter : MS::kSuccess);
    return node_;
}

MString MPlug::name(MStatus* ReturnStatus) const {
    mayaStandin::detail::PlugParts parts = mayaStandin::detail::resolve(*this);
    setStatus(ReturnStatus, parts.node ? MS::kSuccess : MS::kInvalidParameter);
    return parts.node ? MString(mayaStandin::detail::plugName(*parts.node, *parts.attribute).c_str()) : MString();
}

bool MPlug::isNull(MStatus* ReturnStatus) const {
    setStatus(ReturnStatus, MS::kSuccess);
    return node_.isNull() || attribute_.isNull();
}

namespace {

// Evaluates the plug if needed; on return the node's mutex is held by `lock`.
MStatus readPlug(const MPlug& plug, bool typed, std::unique_lock<std::recursive_mutex>& lock,
                 mayaStandin::detail::PlugParts& parts) {
    MStatus status;
    if (injectedFault("MPlug::getValue", status)) return status;
    parts = mayaStandin::detail::resolve(plug);
    if (!parts.node || parts.attribute->isCompound() || parts.attribute->isTyped() != typed)
        return MS::kInvalidParameter;
    status = mayaStandin::detail::pull(*parts.node, *parts.attribute);
    lock = std::unique_lock<std::recursive_mutex>(parts.node->mutex);
    return status;
}

template <typename T>
MStatus readNumberPlug(const MPlug& plug, T& value) {
    std::unique_lock<std::recursive_mutex> lock;
    mayaStandin::detail::PlugParts parts;
    MStatus status = readPlug(plug, false, lock, parts);
    if (lock.owns_lock())
        value = static_cast<T>(
            mayaStandin::detail::readNumber(parts.node->values[parts.attribute->index], *parts.attribute));
    return status;
}

MStatus writePlug(const MPlug& plug, double number, const MObject* data) {
    mayaStandin::detail::PlugParts parts = mayaStandin::detail::resolve(plug);
    if (!parts.node) return MS::kInvalidParameter;
    return mayaStandin::detail::setPlugValue(*parts.node, *parts.attribute, number, data);
}

}  // namespace

MStatus MPlug::getValue(float& value, MDGContext&) const { return readNumberPlug(*this, value); }
MStatus MPlug::getValue(int& value, MDGContext&) const { return readNumberPlug(*this, value); }
MStatus MPlug::getValue(double& value, MDGContext&) const { return readNumberPlug(*this, value); }

MStatus MPlug::getValue(MObject& value, MDGContext&) const {
    std::unique_lock<std::recursive_mutex> lock;
    mayaStandin::detail::PlugParts parts;
    MStatus status = readPlug(*this, true, lock, parts);
    if (lock.owns_lock()) value = parts.node->values[parts.attribute->index].data;
    return status;
}

MStatus MPlug::getValue(MString& value, MDGContext&) const {
    std::unique_lock<std::recursive_mutex> lock;
    mayaStandin::detail::PlugParts parts;
    MStatus status = readPlug(*this, true, lock, parts);
    if (!lock.owns_lock()) return status;
    if (parts.attribute->dataType != MFnData::kString) return MS::kInvalidParameter;
    const auto* text = Access::as<mayaStandin::detail::StringData>(parts.node->values[parts.attribute->index].data,
                                                                   MFn::kStringData);
    value = text ? text->text : MString();
    return status;
}

MStatus MPlug::setValue(const MString& value) {
    auto text = std::make_shared<mayaStandin::detail::StringData>();
    text->text = value;
    MObject data = Access::make(text);
    return writePlug(*this, 0.0, &data);
}

MStatus MPlug::setValue(float value) { return writePlug(*this, value, nullptr); }
MStatus MPlug::setValue(int value) { return writePlug(*this, value, nullptr); }
MStatus MPlug::setValue(double value) { return writePlug(*this, value, nullptr); }
MStatus MPlug::setValue(MObject& value) { return writePlug(*this, 0.0, &value); }

bool MPlug::connectedTo(MPlugArray& array, bool asDst, bool asSrc, MStatus* ReturnStatus) const {
    array.clear();
    MStatus status;
    if (injectedFault("MPlug::connectedTo", status)) {
        setStatus(ReturnStatus, status);
        return false;
    }
    mayaStandin::detail::PlugParts parts = mayaStandin::detail::resolve(*this);
    if (!parts.node) {
        setStatus(ReturnStatus, MS::kInvalidParameter);
        return false;
    }
    std::lock_guard<std::mutex> lock(mayaStandin::detail::graphMutex());
    for (const auto& c : mayaStandin::detail::graph().connections) {
        if (asDst && c.destination.get() == parts.node && c.destinationIndex == parts.attribute->index)
            array.append(MPlug(Access::make(c.source), Access::make(c.source->type->attributes[c.sourceIndex])));
        if (asSrc && c.source.get() == parts.node && c.sourceIndex == parts.attribute->index)
            array.append(MPlug(Access::make(c.destination),
                               Access::make(c.destination->type->attributes[c.destinationIndex])));
    }
    setStatus(ReturnStatus, MS::kSuccess);
    return array.length() > 0;
}

bool MPlug::operator==(const MPlug& other) const { return node_ == other.node_ && attribute_ == other.attribute_; }
bool MPlug::operator==(const MObject& attribute) const { return attribute_ == attribute; }
bool MPlug::operator!=(const MPlug& other) const { return !(*this == other); }
bool MPlug::operator!=(const MObject& attribute) const { return !(*this == attribute); }

// ---- MDataBlock and MDataHandle

MDataBlock::MDataBlock(Node* node) : node_(node) {}

namespace {

// The block's slot for the attribute, unless the call's armed fault fires or the attribute is not the node's own.
Attribute* blockAttribute(const char* callName, Node* node, const MObject& attribute, MStatus& status) {
    if (injectedFault(callName, status)) return nullptr;
    Attribute* a = mayaStandin::detail::attributeOf(attribute);
    if (!node || !a || !mayaStandin::detail::belongsTo(*a, *node) || a->isCompound()) {
        status = MS::kInvalidParameter;
        return nullptr;
    }
    return a;
}

}  // namespace

MDataHandle MDataBlock::inputValue(const MObject& attribute, MStatus* ReturnStatus) {
    MStatus status;
    Attribute* a = blockAttribute("MDataBlock::inputValue", node_, attribute, status);
    if (a) status = mayaStandin::detail::pull(*node_, *a);
    // A colour reads its children, each evaluated as a plug of its own.
    if (a && a->isFloat3()) {
        float* parts[3] = {&node_->values[a->index].f3.x, &node_->values[a->index].f3.y,
                           &node_->values[a->index].f3.z};
        for (size_t k = 0; k < 3 && status == MS::kSuccess; ++k) {
            Attribute& child = *a->children[k];
            status = mayaStandin::detail::pull(*node_, child);
            *parts[k] = static_cast<float>(mayaStandin::detail::readNumber(node_->values[child.index], child));
        }
    }
    setStatus(ReturnStatus, status);
    return a ? Access::handle(&node_->values[a->index], a) : MDataHandle();
}

MDataHandle MDataBlock::outputValue(const MObject& attribute, MStatus* ReturnStatus) {
    MStatus status;
    Attribute* a = blockAttribute("MDataBlock::outputValue", node_, attribute, status);
    setStatus(ReturnStatus, status);
    return a ? Access::handle(&node_->values[a->index], a) : MDataHandle();
}

MStatus MDataBlock::setClean(const MObject& attribute) {
    Attribute* a = mayaStandin::detail::attributeOf(attribute);
    if (!node_ || !a || !mayaStandin::detail::belongsTo(*a, *node_)) return MS::kInvalidParameter;
    std::lock_guard<std::mutex> lock(mayaStandin::detail::graphMutex());
    mayaStandin::detail::cleanPlug(*node_, a->index);
    return MS::kSuccess;
}

MStatus MDataBlock::setClean(const MPlug& plug) {
    mayaStandin::detail::PlugParts parts = mayaStandin::detail::resolve(plug);
    if (!parts.node || parts.node != node_) return MS::kInvalidParameter;
    std::lock_guard<std::mutex> lock(mayaStandin::detail::graphMutex());
    mayaStandin::detail::cleanPlug(*node_, parts.attribute->index);
    return MS::kSuccess;
}

namespace {

// What a handle that refers to nothing reads and writes.
mayaStandin::detail::Value& scratchValue() {
    thread_local mayaStandin::detail::Value scratch;
    scratch = mayaStandin::detail::Value();
    return scratch;
}

}  // namespace

MDataHandle::MDataHandle() : value_(nullptr), attribute_(nullptr) {}

MObject MDataHandle::data() {
    return value_ && attribute_->isTyped() ? value_->data : MObject();
}

MObject MDataHandle::asMesh() {
    return value_ && attribute_->isTyped() && value_->data.apiType() == MFn::kMeshData ? value_->data : MObject();
}

bool& MDataHandle::asBool() {
    if (!value_ || !attribute_->isNumeric()) return scratchValue().b;
    value_->b = mayaStandin::detail::readNumber(*value_, *attribute_) != 0.0;
    return value_->b;
}

float& MDataHandle::asFloat() {
    if (!value_ || !attribute_->isNumeric()) return scratchValue().f;
    if (attribute_->numericType != MFnNumericData::kFloat)
        value_->f = static_cast<float>(mayaStandin::detail::readNumber(*value_, *attribute_));
    return value_->f;
}

int& MDataHandle::asInt() {
    if (!value_ || !attribute_->isNumeric()) return scratchValue().i;
    if (!mayaStandin::detail::isIntegerType(attribute_->numericType))
        value_->i = static_cast<int>(mayaStandin::detail::readNumber(*value_, *attribute_));
    return value_->i;
}

short& MDataHandle::asShort() {
    if (!value_ || !attribute_->isNumeric()) return scratchValue().s;
    value_->s = static_cast<short>(mayaStandin::detail::readNumber(*value_, *attribute_));
    return value_->s;
}

double& MDataHandle::asDouble() {
    if (!value_ || !attribute_->isNumeric()) return scratchValue().d;
    if (attribute_->numericType != MFnNumericData::kDouble)
        value_->d = mayaStandin::detail::readNumber(*value_, *attribute_);
    return value_->d;
}

MString& MDataHandle::asString() {
    thread_local MString empty;
    empty = MString();
    if (!value_ || !attribute_->isTyped() || attribute_->dataType != MFnData::kString) return empty;
    auto* text = Access::as<mayaStandin::detail::StringData>(value_->data, MFn::kStringData);
    return text ? text->text : empty;
}

MFloatVector& MDataHandle::asFloatVector() {
    if (!value_ || !attribute_->isFloat3()) return scratchValue().f3;
    return value_->f3;
}

void MDataHandle::set(const MString& value) {
    if (!value_ || !attribute_->isTyped() || attribute_->dataType != MFnData::kString) return;
    auto text = std::make_shared<mayaStandin::detail::StringData>();
    text->text = value;
    value_->data = Access::make(text);
}

void MDataHandle::set(float value) { set(static_cast<double>(value)); }
void MDataHandle::set(int value) { set(static_cast<double>(value)); }
void MDataHandle::set(double value) {
    if (value_ && attribute_->isNumeric()) mayaStandin::detail::writeNumber(*value_, *attribute_, value);
}

MStatus MDataHandle::set(const MObject& data) {
    MStatus status;
    if (injectedFault("MDataHandle::set", status)) return status;
    if (!value_ || !attribute_->isTyped()) return MS::kInvalidParameter;
    if (!mayaStandin::detail::matchesDataType(data, attribute_->dataType)) return MS::kInvalidParameter;
    value_->data = data;
    return MS::kSuccess;
}

// ---- MFnDependencyNode and MFnDagNode

MFnDependencyNode::MFnDependencyNode() = default;
MFnDependencyNode::MFnDependencyNode(const MObject& object, MStatus* ReturnStatus) {
    bool ok = mayaStandin::detail::liveNodeOf(object) != nullptr;
    if (ok) object_ = object;
    setStatus(ReturnStatus, ok ? MS::kSuccess : MS::kInvalidParameter);
}
MFnDependencyNode::~MFnDependencyNode() = default;
MFn::Type MFnDependencyNode::type() const { return MFn::kDependencyNode; }

MPlug MFnDependencyNode::findPlug(const MObject& attribute, MStatus* ReturnStatus) const {
    MStatus status;
    if (injectedFault("MFnDependencyNode::findPlug", status)) {
        setStatus(ReturnStatus, status);
        return MPlug();
    }
    Node* node = mayaStandin::detail::liveNodeOf(object_);
    Attribute* a = mayaStandin::detail::attributeOf(attribute);
    if (!node || !a || !mayaStandin::detail::belongsTo(*a, *node)) {
        setStatus(ReturnStatus, MS::kInvalidParameter);
        return MPlug();
    }
    setStatus(ReturnStatus, MS::kSuccess);
    return MPlug(object_, attribute);
}

MPlug MFnDependencyNode::findPlug(const MString& attributeName, MStatus* ReturnStatus) const {
    MStatus status;
    if (injectedFault("MFnDependencyNode::findPlug", status)) {
        setStatus(ReturnStatus, status);
        return MPlug();
    }
    Node* node = mayaStandin::detail::liveNodeOf(object_);
    Attribute* a = node ? mayaStandin::detail::attributeByName(*node, attributeName.asChar()) : nullptr;
    if (!a) {
        setStatus(ReturnStatus, MS::kInvalidParameter);
        return MPlug();
    }
    setStatus(ReturnStatus, MS::kSuccess);
    return MPlug(object_, Access::make(node->type->attributes[a->index]));
}

MString MFnDependencyNode::name(MStatus* ReturnStatus) const {
    Node* node = mayaStandin::detail::liveNodeOf(object_);
    setStatus(ReturnStatus, node ? MS::kSuccess : MS::kInvalidParameter);
    return node ? MString(node->name.c_str()) : MString();
}

MTypeId MFnDependencyNode::typeId(MStatus* ReturnStatus) const {
    Node* node = mayaStandin::detail::liveNodeOf(object_);
    setStatus(ReturnStatus, node ? MS::kSuccess : MS::kInvalidParameter);
    return node ? MTypeId(node->type->id) : MTypeId();
}

MString MFnDependencyNode::typeName(MStatus* ReturnStatus) const {
    Node* node = mayaStandin::detail::liveNodeOf(object_);
    setStatus(ReturnStatus, node ? MS::kSuccess : MS::kInvalidParameter);
    return node ? MString(node->type->name.c_str()) : MString();
}

MPxNode* MFnDependencyNode::userNode(MStatus* ReturnStatus) const {
    Node* node = mayaStandin::detail::liveNodeOf(object_);
    setStatus(ReturnStatus, node ? MS::kSuccess : MS::kInvalidParameter);
    return node ? node->user : nullptr;
}

MFnDagNode::MFnDagNode() = default;
MFnDagNode::MFnDagNode(const MObject& object, MStatus* ReturnStatus) {
    Node* node = mayaStandin::detail::liveNodeOf(object);
    bool ok = node && node->kind == MFn::kPluginLocatorNode;
    if (ok) object_ = object;
    setStatus(ReturnStatus, ok ? MS::kSuccess : MS::kInvalidParameter);
}
MFnDagNode::~MFnDagNode() = default;
MFn::Type MFnDagNode::type() const { return MFn::kDagNode; }

// ---- MFnPlugin

MFnPlugin::MFnPlugin() = default;
MFnPlugin::MFnPlugin(MObject& object, const char* vendor, const char* version, const char*, MStatus* ReturnStatus)
    : vendor_(vendor), version_(version) {
    auto* plugin = Access::as<mayaStandin::detail::PluginObject>(object, MFn::kPlugin);
    bool ok = plugin && plugin->loaded;
    if (ok) object_ = object;
    setStatus(ReturnStatus, ok ? MS::kSuccess : MS::kInvalidParameter);
}
MFnPlugin::~MFnPlugin() = default;
MFn::Type MFnPlugin::type() const { return MFn::kPlugin; }
MString MFnPlugin::vendor(MStatus* ReturnStatus) const {
    setStatus(ReturnStatus, MS::kSuccess);
    return vendor_;
}
MString MFnPlugin::version(MStatus* ReturnStatus) const {
    setStatus(ReturnStatus, MS::kSuccess);
    return version_;
}

namespace {

const mayaStandin::detail::PluginObject* loadedPlugin(const MObject& object) {
    auto* plugin = Access::as<mayaStandin::detail::PluginObject>(object, MFn::kPlugin);
    return plugin && plugin->loaded ? plugin : nullptr;
}

}  // namespace

MStatus MFnPlugin::registerNode(const MString& typeName, const MTypeId& typeId, MCreatorFunction creatorFunction,
                                MInitializeFunction initFunction, MPxNode::Type type, const MString* classification) {
    MStatus status;
    const std::string drawClassification = classification ? classification->asChar() : "";
    if (!injectedFault("MFnPlugin::registerNode", status)) {
        const auto* plugin = loadedPlugin(object_);
        status = plugin ? mayaStandin::detail::registerNodeType(plugin->path, typeName.asChar(), typeId.id(),
                                                                creatorFunction, initFunction, type, drawClassification)
                        : MStatus(MS::kFailure);
    }
    mayaStandin::detail::appendLog(std::string("register ") + typeName.asChar() + " " + std::to_string(typeId.id()) +
                                   (drawClassification.empty() ? "" : " " + drawClassification) +
                                   (status ? "" : " failed"));
    return status;
}

MStatus MFnPlugin::deregisterNode(const MTypeId& typeId) {
    MStatus status;
    if (!injectedFault("MFnPlugin::deregisterNode", status)) {
        const auto* plugin = loadedPlugin(object_);
        status = plugin ? mayaStandin::detail::deregisterNodeType(plugin->path, typeId.id()) : MStatus(MS::kFailure);
    }
    mayaStandin::detail::appendLog("deregister " + std::to_string(typeId.id()) + (status ? "" : " failed"));
    return status;
}
