// Node types, node instances, plugs and the lazy evaluation of the dependency graph.
//
// Locking: a node's own recursive mutex is held while it is computed, drawn or
// written; graphMutex() guards the registry, the connections and the dirty flags
// and is never held while plug-in code runs. A node mutex may be taken while
// another is held only upstream (connections never form a cycle).

#include "internal.h"

#include <maya/MDagPath.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnPlugin.h>
#include <maya/MPxLocatorNode.h>
#include <mayaStandin/host.h>

#include <exception>
#include <map>
#include <set>

namespace mayaStandin {
namespace detail {
namespace {

struct Connection {
    std::shared_ptr<Node> source;
    int sourceIndex;
    std::shared_ptr<Node> destination;
    int destinationIndex;
};

struct Graph {
    std::map<unsigned int, std::shared_ptr<NodeType>> types;
    std::vector<std::shared_ptr<Node>> nodes;
    std::vector<Connection> connections;
    std::vector<std::string> log;
    std::map<std::string, int> nameCounters;
    unsigned long typeSerial = 0;
};

Graph& graph() {
    static Graph* instance = new Graph;  // outlives every plug-in's static handles
    return *instance;
}

using Visited = std::set<std::pair<const Node*, int>>;

// The attribute, its ancestors and its descendants: a change to any of them is a
// change to the others.
void family(const NodeType& type, int index, std::vector<int>& out) {
    out.push_back(index);
    for (Attribute* up = type.attributes[index]->parent; up; up = up->parent) out.push_back(up->index);
    std::vector<const Attribute*> pending{type.attributes[index].get()};
    while (!pending.empty()) {
        const Attribute* a = pending.back();
        pending.pop_back();
        for (auto& child : a->children) {
            out.push_back(child->index);
            pending.push_back(child.get());
        }
    }
}

void changed(Node& node, int index, Visited& visited);

void dirtyPlug(Node& node, int index, Visited& visited) {
    std::vector<int> members;
    family(*node.type, index, members);
    for (int i : members) node.dirty[i] = 1;
    changed(node, index, visited);
}

// Everything downstream of a changed plug becomes dirty (graph lock held).
void changed(Node& node, int index, Visited& visited) {
    if (!visited.insert({&node, index}).second) return;
    std::vector<int> members;
    family(*node.type, index, members);
    for (int i : members) {
        for (int target : node.type->affects[i]) dirtyPlug(node, target, visited);
        for (auto& c : graph().connections)
            if (c.source.get() == &node && c.sourceIndex == i) dirtyPlug(*c.destination, c.destinationIndex, visited);
    }
}

void cleanPlug(Node& node, int index) {
    std::vector<int> members{index};
    for (size_t k = 0; k < members.size(); ++k)
        for (auto& child : node.type->attributes[members[k]]->children) members.push_back(child->index);
    for (int i : members) node.dirty[i] = 0;
}

const Connection* incoming(const Node& node, int index) {
    for (auto& c : graph().connections)
        if (c.destination.get() == &node && c.destinationIndex == index) return &c;
    return nullptr;
}

void copyValue(const Attribute& from, const Value& source, const Attribute& to, Value& destination) {
    if (to.isTyped())
        destination.data = source.data;
    else
        writeNumber(destination, to, readNumber(source, from));
}

std::shared_ptr<Node> sharedNode(const MObject& object) {
    const std::shared_ptr<Object>& raw = Access::get(object);
    if (!raw || !isNodeKind(raw->kind)) return nullptr;
    auto node = std::static_pointer_cast<Node>(raw);
    return node->alive ? node : nullptr;
}

MObject nodeObject(Node& node) { return Access::make(node.shared_from_this()); }

std::string plugName(const Node& node, const Attribute& attribute) { return node.name + "." + attribute.name; }

struct PlugParts {
    Node* node = nullptr;
    Attribute* attribute = nullptr;
};

PlugParts resolve(const MPlug& plug) {
    PlugParts parts;
    parts.node = liveNodeOf(plug.node());
    parts.attribute = attributeOf(plug.attribute());
    if (!parts.node || !parts.attribute || !belongsTo(*parts.attribute, *parts.node)) return PlugParts();
    return parts;
}

Attribute* attributeByName(const Node& node, const std::string& name) {
    for (auto& a : node.type->attributes)
        if (a->name == name || a->shortName == name) return a.get();
    return nullptr;
}

}  // namespace

std::mutex& graphMutex() {
    static std::mutex* mutex = new std::mutex;
    return *mutex;
}

NodeType*& typeBeingRegistered() {
    thread_local NodeType* current = nullptr;
    return current;
}

bool isNodeKind(MFn::Type kind) { return kind == MFn::kPluginDependNode || kind == MFn::kPluginLocatorNode; }

Node* liveNodeOf(const MObject& object) {
    Object* raw = Access::get(object).get();
    if (!raw || !isNodeKind(raw->kind)) return nullptr;
    Node* node = static_cast<Node*>(raw);
    return node->alive ? node : nullptr;
}

bool belongsTo(const Attribute& attribute, const Node& node) {
    return attribute.index >= 0 && attribute.ownerSerial == node.type->serial &&
           static_cast<size_t>(attribute.index) < node.values.size();
}

MStatus registerNodeType(const std::string& pluginPath, const std::string& name, unsigned int id,
                         MCreatorFunction creator, MInitializeFunction initializer, MPxNode::Type kind) {
    if (name.empty() || !creator || !initializer) return MS::kInvalidParameter;
    if (kind != MPxNode::kDependNode && kind != MPxNode::kLocatorNode) return MS::kNotImplemented;
    auto taken = [&]() {
        for (auto& entry : graph().types)
            if (entry.first == id || entry.second->name == name) return true;
        return false;
    };
    auto type = std::make_shared<NodeType>();
    {
        std::lock_guard<std::mutex> lock(graphMutex());
        if (taken()) return MS::kFailure;
        type->serial = ++graph().typeSerial;
    }
    type->name = name;
    type->id = id;
    type->creator = creator;
    type->initializer = initializer;
    type->kind = kind;
    type->pluginPath = pluginPath;

    NodeType*& current = typeBeingRegistered();
    NodeType* outer = current;
    current = type.get();
    MStatus status;
    try {
        status = initializer();
    } catch (const std::exception& e) {
        hostError("initializer of " + name + " threw: " + e.what());
        status = MS::kFailure;
    } catch (...) {
        hostError("initializer of " + name + " threw");
        status = MS::kFailure;
    }
    current = outer;
    if (!status) return status;

    std::lock_guard<std::mutex> lock(graphMutex());
    if (taken()) return MS::kFailure;
    graph().types[id] = type;
    return MS::kSuccess;
}

MStatus deregisterNodeType(const std::string& pluginPath, unsigned int id) {
    std::lock_guard<std::mutex> lock(graphMutex());
    auto it = graph().types.find(id);
    if (it == graph().types.end() || it->second->pluginPath != pluginPath) return MS::kFailure;
    // Instances would be left without code behind them.
    for (auto& node : graph().nodes)
        if (node->type == it->second) return MS::kFailure;
    graph().types.erase(it);
    return MS::kSuccess;
}

void dropPluginTypes(const std::string& pluginPath, const std::string& reason) {
    std::lock_guard<std::mutex> lock(graphMutex());
    for (auto it = graph().types.begin(); it != graph().types.end();) {
        if (it->second->pluginPath == pluginPath) {
            hostError(reason + ": dropping node type " + it->second->name);
            it = graph().types.erase(it);
        } else {
            ++it;
        }
    }
}

std::vector<MObject> pluginNodes(const std::string& pluginPath) {
    std::lock_guard<std::mutex> lock(graphMutex());
    std::vector<MObject> result;
    for (auto& node : graph().nodes)
        if (node->type->pluginPath == pluginPath) result.push_back(Access::make(node));
    return result;
}

void appendLog(const std::string& line) {
    std::lock_guard<std::mutex> lock(graphMutex());
    graph().log.push_back(line);
}

MStatus pull(Node& node, Attribute& attribute) {
    std::lock_guard<std::recursive_mutex> nodeLock(node.mutex);
    if (!node.alive || !belongsTo(attribute, node)) return MS::kInvalidParameter;
    if (attribute.isCompound()) return MS::kInvalidParameter;
    const int index = attribute.index;

    std::shared_ptr<Node> source;
    int sourceIndex = -1;
    bool dirty;
    {
        std::lock_guard<std::mutex> lock(graphMutex());
        dirty = node.dirty[index] != 0;
        if (const Connection* c = incoming(node, index)) {
            source = c->source;
            sourceIndex = c->sourceIndex;
        }
    }

    if (source) {
        if (!dirty) return MS::kSuccess;
        Attribute& sourceAttribute = *source->type->attributes[sourceIndex];
        MStatus status = pull(*source, sourceAttribute);
        {
            std::lock_guard<std::recursive_mutex> sourceLock(source->mutex);
            copyValue(sourceAttribute, source->values[sourceIndex], attribute, node.values[index]);
        }
        if (status) {
            std::lock_guard<std::mutex> lock(graphMutex());
            node.dirty[index] = 0;
        }
        return status;
    }

    if (!dirty || node.computing[index] || !node.user) return MS::kSuccess;

    // A failed compute leaves the plug as it was.
    Value saved = node.values[index];
    node.computing[index] = 1;
    ++node.computeCount;
    MDataBlock block = Access::block(&node);
    MPlug plug(nodeObject(node), Access::make(node.type->attributes[index]));
    MStatus status;
    try {
        status = node.user->compute(plug, block);
    } catch (const std::exception& e) {
        hostError("compute of " + plugName(node, attribute) + " threw: " + e.what());
        status = MS::kFailure;
    } catch (...) {
        hostError("compute of " + plugName(node, attribute) + " threw");
        status = MS::kFailure;
    }
    node.computing[index] = 0;
    if (status == MS::kUnknownParameter) return MS::kSuccess;
    if (!status) node.values[index] = saved;
    return status;
}

MStatus setPlugValue(Node& node, Attribute& attribute, double number, const MObject* data) {
    std::lock_guard<std::recursive_mutex> nodeLock(node.mutex);
    if (!node.alive || !belongsTo(attribute, node)) return MS::kInvalidParameter;
    if (!attribute.writable || attribute.isCompound()) return MS::kInvalidParameter;
    if ((data != nullptr) != attribute.isTyped()) return MS::kInvalidParameter;
    {
        std::lock_guard<std::mutex> lock(graphMutex());
        if (incoming(node, attribute.index)) return MS::kInvalidParameter;
    }
    Value& value = node.values[attribute.index];
    if (data) {
        if (!data->isNull()) {
            bool mesh = attribute.dataType == MFnData::kMesh && data->apiType() == MFn::kMeshData;
            bool record = attribute.dataType == MFnData::kDynArrayAttrs && data->apiType() == MFn::kDynArrayAttrsData;
            if (!mesh && !record && attribute.dataType != MFnData::kAny) return MS::kInvalidParameter;
        }
        value.data = *data;
    } else {
        if (attribute.hasMin && number < attribute.minValue) number = attribute.minValue;
        if (attribute.hasMax && number > attribute.maxValue) number = attribute.maxValue;
        writeNumber(value, attribute, number);
    }
    std::lock_guard<std::mutex> lock(graphMutex());
    cleanPlug(node, attribute.index);
    Visited visited;
    changed(node, attribute.index, visited);
    return MS::kSuccess;
}

}  // namespace detail

// ---- host: registry

using detail::Access;
using detail::Attribute;
using detail::graph;
using detail::graphMutex;
using detail::hostError;
using detail::Node;

bool isNodeTypeRegistered(const std::string& typeName) {
    std::lock_guard<std::mutex> lock(graphMutex());
    for (auto& entry : graph().types)
        if (entry.second->name == typeName) return true;
    return false;
}

bool isNodeTypeRegistered(unsigned int typeId) {
    std::lock_guard<std::mutex> lock(graphMutex());
    return graph().types.count(typeId) != 0;
}

std::vector<std::string> registryLog() {
    std::lock_guard<std::mutex> lock(graphMutex());
    return graph().log;
}

void clearRegistryLog() {
    std::lock_guard<std::mutex> lock(graphMutex());
    graph().log.clear();
}

// ---- host: nodes

MObject createNode(const std::string& typeName, MStatus* status) {
    std::shared_ptr<detail::NodeType> type;
    {
        std::lock_guard<std::mutex> lock(graphMutex());
        for (auto& entry : graph().types)
            if (entry.second->name == typeName) type = entry.second;
    }
    if (!type) {
        hostError("createNode: unknown node type \"" + typeName + "\"");
        detail::setStatus(status, MS::kInvalidParameter);
        return MObject();
    }
    void* raw = nullptr;
    try {
        raw = type->creator();
    } catch (...) {
        raw = nullptr;
    }
    MPxNode* user = static_cast<MPxNode*>(raw);
    if (user && type->kind == MPxNode::kLocatorNode && !dynamic_cast<MPxLocatorNode*>(user)) {
        delete user;
        user = nullptr;
    }
    if (!user) {
        hostError("createNode: the creator of " + typeName + " gave no node");
        detail::setStatus(status, MS::kFailure);
        return MObject();
    }

    auto node = std::make_shared<Node>(type->kind == MPxNode::kLocatorNode ? MFn::kPluginLocatorNode
                                                                           : MFn::kPluginDependNode);
    node->type = type;
    node->user = user;
    Access::instance(*user) = node.get();
    const size_t count = type->attributes.size();
    node->values.resize(count);
    node->computing.assign(count, 0);
    node->dirty.assign(count, 0);
    for (size_t i = 0; i < count; ++i) {
        const Attribute& a = *type->attributes[i];
        if (a.isNumeric()) detail::writeNumber(node->values[i], a, a.defaultValue);
        if (a.isTyped()) node->values[i].data = a.defaultData;
    }

    std::lock_guard<std::mutex> lock(graphMutex());
    // Computed attributes start out needing evaluation.
    detail::Visited visited;
    for (size_t i = 0; i < count; ++i)
        if (type->affected[i]) detail::dirtyPlug(*node, static_cast<int>(i), visited);
    node->name = typeName + std::to_string(++graph().nameCounters[typeName]);
    graph().nodes.push_back(node);
    detail::setStatus(status, MS::kSuccess);
    return Access::make(node);
}

MStatus deleteNode(const MObject& object) {
    std::shared_ptr<Node> node = detail::sharedNode(object);
    if (!node) {
        hostError("deleteNode: not a live node");
        return MS::kInvalidParameter;
    }
    MPxNode* user = nullptr;
    {
        std::lock_guard<std::recursive_mutex> nodeLock(node->mutex);
        {
            std::lock_guard<std::mutex> lock(graphMutex());
            if (!node->alive) return MS::kInvalidParameter;
            node->alive = false;
            auto& connections = graph().connections;
            std::vector<detail::Connection> downstream;
            for (auto it = connections.begin(); it != connections.end();) {
                if (it->source == node || it->destination == node) {
                    if (it->source == node) downstream.push_back(*it);
                    it = connections.erase(it);
                } else {
                    ++it;
                }
            }
            // A destination that loses its source keeps its value and dirties what it feeds.
            for (auto& c : downstream) {
                detail::cleanPlug(*c.destination, c.destinationIndex);
                detail::Visited visited;
                detail::changed(*c.destination, c.destinationIndex, visited);
            }
            auto& nodes = graph().nodes;
            for (auto it = nodes.begin(); it != nodes.end(); ++it)
                if (*it == node) {
                    nodes.erase(it);
                    break;
                }
        }
        user = node->user;
        node->user = nullptr;
        try {
            delete user;
        } catch (...) {
            hostError("deleteNode: the destructor of " + node->name + " threw");
        }
    }
    return MS::kSuccess;
}

MPxNode* userNode(const MObject& object) {
    Node* node = detail::liveNodeOf(object);
    return node ? node->user : nullptr;
}

int computeCount(const MObject& object) {
    Node* node = detail::liveNodeOf(object);
    return node ? node->computeCount.load() : 0;
}

// ---- host: plugs

MPlug findPlug(const MObject& object, const std::string& attributeName, MStatus* status) {
    Node* node = detail::liveNodeOf(object);
    Attribute* attribute = node ? detail::attributeByName(*node, attributeName) : nullptr;
    if (!attribute) {
        hostError("findPlug: no attribute \"" + attributeName + "\"" + (node ? " on " + node->name : " (no node)"));
        detail::setStatus(status, MS::kInvalidParameter);
        return MPlug();
    }
    detail::setStatus(status, MS::kSuccess);
    return MPlug(object, Access::make(node->type->attributes[attribute->index]));
}

MStatus connect(const MPlug& source, const MPlug& destination) {
    detail::PlugParts from = detail::resolve(source);
    detail::PlugParts to = detail::resolve(destination);
    if (!from.node || !to.node) {
        hostError("connect: invalid plug");
        return MS::kInvalidParameter;
    }
    const std::string what = detail::plugName(*from.node, *from.attribute) + " -> " +
                             detail::plugName(*to.node, *to.attribute);
    if (from.attribute->isCompound() || to.attribute->isCompound()) {
        hostError("connect " + what + ": compound connections are not supported");
        return MS::kNotImplemented;
    }
    if (!from.attribute->readable) {
        hostError("connect " + what + ": the source is not readable");
        return MS::kInvalidParameter;
    }
    if (!to.attribute->writable) {
        hostError("connect " + what + ": the destination is not writable");
        return MS::kInvalidParameter;
    }
    bool compatible = from.attribute->isNumeric() ? to.attribute->isNumeric()
                                                  : to.attribute->isTyped() &&
                                                        (from.attribute->dataType == to.attribute->dataType ||
                                                         to.attribute->dataType == MFnData::kAny);
    if (!compatible) {
        hostError("connect " + what + ": the attribute types do not match");
        return MS::kInvalidParameter;
    }

    std::lock_guard<std::mutex> lock(graphMutex());
    if (detail::incoming(*to.node, to.attribute->index)) {
        hostError("connect " + what + ": the destination already has an incoming connection");
        return MS::kInvalidParameter;
    }
    // Refuse cycles: the destination node must not feed the source node.
    std::vector<const Node*> pending{from.node};
    std::set<const Node*> seen;
    while (!pending.empty()) {
        const Node* n = pending.back();
        pending.pop_back();
        if (n == to.node) {
            hostError("connect " + what + ": the connection would close a cycle");
            return MS::kInvalidParameter;
        }
        if (!seen.insert(n).second) continue;
        for (auto& c : graph().connections)
            if (c.destination.get() == n) pending.push_back(c.source.get());
    }
    graph().connections.push_back(detail::Connection{detail::sharedNode(source.node()), from.attribute->index,
                                                     detail::sharedNode(destination.node()), to.attribute->index});
    detail::Visited visited;
    detail::dirtyPlug(*to.node, to.attribute->index, visited);
    return MS::kSuccess;
}

MStatus disconnect(const MPlug& source, const MPlug& destination) {
    detail::PlugParts from = detail::resolve(source);
    detail::PlugParts to = detail::resolve(destination);
    std::lock_guard<std::mutex> lock(graphMutex());
    auto& connections = graph().connections;
    for (auto it = connections.begin(); from.node && to.node && it != connections.end(); ++it) {
        if (it->source.get() == from.node && it->sourceIndex == from.attribute->index &&
            it->destination.get() == to.node && it->destinationIndex == to.attribute->index) {
            connections.erase(it);
            // The destination keeps the value it last received.
            detail::cleanPlug(*to.node, to.attribute->index);
            detail::Visited visited;
            detail::changed(*to.node, to.attribute->index, visited);
            return MS::kSuccess;
        }
    }
    hostError("disconnect: the plugs are not connected");
    return MS::kInvalidParameter;
}

bool isDirty(const MPlug& plug) {
    detail::PlugParts parts = detail::resolve(plug);
    if (!parts.node) return false;
    std::lock_guard<std::mutex> lock(graphMutex());
    return parts.node->dirty[parts.attribute->index] != 0;
}

MStatus draw(const MObject& locatorNode, M3dView& view) {
    std::shared_ptr<Node> node = detail::sharedNode(locatorNode);
    if (!node || node->kind != MFn::kPluginLocatorNode) {
        hostError("draw: not a live locator node");
        return MS::kInvalidParameter;
    }
    std::lock_guard<std::recursive_mutex> nodeLock(node->mutex);
    MPxLocatorNode* locator = dynamic_cast<MPxLocatorNode*>(node->user);
    if (!node->alive || !locator) return MS::kInvalidParameter;
    try {
        locator->draw(view, MDagPath(), M3dView::kFlatShaded, M3dView::kActive);
    } catch (const std::exception& e) {
        hostError("draw of " + node->name + " threw: " + e.what());
        return MS::kFailure;
    } catch (...) {
        hostError("draw of " + node->name + " threw");
        return MS::kFailure;
    }
    return MS::kSuccess;
}

}  // namespace mayaStandin

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
    std::set<std::string> names;
    for (auto& existing : type->attributes) {
        names.insert(existing->name);
        names.insert(existing->shortName);
    }
    for (auto& n : added) {
        if (n->index >= 0 || !names.insert(n->name).second) return MS::kInvalidParameter;
        if (!n->shortName.empty() && n->shortName != n->name && !names.insert(n->shortName).second)
            return MS::kInvalidParameter;
    }
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

