// The host's API: the registry, nodes, plugs and connections as a test or tool drives them.

#include "graph.h"
#include "viewport2.h"

#include <maya/MPxLocatorNode.h>
#include <mayaStandin/host.h>

#include <exception>

namespace mayaStandin {

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
    detail::registerBuiltinTypes();
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
        // Viewport 2.0's override of the node and its user data go before the node they draw.
        node->drawOverride.reset();
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

namespace {

// Whether `upstream` is `node` or feeds it through connections (graph lock held).
bool feeds(const Node& upstream, const Node& node) {
    std::vector<const Node*> pending{&node};
    std::set<const Node*> seen;
    while (!pending.empty()) {
        const Node* n = pending.back();
        pending.pop_back();
        if (n == &upstream) return true;
        if (!seen.insert(n).second) continue;
        for (auto& c : graph().connections)
            if (c.destination.get() == n) pending.push_back(c.source.get());
    }
    return false;
}

// Whether a source attribute may feed a destination; says why not.
MStatus connectable(const Attribute& from, const Attribute& to, const std::string& what) {
    if (from.isFloat3() != to.isFloat3()) {
        hostError("connect " + what + ": a colour connects only to a colour");
        return MS::kInvalidParameter;
    }
    if (from.isCompound() || to.isCompound()) {
        hostError("connect " + what + ": compound connections are not supported");
        return MS::kNotImplemented;
    }
    if (!from.readable) {
        hostError("connect " + what + ": the source is not readable");
        return MS::kInvalidParameter;
    }
    if (!to.writable) {
        hostError("connect " + what + ": the destination is not writable");
        return MS::kInvalidParameter;
    }
    const bool compatible = from.isNumeric() ? to.isNumeric()
                                             : to.isTyped() && (from.dataType == to.dataType || to.dataType == MFnData::kAny);
    if (!compatible) {
        hostError("connect " + what + ": the attribute types do not match");
        return MS::kInvalidParameter;
    }
    return MS::kSuccess;
}

}  // namespace

MStatus connect(const MPlug& source, const MPlug& destination) {
    detail::PlugParts from = detail::resolve(source);
    detail::PlugParts to = detail::resolve(destination);
    if (!from.node || !to.node) {
        hostError("connect: invalid plug");
        return MS::kInvalidParameter;
    }
    const std::string what = detail::plugName(*from.node, *from.attribute) + " -> " +
                             detail::plugName(*to.node, *to.attribute);
    const MStatus fits = connectable(*from.attribute, *to.attribute, what);
    if (fits != MS::kSuccess) return fits;

    std::lock_guard<std::mutex> lock(graphMutex());
    // A colour connects as a whole and child by child, so that each child evaluates from its source.
    std::vector<std::pair<int, int>> pairs{{from.attribute->index, to.attribute->index}};
    if (to.attribute->isFloat3())
        for (size_t k = 0; k < 3; ++k) pairs.emplace_back(from.attribute->children[k]->index, to.attribute->children[k]->index);
    for (const auto& pair : pairs)
        if (detail::incoming(*to.node, pair.second)) {
            hostError("connect " + what + ": the destination already has an incoming connection");
            return MS::kInvalidParameter;
        }
    if (feeds(*to.node, *from.node)) {
        hostError("connect " + what + ": the connection would close a cycle");
        return MS::kInvalidParameter;
    }
    for (const auto& pair : pairs) {
        graph().connections.push_back(detail::Connection{detail::sharedNode(source.node()), pair.first,
                                                         detail::sharedNode(destination.node()), pair.second});
        detail::Visited visited;
        detail::dirtyPlug(*to.node, pair.second, visited);
    }
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
            // A colour's children go with it.
            for (auto& child : to.attribute->isFloat3() ? to.attribute->children
                                                         : std::vector<std::shared_ptr<Attribute>>())
                for (auto c = connections.begin(); c != connections.end(); ++c)
                    if (c->destination.get() == to.node && c->destinationIndex == child->index) {
                        connections.erase(c);
                        break;
                    }
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
