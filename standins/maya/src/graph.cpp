// The evaluation engine: node types, connections, dirty propagation and the lazy
// evaluation of the dependency graph.
//
// Locking: a node's own recursive mutex is held while it is computed, drawn or
// written; graphMutex() guards the registry, the connections and the dirty flags
// and is never held while plug-in code runs. A node mutex may be taken while
// another is held only upstream (connections never form a cycle).

#include "graph.h"

#include <exception>

namespace mayaStandin {
namespace detail {
namespace {

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

void copyValue(const Attribute& from, const Value& source, const Attribute& to, Value& destination) {
    if (to.isTyped())
        destination.data = source.data;
    else
        writeNumber(destination, to, readNumber(source, from));
}

MObject nodeObject(Node& node) { return Access::make(node.shared_from_this()); }

}  // namespace

Graph& graph() {
    static Graph* instance = new Graph;  // outlives every plug-in's static handles
    return *instance;
}

void dirtyPlug(Node& node, int index, Visited& visited) {
    std::vector<int> members;
    family(*node.type, index, members);
    for (int i : members) node.dirty[i] = 1;
    changed(node, index, visited);
}

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

std::shared_ptr<Node> sharedNode(const MObject& object) {
    const std::shared_ptr<Object>& raw = Access::get(object);
    if (!raw || !isNodeKind(raw->kind)) return nullptr;
    auto node = std::static_pointer_cast<Node>(raw);
    return node->alive ? node : nullptr;
}

std::string plugName(const Node& node, const Attribute& attribute) { return node.name + "." + attribute.name; }

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
                         MCreatorFunction creator, MInitializeFunction initializer, MPxNode::Type kind,
                         const std::string& classification) {
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
    type->classification = classification;
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
        if (!matchesDataType(*data, attribute.dataType)) return MS::kInvalidParameter;
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

}  // namespace mayaStandin