MStatus MPlug::setValue(float value) { return writePlug(*this, value, nullptr); }
MStatus MPlug::setValue(int value) { return writePlug(*this, value, nullptr); }
MStatus MPlug::setValue(double value) { return writePlug(*this, value, nullptr); }
MStatus MPlug::setValue(MObject& value) { return writePlug(*this, 0.0, &value); }

bool MPlug::operator==(const MPlug& other) const { return node_ == other.node_ && attribute_ == other.attribute_; }
bool MPlug::operator==(const MObject& attribute) const { return attribute_ == attribute; }
bool MPlug::operator!=(const MPlug& other) const { return !(*this == other); }
bool MPlug::operator!=(const MObject& attribute) const { return !(*this == attribute); }

// ---- MDataBlock and MDataHandle

MDataBlock::MDataBlock(Node* node) : node_(node) {}

namespace {

Attribute* blockAttribute(Node* node, const MObject& attribute, MStatus& status) {
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
    if (injectedFault("MDataBlock::inputValue", status)) {
        setStatus(ReturnStatus, status);
        return MDataHandle();
    }
    Attribute* a = blockAttribute(node_, attribute, status);
    if (!a) {
        setStatus(ReturnStatus, status);
        return MDataHandle();
    }
    status = mayaStandin::detail::pull(*node_, *a);
    setStatus(ReturnStatus, status);
    return Access::handle(&node_->values[a->index], a);
}

MDataHandle MDataBlock::outputValue(const MObject& attribute, MStatus* ReturnStatus) {
    MStatus status;
    if (injectedFault("MDataBlock::outputValue", status)) {
        setStatus(ReturnStatus, status);
        return MDataHandle();
    }
    Attribute* a = blockAttribute(node_, attribute, status);
    setStatus(ReturnStatus, status);
    return a ? Access::handle(&node_->values[a->index], a) : MDataHandle();
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

double& MDataHandle::asDouble() {
    if (!value_ || !attribute_->isNumeric()) return scratchValue().d;
    if (attribute_->numericType != MFnNumericData::kDouble)
        value_->d = mayaStandin::detail::readNumber(*value_, *attribute_);
    return value_->d;
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
    if (!data.isNull() && attribute_->dataType != MFnData::kAny) {
        bool mesh = attribute_->dataType == MFnData::kMesh && data.apiType() == MFn::kMeshData;
        bool record = attribute_->dataType == MFnData::kDynArrayAttrs && data.apiType() == MFn::kDynArrayAttrsData;
        if (!mesh && !record) return MS::kInvalidParameter;
    }
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
                                MInitializeFunction initFunction, MPxNode::Type type, const MString*) {
    MStatus status;
    if (!injectedFault("MFnPlugin::registerNode", status)) {
        const auto* plugin = loadedPlugin(object_);
        status = plugin ? mayaStandin::detail::registerNodeType(plugin->path, typeName.asChar(), typeId.id(),
                                                                creatorFunction, initFunction, type)
                        : MStatus(MS::kFailure);
    }
    mayaStandin::detail::appendLog(std::string("register ") + typeName.asChar() + " " +
                                   std::to_string(typeId.id()) + (status ? "" : " failed"));
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
