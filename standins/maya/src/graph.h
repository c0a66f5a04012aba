#ifndef MAYA_STANDIN_GRAPH_H
#define MAYA_STANDIN_GRAPH_H

// The evaluation engine's state and steps that the host's API and the devkit's
// graph classes share. Everything here is locked by graphMutex() unless it says
// otherwise.

#include "internal.h"

#include <maya/MPlug.h>

#include <map>
#include <set>

namespace mayaStandin {
namespace detail {

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

Graph& graph();

using Visited = std::set<std::pair<const Node*, int>>;

// Marks the plug and its family dirty, then everything downstream of it.
void dirtyPlug(Node& node, int index, Visited& visited);
// Everything downstream of a changed plug becomes dirty.
void changed(Node& node, int index, Visited& visited);
// The plug and its descendants; its parents stay as they are.
void cleanPlug(Node& node, int index);
const Connection* incoming(const Node& node, int index);

// Lock-free lookups.
std::shared_ptr<Node> sharedNode(const MObject& object);  // null unless a live node
std::string plugName(const Node& node, const Attribute& attribute);

struct PlugParts {
    Node* node = nullptr;
    Attribute* attribute = nullptr;
};

// Both null unless the plug names a live node and one of its own attributes.
PlugParts resolve(const MPlug& plug);
Attribute* attributeByName(const Node& node, const std::string& name);

}  // namespace detail
}  // namespace mayaStandin

#endif
